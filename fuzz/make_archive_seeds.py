#!/usr/bin/env python3
"""Writes the seed archives of fuzz_archive into fuzz/corpus_fuzz_archive/: one
small archive per format and LZH header level, each holding a Zole file
(form A and form B) under a Shift_JIS or UTF-8 name. Run it again after
changing it; the seeds are committed."""
import io
import os
import sys
import tempfile
import tarfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "cli", "tests"))
import archive_builders as ab  # noqa: E402

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus_fuzz_archive")
SONG = "曲名：桜\r\n*Genre 'Pop'\r\nA cdefgab\r\n".encode("cp932") * 3


def tar_bytes(mode, fmt=tarfile.PAX_FORMAT):
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode=mode, format=fmt) as t:
        for name in ("曲/a.zol", "b.zol"):
            info = tarfile.TarInfo(name)
            info.size = len(SONG)
            t.addfile(info, io.BytesIO(SONG))
        folder = tarfile.TarInfo("曲")
        folder.type = tarfile.DIRTYPE
        t.addfile(folder)
    return out.getvalue()


def zip_bytes(compression):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression) as z:
        z.writestr("曲/a.zol", SONG)
        z.writestr("b.zol", SONG)
    return out.getvalue()


SEEDS = {
    "stored.zip": zip_bytes(zipfile.ZIP_STORED),
    "deflate.zip": zip_bytes(zipfile.ZIP_DEFLATED),
    "shift_jis.zip": ab.zip_archive([{"name": "曲.zol".encode("cp932"), "data": SONG},
                                     {"name": b"d.zol", "data": ab.raw_deflate(SONG), "method": 8,
                                      "size": len(SONG)}]),
    "pax.tar": tar_bytes("w"),
    "gnu.tar.gz": tar_bytes("w:gz", tarfile.GNU_FORMAT),
    "pax.tar.bz2": tar_bytes("w:bz2"),
    "pax.tar.xz": tar_bytes("w:xz"),
    "level0.lzh": ab.lzh_archive([ab.lzh_entry("ソ\\a.zol".encode("cp932"), SONG, level=0)]),
    "level2.lzh": ab.lzh_archive([ab.lzh_entry("曲/a.zol".encode("cp932"), SONG), ab.lzh_entry(b"b.zol", SONG)]),
}



def with_tool(name, make):
    """An archive that `make(path, folder)` writes from the song in a scratch folder."""
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "a.zol"), "wb") as f:
            f.write(SONG * 20)  # long enough for lh5 to compress
        path = os.path.join(folder, name)
        make(path, folder)
        with open(path, "rb") as f:
            return f.read()


SEEDS["lh5.lzh"] = with_tool("x.lzh", lambda p, f: ab.lha_archive(p, f, ["a.zol"], "5"))
SEEDS["solid.7z"] = with_tool("x.7z", lambda p, f: ab.seven_zip(p, f, ["a.zol"]))

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
