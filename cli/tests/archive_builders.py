"""Archives for the tests, made here: ZIP and tar with the standard library,
LZH with `lha` (jlha-utils) and 7z with `7z` (p7zip-full), and byte by byte
where a test needs what no tool writes: stored LZH entries with chosen header
levels and names, ZIP entries with Shift_JIS names, wrong sizes or CRCs, and
a gigabyte of zeros compressed to a megabyte."""
import io
import os
import struct
import subprocess
import tarfile
import zipfile
import zlib

UTF8_ENV = dict(os.environ, LC_ALL="C.UTF-8")


def music_file(title, lines=120):
    """A Zole data file whose music lines compress well: a form A title and a
    form B genre, then `lines` lines of data."""
    header = ("曲名：" + title + "\r\n").encode("cp932") + b"*Genre 'Pop'\r\n"
    return header + b"A t120 l8 o4 cdefgab>c<bagfedc r4 \r\n" * lines


# --- Standard library --------------------------------------------------------

def write_zip(path, members, compression=zipfile.ZIP_DEFLATED):
    """members: [(name, bytes)]; non-ASCII names get the UTF-8 flag."""
    with zipfile.ZipFile(path, "w", compression) as z:
        for name, data in members:
            z.writestr(name, data)


def write_tar(path, members, mode="w", format=tarfile.PAX_FORMAT, encoding="utf-8"):
    """members: [(name, bytes)], or (name, None, TarInfo type, link target)
    for a directory or a link."""
    with tarfile.open(path, mode, format=format, encoding=encoding) as t:
        for name, data, *special in members:
            info = tarfile.TarInfo(name)
            if data is not None:
                info.size = len(data)
                t.addfile(info, io.BytesIO(data))
                continue
            info.type = special[0]
            info.linkname = special[1] if len(special) > 1 else ""
            t.addfile(info)


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


# --- Tools -------------------------------------------------------------------

def run_tool(args, cwd):
    subprocess.run(args, cwd=cwd, env=UTF8_ENV, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def lha_archive(path, cwd, names, method):
    """`lha` over files under cwd: method "0" stores (lh0), "5", "6" or "7"
    compress with lh5, lh6 or lh7. Names are stored in Shift_JIS."""
    run_tool(["lha", ("az" if method == "0" else "ao" + method) + "y", path] + names, cwd)


def seven_zip(path, cwd, names):
    run_tool(["7z", "a", "-bso0", "-bsp0", path] + names, cwd)


def seven_zip_order(path):
    """The files of a 7z archive in its own order, from `7z l -slt`."""
    listing = subprocess.run(["7z", "l", "-slt", path], env=UTF8_ENV, check=True, stdout=subprocess.PIPE)
    names, current = [], None
    for line in listing.stdout.decode("utf-8").split("\n")[1:] + [""]:
        if line.startswith("Path = "):
            current = {"path": line[len("Path = "):]}
        elif line.startswith("Attributes = ") and current is not None:
            current["dir"] = line[len("Attributes = "):].startswith("D")
        elif line == "" and current is not None:
            if not current.get("dir") and not current["path"].endswith(".7z"):
                names.append(current["path"])
            current = None
    return names


def lzh_methods(data):
    """The method of every header in an LZH archive, in order."""
    methods, at = [], 0
    while at + 22 <= len(data) and data[at] != 0:
        level = data[at + 20]
        methods.append(data[at + 2:at + 7].decode("ascii"))
        compressed = struct.unpack_from("<I", data, at + 7)[0]
        if level == 2:
            at += struct.unpack_from("<H", data, at)[0] + compressed
        else:  # level 1 counts its extended headers in the compressed size
            at += data[at] + 2 + compressed
    return methods


# --- LZH, byte by byte ---------------------------------------------------------

def crc16(data, crc=0):
    """The CRC-16 of LZH headers and data (polynomial 0xA001, reflected)."""
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def lzh_entry(name, data, level=2, method=b"-lh0-", packed=None, data_crc=None, header_crc_delta=0):
    """One LZH member: a level 0 or level 2 header, then `packed` (by default
    the data itself, stored). `name` is bytes; in level 2 its folders go to a
    directory extension separated by 0xFF, as archivers write them."""
    packed = data if packed is None else packed
    crc = crc16(data) if data_crc is None else data_crc
    if level == 0:
        body = (method + struct.pack("<IIHHBB", len(packed), len(data), 0, 0x5A21, 0x20, 0) +
                bytes([len(name)]) + name + struct.pack("<H", crc))
        return bytes([len(body), sum(body) & 0xFF]) + body + packed
    folder, _, base = name.rpartition(b"/")
    extensions = [b"\x00\x00\x00", b"\x01" + base]  # header CRC (filled in below), file name
    if folder:
        extensions.append(b"\x02" + folder.replace(b"/", b"\xff") + b"\xff")
    ext = b"".join(struct.pack("<H", len(e) + 2) + e for e in extensions) + b"\x00\x00"
    size = 24 + len(ext)
    header = bytearray(struct.pack("<H", size) + method + struct.pack("<IIIBBHB", len(packed), len(data),
                                                                         1262304000, 0x20, 2, crc, ord("U")) + ext)
    header_crc = (crc16(bytes(header)) + header_crc_delta) & 0xFFFF
    struct.pack_into("<H", header, 24 + 3, header_crc)
    return bytes(header) + packed


def lzh_archive(entries):
    return b"".join(entries) + b"\x00"


# --- ZIP, byte by byte -----------------------------------------------------------

def zip_archive(entries):
    """entries: dicts with name (bytes), data (the stored bytes), and
    optionally method (0 stored, 8 deflate, ...), size (uncompressed, as
    declared), crc, utf8 (the flag). Local headers, central directory, end."""
    local, central = b"", b""
    for e in entries:
        flags = 0x800 if e.get("utf8") else 0
        data = e["data"]
        crc = e.get("crc", zlib.crc32(data))
        size = e.get("size", len(data))
        fixed = struct.pack("<HHHHHIIIHH", 20, flags, e.get("method", 0), 0, 0x5A21, crc, len(data), size,
                            len(e["name"]), 0)
        central += b"PK\x01\x02" + struct.pack("<H", 20) + fixed + struct.pack("<HHHII", 0, 0, 0, 0, len(local)) + e["name"]
        local += b"PK\x03\x04" + fixed + e["name"] + data
    end = b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, len(entries), len(entries), len(central), len(local), 0)
    return local + central + end


def deflated_zeros(megabytes):
    """A raw deflate stream of `megabytes` MiB of zeros, about a kilobyte per
    MiB: one flushed block of a MiB, repeated (each is whole by itself)."""
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    block = c.compress(bytes(1 << 20)) + c.flush(zlib.Z_FULL_FLUSH)
    return block * megabytes + b"\x03\x00"  # an empty final block


def raw_deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def tar_gz_bomb(path, gigabytes_entry_name, after):
    """A tar.gz whose first entry is 1 GiB of zeros, then the members in
    `after`: a gzip of about a megabyte, with a true CRC and length."""
    head = tarfile.TarInfo(gigabytes_entry_name)
    head.size = 1 << 30
    header = head.tobuf(format=tarfile.GNU_FORMAT)
    tail = io.BytesIO()
    with tarfile.open(fileobj=tail, mode="w", format=tarfile.GNU_FORMAT) as t:
        for name, data in after:
            info = tarfile.TarInfo(name)
            info.size = len(data)
            t.addfile(info, io.BytesIO(data))
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    # Each flushed piece stands alone, so the zeros' piece can be repeated.
    body = c.compress(header) + c.flush(zlib.Z_FULL_FLUSH)
    zeros = c.compress(bytes(1 << 20)) + c.flush(zlib.Z_FULL_FLUSH)
    rest = c.compress(tail.getvalue()) + c.flush()
    crc = zlib.crc32(header)
    chunk = bytes(8 << 20)
    for _ in range(128):
        crc = zlib.crc32(chunk, crc)
    crc = zlib.crc32(tail.getvalue(), crc)
    length = (len(header) + (1 << 30) + len(tail.getvalue())) & 0xFFFFFFFF
    with open(path, "wb") as f:
        f.write(b"\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\xff" + body + zeros * 1024 + rest +
                struct.pack("<II", crc, length))

