"""The form argument: which header forms a read recognises."""

from __future__ import annotations

from typing import Literal, Union

FormName = Union[Literal["both", "A", "B", "a", "b"], str]

# The core's HeaderForm values.
_CODES = {"a": 0, "b": 1, "both": 2}


def form_code(form: object) -> int:
    """The core's code for "both", "A" or "B" (any case); ValueError otherwise."""
    if isinstance(form, str):
        code = _CODES.get(form.lower())
        if code is not None:
            return code
    raise ValueError(f"form must be 'both', 'A' or 'B', not {form!r}")
