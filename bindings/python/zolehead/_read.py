"""Reading one file, or bytes in memory."""

from __future__ import annotations

import os
from typing import Union

from . import _zolehead
from ._forms import FormName, form_code
from ._header import Header

StrOrBytesPath = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
Buffer = Union[bytes, bytearray, memoryview]


def read(path: StrOrBytesPath, form: FormName = "both") -> Header:
    """Read the header of the file at ``path`` (str, bytes or os.PathLike).

    ``form`` is "both" (label lines and starred keywords in one pass, the
    keyword winning), "A" (label lines only) or "B" (starred keywords only),
    in any case. Returns a Header of the fields found. The file is read with
    the GIL released, so Python threads read in parallel.

    Raises ZoleHeadReadError (an OSError with ``errno`` and ``filename``)
    when the file cannot be read: missing, not permitted, a directory or any
    other file that is not a regular one, or a read error part-way. Raises
    ValueError for a bad ``form`` or a path holding a NUL, TypeError for
    something that is not a path.
    """
    return _zolehead.read(path, form_code(form))


def read_bytes(data: Buffer, form: FormName = "both") -> Header:
    """Read the header of a file's contents held in memory.

    ``data`` is any contiguous bytes-like object (bytes, bytearray,
    memoryview, mmap); the result is the one ``read`` gives for a file
    holding those bytes. Read with the GIL released: do not change a mutable
    buffer from another thread meanwhile.
    """
    return _zolehead.read_bytes(data, form_code(form))
