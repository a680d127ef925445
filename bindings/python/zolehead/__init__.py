"""Read the song metadata in the header of Zole music data files.

A compiled extension over the reentrant C++ core, needing no shared library::

    import zolehead
    header = zolehead.read("song.zole")        # Header({'Title': Field('桜', b'\\x8d\\xf7', 'A'), ...})
    header["Title"].text                        # '桜'
    for path, result in zolehead.scan(["songs"], recursive=True, ext="zole"):
        ...                                     # a Header, or a ZoleHeadReadError instance

Every read runs with the GIL released and shares no state: Python threads
read in parallel, and forked or spawned worker processes work as they are.
"""

from ._errors import ZoleHeadError, ZoleHeadReadError
from ._header import Field, Header
from ._identifiers import Identifier, identifiers, version
from ._read import read, read_bytes
from ._scan import Scan, scan
from ._zolehead import __version__

__all__ = [
    "__version__",
    "Field",
    "Header",
    "Identifier",
    "Scan",
    "ZoleHeadError",
    "ZoleHeadReadError",
    "identifiers",
    "read",
    "read_bytes",
    "scan",
    "version",
]
