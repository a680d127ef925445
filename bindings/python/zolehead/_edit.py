"""Editing a file's header fields through the editor: atomic, checked before
it is written, refusing rather than guessing."""

from __future__ import annotations

import os
from collections.abc import Iterable, Mapping
from typing import NamedTuple, Optional, Union

from . import _zolehead
from ._errors import EditError, EditRefused
from ._header import Field
from ._read import StrOrBytesPath

Value = Union[str, bytes, bytearray, memoryview]

_FORMS = {"auto": 0, "a": 1, "b": 2}


class FieldChange(NamedTuple):
    """One requested field as the combined reader reads it before and after
    the edit (``after`` is what it would read after a dry run); None where
    the field is absent. ``action`` is "set" or "remove"."""

    field: str
    action: str
    changed: bool
    before: Optional[Field]
    after: Optional[Field]


class LineChange(NamedTuple):
    """Lines the edit changes: ``line`` is the first old line's number (from
    1); ``before`` and ``after`` the old and new lines joined by newlines,
    empty for lines only added or only removed."""

    line: int
    before: str
    after: str


class EditResult(NamedTuple):
    """What edit() did. ``status`` is "edited", "would-edit" (a dry run that
    would have written) or "unchanged" (every reader already reads what was
    asked; nothing written). ``backup_path`` is where the original went with
    ``backup``; ``warning`` something short of failure, such as a directory
    that could not be flushed."""

    path: Union[str, bytes]
    status: str
    fields: tuple[FieldChange, ...]
    lines: tuple[LineChange, ...]
    backup_path: Union[str, bytes, None]
    warning: Optional[str]


def _field(side: Optional[tuple[str, bytes, str, bool]]) -> Optional[Field]:
    return None if side is None else Field(*side)


def _value(name: str, value: object) -> tuple[bytes, bool]:
    """The value's bytes and whether they are code page 932 already."""
    if isinstance(value, str):
        try:
            return value.encode("utf-8"), False
        except UnicodeEncodeError:
            # A lone surrogate: no character, so no code page 932 form. Checked
            # again by the editor, which refuses with the same words.
            return value.encode("utf-8", "surrogatepass"), False
    if isinstance(value, (bytes, bytearray, memoryview)):
        return bytes(value), True
    raise TypeError(f"the value of {name!r} must be str or bytes, not {type(value).__name__}")


def edit(path: StrOrBytesPath, set: Optional[Mapping[str, Value]] = None, remove: Iterable[str] = (),
         form: str = "auto", dry_run: bool = False, backup: bool = False) -> EditResult:
    """Set and remove header fields of the file at ``path``, in one atomic
    replace of the file.

    ``set`` maps field names to values; ``remove`` names fields to take out.
    A name is a keyword in any case ("title", "E-Mail") or the Japanese label
    ("曲名"); each field at most once. A str value is encoded to code page 932
    (text with no code page 932 form is refused); a bytes value is written as
    it is, and must itself be a value the readers read back unchanged.
    ``form`` ("auto", "A" or "B") is the form of entries that have to be
    added: auto takes the form most of the file's entries use. ``dry_run``
    plans and checks everything and writes nothing. ``backup`` keeps the
    original as NAME.bak (.bak.2, ... if taken).

    The new bytes are read back with every reader before they are written;
    the file is replaced by a rename, so a reader sees the old file or the
    new one, never a mixture, and a crash leaves one or the other. The GIL
    is released throughout. Different files may be edited from different
    threads at once; two edits of one file at once are caught (the later
    refuses with "changed-during-edit") rather than merged.

    Returns an EditResult. Raises EditRefused (an OSError) when the edit
    cannot be made safely, naming the problem; EditError (an OSError with
    ``errno``) when the system fails it; in both cases nothing was written.
    Raises ValueError for an unknown field name, a field named twice, a bad
    ``form`` or nothing to do; TypeError for a value that is not str or
    bytes.
    """
    requests: list[tuple[str, bool, bytes, bool]] = []
    for name, value in (set or {}).items():
        requests.append((_name(name), False, *_value(name, value)))
    if isinstance(remove, str):
        remove = [remove]
    for name in remove:
        requests.append((_name(name), True, b"", False))
    if not requests:
        raise ValueError("nothing to edit: give set or remove")
    try:
        form_code = _FORMS[form.lower()]
    except (AttributeError, KeyError):
        raise ValueError(f"form must be 'auto', 'A' or 'B', not {form!r}") from None

    given = os.fspath(path)
    result = _zolehead.edit(path, requests, form_code, bool(dry_run), bool(backup))
    status = result["status"]
    if status in ("refused", "failed"):
        error_class = EditRefused if status == "refused" else EditError
        error = error_class(result["errno"] or None, result["reason"], given)
        error.problem = result["problem"]
        error.check = result["check"]
        raise error
    backup_path = result["backup_path"]
    return EditResult(
        path=given,
        status=status,
        fields=tuple(FieldChange(name, action, changed, _field(before), _field(after))
                     for name, action, changed, before, after in result["fields"]),
        lines=tuple(LineChange(*line) for line in result["lines"]),
        backup_path=(backup_path if isinstance(given, bytes) else os.fsdecode(backup_path)) or None,
        warning=result["warning"] or None,
    )


def _name(name: object) -> str:
    if not isinstance(name, str):
        raise TypeError(f"field names must be str, not {type(name).__name__}")
    return name
