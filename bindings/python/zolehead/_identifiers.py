"""The field table and the core's version."""

from __future__ import annotations

from typing import NamedTuple

from . import _zolehead


class Identifier(NamedTuple):
    """A field's form B keyword ("Title") and form A label ("曲名")."""

    keyword: str
    label: str


def identifiers() -> list[Identifier]:
    """The sixteen fields in table order, as Identifier(keyword, label)."""
    return [Identifier(keyword, label) for keyword, label in _zolehead.identifiers()]


def version() -> tuple[int, int, int, int]:
    """The core's version as four integers, e.g. (1, 0, 0, 0), as the C API
    reports it."""
    return _zolehead.version()
