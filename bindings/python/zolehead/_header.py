"""The values a read gives: a Header maps keywords to Fields."""

from __future__ import annotations

from collections.abc import Iterator, Mapping
from typing import Any, NamedTuple


class Field(NamedTuple):
    """One field of a header.

    ``text`` is the value decoded from code page 932 (Shift_JIS), with U+FFFD
    for bytes that are not code page 932 and ``lossy`` True when that
    happened; ``raw`` is the file's own bytes (at most 127); ``form`` is "A"
    when a label line gave the value, "B" when a starred keyword did.
    """

    text: str
    raw: bytes
    form: str
    lossy: bool = False

    def __repr__(self) -> str:
        flag = ", lossy=True" if self.lossy else ""
        return f"Field({self.text!r}, {self.raw!r}, {self.form!r}{flag})"


class Header(Mapping[str, Field]):
    """The fields one read found: a read-only mapping from keyword ("Title",
    "Genre", ... "Comment") to Field, in the order of the field table.

    A field the file does not name is absent; one it names with an empty value
    is present with empty text. Headers compare equal to any mapping with the
    same items, pickle, and print as ``<Header Title='桜' (A), Genre='Pop' (B)>``.
    """

    __slots__ = ("_fields",)
    _fields: dict[str, Field]

    def __init__(self, fields: Mapping[str, Field] | Any = ()) -> None:
        object.__setattr__(self, "_fields", dict(fields))

    def __getitem__(self, keyword: str) -> Field:
        return self._fields[keyword]

    def __iter__(self) -> Iterator[str]:
        return iter(self._fields)

    def __len__(self) -> int:
        return len(self._fields)

    def __contains__(self, keyword: object) -> bool:
        return keyword in self._fields

    def __eq__(self, other: object) -> bool:
        if isinstance(other, Header):
            return self._fields == other._fields
        if isinstance(other, Mapping):
            return self._fields == dict(other.items())
        return NotImplemented

    __hash__ = None  # type: ignore[assignment]  # equal to dicts, which do not hash

    def __repr__(self) -> str:
        # Text and form: what a person looks for; the bytes are one step away.
        parts = [f"{keyword}={field.text!r} ({field.form}{', lossy' if field.lossy else ''})"
                 for keyword, field in self._fields.items()]
        return f"<Header {', '.join(parts) if parts else '(no fields)'}>"

    def __reduce__(self) -> tuple[type[Header], tuple[dict[str, Field]]]:
        return (Header, (self._fields,))

    def __setattr__(self, name: str, value: object) -> None:
        raise AttributeError("Header is read-only")

    def __delattr__(self, name: str) -> None:
        raise AttributeError("Header is read-only")
