"""Reading a collection: the paths walked as the command-line tool walks them,
the files read on C++ threads, the results handed back in walk order."""

from __future__ import annotations

import operator
import os
from collections.abc import Iterable

from . import _zolehead
from ._forms import FormName, form_code
from ._read import StrOrBytesPath

#: The iterator scan() returns: yields (path, Header or ZoleHeadReadError).
Scan = _zolehead.Scan

_MAX_JOBS = 256

#: Entries inside archives that decompress to more bytes are not read (256 MiB, as the tool).
DEFAULT_MAX_ENTRY_SIZE = _zolehead.DEFAULT_MAX_ENTRY_SIZE


def _roots(paths: StrOrBytesPath | Iterable[StrOrBytesPath]) -> tuple[list[bytes], bool]:
    """The paths as bytes for the walker, and whether they were given as bytes."""
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    given = [os.fspath(p) for p in paths]
    as_bytes = bool(given) and isinstance(given[0], bytes)
    if any(isinstance(p, bytes) != as_bytes for p in given):
        raise TypeError("scan() paths must be all str (or os.PathLike) or all bytes, not a mixture")
    encoded = [os.fsencode(p) for p in given]
    if any(b"\0" in p for p in encoded):
        raise ValueError("embedded null byte in path")
    return encoded, as_bytes


def _extensions(ext: str | Iterable[str] | None) -> list[str]:
    if ext is None:
        return []
    names = [ext] if isinstance(ext, str) else list(ext)
    if not all(isinstance(name, str) for name in names):
        raise TypeError("ext must be a str or an iterable of str")
    # "zole,mid" as the tool's --ext takes it.
    return [part for name in names for part in name.split(",")]


def scan(paths: StrOrBytesPath | Iterable[StrOrBytesPath], recursive: bool = False,
         ext: str | Iterable[str] | None = None, jobs: int = 0, form: FormName = "both",
         archives: bool = False, max_entry_size: int = DEFAULT_MAX_ENTRY_SIZE) -> Scan:
    """Read the headers of many files, on C++ threads, in walk order.

    ``paths`` is one path or an iterable of them, walked as the zolehead tool
    walks its PATH arguments: each file as named; with ``recursive`` every
    file under each directory, sorted by name within a directory, symbolic
    links followed and loops caught. ``ext`` ("zole", ".ZOLE", "zole,mid" or
    a list of them) keeps, within directories, only files with one of those
    extensions, in any case; files named directly are always read. ``jobs``
    is the number of files read at once (0: one per processor, at most 256).
    ``form`` is as for read().

    With ``archives``, files are opened as archives when their content says
    they are one (LZH, ZIP, 7z, tar, compressed or not), whatever their name,
    and each entry inside is read like a file: its path is
    ``ARCHIVE!/ENTRY``, the entry's name as UTF-8 text (bytes paths: the name
    as the archive stores it), and ``ext`` picks entries by their names.
    An entry that cannot be read (damaged, encrypted, larger than
    ``max_entry_size`` bytes once decompressed) yields a ZoleHeadReadError
    for that entry with the tool's reason and ``errno`` None; an archive that
    cannot be read on yields one for the archive's own path. Files that are
    not archives are read as usual.

    Returns an iterator of ``(path, result)`` pairs, one per file, in walk
    order. ``path`` is str, or bytes when the paths were given as bytes.
    ``result`` is the file's Header, or a ZoleHeadReadError *instance* (not
    raised) for a file that could not be read, so one bad file never ends the
    walk: ``isinstance(result, Exception)`` tells them apart. A directory
    named without ``recursive`` gives such an error (errno EISDIR).
    Entries the walk passes over (broken links, FIFOs and other files that are
    not regular, loops) are not yielded: they collect in the iterator's
    ``skipped`` list as ``(path, reason)``.

    The files are read with the GIL released, a bounded number ahead of the
    consumer. ``close()`` (or leaving a ``with`` block) stops the reading
    threads early. An iterator cannot be continued in a forked child: it
    raises RuntimeError there; start a new scan in the child instead.
    """
    roots, as_bytes = _roots(paths)
    jobs = operator.index(jobs)
    if not 0 <= jobs <= _MAX_JOBS:
        raise ValueError(f"jobs must be 0 (one per processor) to {_MAX_JOBS}, not {jobs}")
    max_entry_size = operator.index(max_entry_size)
    if max_entry_size <= 0:
        raise ValueError(f"max_entry_size must be positive, not {max_entry_size}")
    return _zolehead.Scan(roots, bool(recursive), _extensions(ext), jobs, form_code(form), as_bytes,
                          bool(archives), max_entry_size)
