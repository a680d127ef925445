"""The exceptions the module raises, and scan() yields for files it could not read."""

from __future__ import annotations


class ZoleHeadError(Exception):
    """Base class of the errors this module raises."""


class ZoleHeadReadError(ZoleHeadError, OSError):
    """A file could not be read: missing, not permitted, not a regular file,
    a directory that could not be listed, or a read error part-way.

    Built as ``OSError(errno, strerror, filename)``: ``filename`` is the path
    as given (or as the walk named it), ``errno`` the system's error number
    (None when there is none, as for a FIFO), ``strerror`` the reason.
    """

    def __str__(self) -> str:
        return f"cannot read {self.filename!r}: {self.strerror}"
