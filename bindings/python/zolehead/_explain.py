"""A file's story and its near misses, as the tool's explain and lint --json
records."""

from __future__ import annotations

import json
from collections.abc import Iterable
from typing import Any, NamedTuple

from . import _zolehead
from ._read import StrOrBytesPath


class LintCode(NamedTuple):
    """A lint warning's stable code ("ascii-colon") and what it finds."""

    code: str
    summary: str


def explain(path: StrOrBytesPath) -> dict[str, Any]:
    """How every reader reads each field of the file at ``path``.

    Returns the record ``zolehead explain --json`` prints for the file, as
    Python values: ``{"path": ..., "fields": [{"field": "Title", "label":
    "曲名", "reads": {...}, "entries": [...]}, ...]}``, with ``"end_mark"``
    and ``"unclosed_quote"`` when the file has them. Lines and columns count
    from 1; columns count characters.

    Raises ZoleHeadReadError (``errno`` and ``filename`` set) when the file
    cannot be read, where the tool would print an error record, and for a
    file over 4 MiB (``errno`` None). The GIL is released while it works.
    """
    return json.loads(_zolehead.explain(path))


def lint(path: StrOrBytesPath, ignore: Iterable[str] = ()) -> dict[str, Any]:
    """The near misses in the header of the file at ``path``: what the readers
    skip without a word.

    Returns the record ``zolehead lint --json`` prints: ``{"path": ...,
    "warnings": [{"line", "column", "offset", "code", "message",
    "suggestion"}, ...]}``; an empty list when there is nothing to say.
    ``ignore`` names codes (see lint_codes()) to leave out, as a list or
    comma-separated; ValueError for one that is not a code. Raises ZoleHeadReadError as explain() does.
    """
    names = [ignore] if isinstance(ignore, str) else list(ignore)
    if not all(isinstance(name, str) for name in names):
        raise TypeError("ignore must be a str or an iterable of str")
    # "ascii-colon,value-cut" as the tool's --ignore takes it.
    return json.loads(_zolehead.lint(path, [code for name in names for code in name.split(",")]))


def lint_codes() -> list[LintCode]:
    """Every lint warning code with its summary, as ``zolehead lint --help`` lists them."""
    return [LintCode(code, summary) for code, summary in _zolehead.lint_codes()]
