"""Reading one file, or bytes in memory.

``read`` and ``read_bytes`` are the compiled functions themselves, with no
Python-level wrapper: a thread holds the GIL for every part of a call but the
read, and the less it holds it, the better threads reading at once scale.
Their documentation is on the functions (``help(zolehead.read)``).
"""

from __future__ import annotations

import os
from typing import Union

from . import _zolehead

StrOrBytesPath = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
Buffer = Union[bytes, bytearray, memoryview]

read = _zolehead.read
read_bytes = _zolehead.read_bytes
