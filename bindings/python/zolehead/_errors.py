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


class EditError(ZoleHeadError, OSError):
    """An edit did not happen; the file is exactly as it was.

    Raised by edit() when the system failed it (the file could not be opened,
    read, written, flushed or renamed): ``errno`` is the system's error
    number, ``filename`` the path as given, ``strerror`` the editor's reason.
    ``problem`` names the kind: "cannot-open" or "io-error".
    """

    problem: str = ""
    check: int = 0

    def __str__(self) -> str:
        return f"cannot edit {self.filename!r}: {self.strerror}"


class EditRefused(EditError):
    """The editor refused the edit because it could not be made safely, and
    wrote nothing.

    ``problem`` names the reason in the tool's words: "bad-value" (a value
    that cannot be written so that it reads back the same, such as text with
    no code page 932 form), "not-zole-text", "nested-entry", "check-failed"
    (``check`` says which of the checks 1-4), "too-large",
    "not-regular-file", "hard-links", "inside-archive" or
    "changed-during-edit". ``strerror`` is the editor's sentence; ``errno``
    is None unless the system gave one.
    """

    def __str__(self) -> str:
        return f"refused to edit {self.filename!r} ({self.problem}): {self.strerror}"
