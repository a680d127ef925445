"""Read the song metadata in the header of a Zole music data file.

A thin ctypes layer over the ZoleHead shared library (libZoleHead.so.1,
ZoleHead.dll), standard library only::

    import zolehead
    fields = zolehead.read("song.zole")          # {'Title': (b'Sakura', 'A'), ...}
    title, form = zolehead.read_text("song.zole")["Title"]

``read`` gives the file's own bytes (Shift_JIS); ``read_text`` decodes them
from code page 932. Only fields the file names are in the result, in field
order; a field that was found with an empty value maps to ``(b"", form)``.

The library is loaded on first use, from the first of:

1. the file named by the environment variable ``ZOLEHEAD_LIBRARY``
   (nothing else is tried when it is set);
2. the directory of this module;
3. the library directory of the installation this module came from;
4. the system's search path (``LD_LIBRARY_PATH``, the ld.so cache).

The library keeps the result of a read in process-wide slots; this module
holds a lock from the read to the last getter, so concurrent calls from
Python threads never see each other's results.
"""

import collections
import ctypes
import ctypes.util
import errno
import os
import stat
import sys
import threading

__all__ = [
    "HeaderValue",
    "Identifier",
    "LibraryNotFoundError",
    "ZoleHeadError",
    "ZoleHeadReadError",
    "identifiers",
    "library_path",
    "read",
    "read_text",
    "version",
]

# Rewritten by `cmake --install` to the absolute library directory.
_INSTALLED_LIBRARY_DIR = None

_ABI_MAJOR = 1
_STATUS_FORMS = {1: "A", 2: "B"}
_READERS = {"both": "zhGetZoleHeader", "A": "zhGetZoleHeaderA", "B": "zhGetZoleHeaderB"}

HeaderValue = collections.namedtuple("HeaderValue", "value form")
HeaderValue.__doc__ = "A field's value (bytes, or str from read_text) and its form, 'A' or 'B'."
Identifier = collections.namedtuple("Identifier", "keyword label")
Identifier.__doc__ = "A field's form B keyword ('Title') and form A label ('曲名'), both str."


class ZoleHeadError(Exception):
    """Base class of the errors this module raises."""


class LibraryNotFoundError(ZoleHeadError, OSError):
    """The ZoleHead shared library could not be found or is not usable."""


class ZoleHeadReadError(ZoleHeadError, OSError):
    """A file could not be read: missing, not permitted, not a regular file,
    or a read error part-way. ``filename`` is the path as given and ``errno``
    the system's error number when there is one."""

    def __init__(self, path, code=None, reason=None):
        if reason is None:
            reason = os.strerror(code) if code else "cannot be read"
        super().__init__(code, reason, path)

    def __str__(self):
        return "cannot read {!r}: {}".format(self.filename, self.strerror)


def _library_names():
    if sys.platform == "win32":
        return ["ZoleHead.dll"]
    if sys.platform == "darwin":
        return ["libZoleHead.{}.dylib".format(_ABI_MAJOR), "libZoleHead.dylib"]
    return ["libZoleHead.so.{}".format(_ABI_MAJOR)]


# (restype, argtypes) of the twelve exports.
_int32_p = ctypes.POINTER(ctypes.c_int32)
_PROTOTYPES = {
    "LibMain": (ctypes.c_int32, [ctypes.c_void_p, ctypes.c_int32, ctypes.c_void_p]),
    "zhGetZoleHeadDllVersion": (None, [_int32_p, _int32_p, _int32_p, _int32_p]),
    "zhGetZoleHeaderIdentNum": (ctypes.c_int32, []),
    "zhGetZoleHeaderIdentSize": (ctypes.c_int32, []),
    "zhGetZoleHeaderValueSize": (ctypes.c_int32, []),
    "zhGetZoleHeaderIdent": (ctypes.c_int32, [ctypes.c_int32, ctypes.c_char_p, ctypes.c_int32]),
    "zhGetZoleHeaderIdentA": (ctypes.c_int32, [ctypes.c_int32, ctypes.c_char_p, ctypes.c_int32]),
    "zhGetZoleHeaderIdentB": (ctypes.c_int32, [ctypes.c_int32, ctypes.c_char_p, ctypes.c_int32]),
    "zhGetZoleHeaderValue": (ctypes.c_int32, [ctypes.c_int32, ctypes.c_char_p, ctypes.c_int32]),
    "zhGetZoleHeaderA": (ctypes.c_int32, [ctypes.c_char_p]),
    "zhGetZoleHeaderB": (ctypes.c_int32, [ctypes.c_char_p]),
    "zhGetZoleHeader": (ctypes.c_int32, [ctypes.c_char_p]),
}


class _Library:
    """The loaded library, its prototypes, and its constant sizes."""

    def __init__(self, handle, path):
        self.path = path
        for name, (restype, argtypes) in _PROTOTYPES.items():
            try:
                function = getattr(handle, name)
            except AttributeError:
                raise LibraryNotFoundError(
                    "{} is not a ZoleHead library: it has no {}".format(path, name)) from None
            function.restype = restype
            function.argtypes = argtypes
            setattr(self, name, function)
        parts = [ctypes.c_int32() for _ in range(4)]
        self.zhGetZoleHeadDllVersion(*[ctypes.byref(p) for p in parts])
        self.version = tuple(p.value for p in parts)
        if self.version[0] != _ABI_MAJOR:
            raise LibraryNotFoundError("{} is ZoleHead {}, this module needs {}.x".format(
                path, ".".join(map(str, self.version)), _ABI_MAJOR))
        self.count = self.zhGetZoleHeaderIdentNum()
        self.ident_size = self.zhGetZoleHeaderIdentSize()
        self.value_size = self.zhGetZoleHeaderValueSize()


def _open(path):
    # errno travels with the call, so a failed read can say why.
    if sys.platform == "win32" and ctypes.sizeof(ctypes.c_void_p) == 4:
        return ctypes.WinDLL(path, use_errno=True)  # 32-bit exports are __stdcall
    return ctypes.CDLL(path, use_errno=True)


def _load_from(path, origin):
    try:
        return _Library(_open(path), path)
    except LibraryNotFoundError:
        raise
    except OSError as error:
        raise LibraryNotFoundError("{}{} cannot be loaded: {}".format(origin, path, error)) from None


def _load():
    explicit = os.environ.get("ZOLEHEAD_LIBRARY")
    if explicit:
        return _load_from(explicit, "ZOLEHEAD_LIBRARY=")

    tried = []
    directories = [os.path.dirname(os.path.abspath(__file__))]
    if _INSTALLED_LIBRARY_DIR:
        directories.append(_INSTALLED_LIBRARY_DIR)
    for directory in directories:
        for name in _library_names():
            candidate = os.path.join(directory, name)
            if os.path.exists(candidate):
                return _load_from(candidate, "")
            tried.append(candidate)

    system_names = _library_names()
    found = ctypes.util.find_library("ZoleHead")
    if found and found not in system_names:
        system_names.append(found)
    for name in system_names:
        try:
            handle = _open(name)
        except OSError:
            tried.append(name + " on the system search path")
            continue
        return _Library(handle, name)
    raise LibraryNotFoundError(
        "the ZoleHead library was not found; tried {}. Install it, or set "
        "ZOLEHEAD_LIBRARY to the path of {}".format(", ".join(tried), _library_names()[0]))


# Held from a read to its last getter: the library's slots are process-wide.
_lock = threading.Lock()
_library = None


def _lib():
    global _library
    if _library is None:
        with _lock:
            if _library is None:
                _library = _load()
    return _library


def library_path():
    """The path or name the ZoleHead library was loaded from (loads it if needed)."""
    return _lib().path


def version():
    """The library's version as four integers, e.g. (1, 0, 0, 0)."""
    return _lib().version


def identifiers():
    """The sixteen fields in slot order, as Identifier(keyword, label)."""
    lib = _lib()
    buffer = ctypes.create_string_buffer(lib.ident_size + 1)
    result = []
    for index in range(lib.count):
        lib.zhGetZoleHeaderIdentB(index, buffer, lib.ident_size)
        keyword = buffer.value.decode("ascii")
        lib.zhGetZoleHeaderIdentA(index, buffer, lib.ident_size)
        result.append(Identifier(keyword, buffer.value.decode("cp932")))
    return result


def _encode_path(path):
    path = os.fspath(path)
    if isinstance(path, str):
        # Windows takes paths in the ANSI code page; elsewhere they are bytes.
        encoded = path.encode("mbcs") if sys.platform == "win32" else os.fsencode(path)
    else:
        encoded = path
    if b"\0" in encoded:
        raise ValueError("embedded null byte in path")
    return encoded


def _form_reader(form):
    key = form if form == "both" else str(form).upper()
    if key not in _READERS:
        raise ValueError("form must be 'both', 'A' or 'B', not {!r}".format(form))
    return _READERS[key]


def _failure(path, code):
    if code:
        return ZoleHeadReadError(path, code)
    # The library did not say why: it refuses anything but a regular file.
    try:
        mode = os.stat(path).st_mode
    except OSError as error:
        return ZoleHeadReadError(path, error.errno)
    if stat.S_ISDIR(mode):
        return ZoleHeadReadError(path, errno.EISDIR)
    if not stat.S_ISREG(mode):
        return ZoleHeadReadError(path, None, "not a regular file")
    return ZoleHeadReadError(path, None, "read error")


def read(path, form="both"):
    """Read the header of the file at path (str, bytes or os.PathLike).

    form is "both" (form A and B in one pass, form B winning), "A" (Japanese
    label lines only) or "B" (starred keywords only). Returns a dict from
    keyword ('Title', 'Genre', ...) to HeaderValue(bytes, 'A' or 'B') for the
    fields found, in slot order. Values are the file's bytes, at most 127 of
    them; the library leaves out a double-byte character that would not fit. Raises ZoleHeadReadError (an OSError) when the file cannot be read,
    LibraryNotFoundError when the library cannot be loaded.
    """
    encoded = _encode_path(path)
    lib = _lib()
    reader = getattr(lib, _form_reader(form))
    keyword = ctypes.create_string_buffer(lib.ident_size + 1)
    value = ctypes.create_string_buffer(lib.value_size + 1)
    fields = {}
    with _lock:
        ctypes.set_errno(0)
        if not reader(encoded):
            raise _failure(os.fspath(path), ctypes.get_errno())
        for index in range(lib.count):
            status = lib.zhGetZoleHeaderValue(index, value, lib.value_size)
            if status in _STATUS_FORMS:
                lib.zhGetZoleHeaderIdentB(index, keyword, lib.ident_size)
                fields[keyword.value.decode("ascii")] = HeaderValue(value.value, _STATUS_FORMS[status])
    return fields


def read_text(path, form="both", errors="replace"):
    """As read(), with the values decoded from code page 932 (Shift_JIS) to str.

    errors is as for bytes.decode: the default "replace" turns bytes that are
    not code page 932 (a lead byte without its trail byte, say) into U+FFFD;
    "strict" raises UnicodeDecodeError instead.
    """
    return {name: HeaderValue(field.value.decode("cp932", errors), field.form)
            for name, field in read(path, form).items()}
