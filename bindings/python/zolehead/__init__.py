"""Read the song metadata in the header of Zole music data files.

A compiled extension over the reentrant C++ core, needing no shared library::

    import zolehead
    header = zolehead.read("song.zole")        # Header({'Title': Field('桜', b'\\x8d\\xf7', 'A'), ...})
    header["Title"].text                        # '桜'
    for path, result in zolehead.scan(["songs"], recursive=True, ext="zole"):
        ...                                     # a Header, or a ZoleHeadReadError instance
    zolehead.edit("song.zole", set={"Title": "夏の風"}, remove=["Comment"])
    zolehead.explain("song.zole"), zolehead.lint("song.zole")   # the tool's --json records

Every read and edit runs with the GIL released and shares no state: Python threads
read in parallel, and forked or spawned worker processes work as they are.
"""

from ._edit import EditResult, FieldChange, LineChange, edit
from ._errors import EditError, EditRefused, ZoleHeadError, ZoleHeadReadError
from ._explain import LintCode, explain, lint, lint_codes
from ._header import Field, Header
from ._identifiers import Identifier, identifiers, version
from ._read import read, read_bytes
from ._scan import Scan, scan
from ._zolehead import __version__

__all__ = [
    "__version__",
    "EditError",
    "EditRefused",
    "EditResult",
    "Field",
    "FieldChange",
    "Header",
    "Identifier",
    "LineChange",
    "LintCode",
    "Scan",
    "ZoleHeadError",
    "ZoleHeadReadError",
    "edit",
    "explain",
    "identifiers",
    "lint",
    "lint_codes",
    "read",
    "read_bytes",
    "scan",
    "version",
]
