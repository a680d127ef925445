"""The form argument: which header forms a read recognises."""

from __future__ import annotations

from typing import Literal, Union

FormName = Union[Literal["both", "A", "B", "a", "b"], str]

# The core's HeaderForm values, under the spellings a call passes most.
_CODES = {"a": 0, "b": 1, "both": 2, "A": 0, "B": 1}


def form_code(form: object) -> int:
    """The core's code for "both", "A" or "B" (any case); ValueError otherwise."""
    try:
        return _CODES[form]  # type: ignore[index]
    except (KeyError, TypeError):
        pass
    if isinstance(form, str) and form.lower() in _CODES:
        return _CODES[form.lower()]
    raise ValueError(f"form must be 'both', 'A' or 'B', not {form!r}")
