#!/usr/bin/env python3
"""-z: the files inside archives, read as if they lay on disk. Every archive
here is made by the test itself (see archive_builders.py)."""
import base64
import csv
import io
import json
import os
import shutil
import tarfile
import zipfile

import archive_builders as ab
from cli_support import SAMPLE_NAMES, SAMPLES, ScratchTestCase, jsonl_records, run, zole_line
from output_formats_test import parse_table


def entry_name(record, archive):
    prefix = archive + "!/"
    assert record["path"].startswith(prefix), record["path"]
    return record["path"][len(prefix):]


class ArchiveTestCase(ScratchTestCase):
    def read(self, *args, status=0):
        result = run(["-z", "--jsonl"] + list(args), timeout=120)
        self.assertRan(result, status)
        return jsonl_records(result.stdout), result

    def stage(self, files):
        """Writes {relative name: bytes} under a fresh folder; returns it."""
        folder = os.path.join(self.dir, "staged")
        for name, data in files.items():
            self.write(os.path.join("staged", name), data)
        return folder

    def on_disk(self, folder, names):
        """What the tool reads from each file on disk, without -z."""
        result = run(["--jsonl"] + [os.path.join(folder, n) for n in names])
        self.assertRan(result)
        return [r["fields"] for r in jsonl_records(result.stdout)]


# Each sample's header, then music lines enough for every LZH method to
# compress it; Japanese names go to LZH in Shift_JIS.
SONGS = dict([("samples/" + name.replace(".zole", ".zol"),
               open(os.path.join(SAMPLES, name), "rb").read() + b"A cdefgab>c<bagfedc r4 \r\n" * 80)
              for name in SAMPLE_NAMES] + [("日本語/春の歌.zol", ab.music_file("春の歌")),
                                           ("ソフト表示.zol", ab.music_file("表示テスト"))])
ORDER = sorted(SONGS)


def lha_with(method):
    return lambda path, folder: ab.lha_archive(path, folder, ORDER, method)


def lzh_written_here(path, folder):
    with open(path, "wb") as f:
        f.write(ab.lzh_archive([ab.lzh_entry(n.encode("cp932"), SONGS[n]) for n in ORDER]))


def tar_with(mode):
    return lambda path, folder: ab.write_tar(path, [(n, SONGS[n]) for n in ORDER], mode=mode)


# label, archive file name, builder(path, staged folder), LZH methods the archive must hold
FORMATS = [
    ("ZIP, stored", "songs.zip", lambda p, f: ab.write_zip(p, [(n, SONGS[n]) for n in ORDER], zipfile.ZIP_STORED), None),
    ("ZIP, deflate", "songs.zip", lambda p, f: ab.write_zip(p, [(n, SONGS[n]) for n in ORDER]), None),
    ("tar", "songs.tar", tar_with("w"), None),
    ("tar.gz", "songs.tar.gz", tar_with("w:gz"), None),
    ("tar.bz2", "songs.tar.bz2", tar_with("w:bz2"), None),
    ("tar.xz", "songs.tar.xz", tar_with("w:xz"), None),
    ("7z", "songs.7z", lambda p, f: ab.seven_zip(p, f, ORDER), None),
    ("LZH lh0 from lha", "songs.lzh", lha_with("0"), {"-lh0-"}),
    ("LZH lh5", "songs.lzh", lha_with("5"), {"-lh5-"}),
    ("LZH lh6", "songs.lzh", lha_with("6"), {"-lh6-"}),
    ("LZH lh7", "songs.lzh", lha_with("7"), {"-lh7-"}),
    ("LZH lh0 written here", "songs.lzh", lzh_written_here, {"-lh0-"}),
]


class FormatTest(ArchiveTestCase):
    def test_every_entry_reads_as_the_same_file_on_disk(self):
        folder = self.stage(SONGS)
        expected = dict(zip(ORDER, self.on_disk(folder, ORDER)))
        self.assertTrue(all(expected[n] for n in ORDER))  # the comparison is not between empty headers
        for label, name, build, methods in FORMATS:
            with self.subTest(label):
                archive = os.path.join(self.dir, name)
                if os.path.exists(archive):
                    os.remove(archive)
                build(archive, folder)
                if methods:
                    with open(archive, "rb") as f:
                        self.assertEqual(set(ab.lzh_methods(f.read())), methods)
                order = ab.seven_zip_order(archive) if name.endswith(".7z") else ORDER
                self.assertEqual(sorted(order), ORDER)
                records, _ = self.read(archive)
                self.assertEqual([entry_name(r, archive) for r in records], order)
                self.assertEqual([r["fields"] for r in records], [expected[n] for n in order])
                for record, n in zip(records, order):
                    raw = archive.encode() + b"!/" + n.encode("cp932" if methods else "utf-8")
                    self.assertEqual(base64.b64decode(record.get("path_base64", "")) or record["path"].encode(), raw)

    def test_every_format_reads_the_same_with_many_threads(self):
        folder = self.stage(SONGS)
        archives = []
        for i, (label, name, build, _) in enumerate(FORMATS):
            archives.append(os.path.join(self.dir, "%02d-%s" % (i, name)))
            build(archives[-1], folder)
        one = run(["-z", "-j", "1"] + archives, timeout=120)
        self.assertRan(one)
        self.assertEqual(len(jsonl_records(one.stdout)), len(FORMATS) * len(ORDER))
        self.assertEqual(run(["-z", "-j", "8"] + archives, timeout=120).stdout, one.stdout)


def tar_members(path, members, **options):
    ab.write_tar(path, members, **options)


SONG = zole_line("曲名", "歌")
# label, archive name, builder(path), name as shown, the name's own bytes
NAMES = [
    ("LZH Shift_JIS with 0x5C trail bytes", "n.lzh",
     lambda p: ab.write_bytes(p, ab.lzh_archive([ab.lzh_entry("ソ/表示.zol".encode("cp932"), SONG)])),
     "ソ/表示.zol", "ソ/表示.zol".encode("cp932")),
    ("LZH level 0 with DOS separators", "n.lzh",
     lambda p: ab.write_bytes(p, ab.lzh_archive([ab.lzh_entry("ソ\\表.zol".encode("cp932"), SONG, level=0)])),
     "ソ/表.zol", "ソ/表.zol".encode("cp932")),
    ("LZH from lha, Shift_JIS", "n.lzh", None, "曲/春.zol", "曲/春.zol".encode("cp932")),
    ("ZIP without the UTF-8 flag", "n.zip",
     lambda p: ab.write_bytes(p, ab.zip_archive([{"name": "曲/ソング.zol".encode("cp932"), "data": SONG}])),
     "曲/ソング.zol", "曲/ソング.zol".encode("cp932")),
    ("ZIP with the UTF-8 flag", "n.zip", lambda p: ab.write_zip(p, [("曲/ソング.zol", SONG)]),
     "曲/ソング.zol", "曲/ソング.zol".encode()),
    ("tar, GNU, Shift_JIS", "n.tar", lambda p: tar_members(p, [("曲.zol", SONG)], format=tarfile.GNU_FORMAT,
                                                          encoding="cp932"), "曲.zol", "曲.zol".encode("cp932")),
    ("tar, pax, Latin letters", "n.tar", lambda p: tar_members(p, [("café.zol", SONG)]), "café.zol",
     "café.zol".encode()),
    ("7z", "n.7z", None, "曲.zol", "曲.zol".encode()),
    ("a name holding !/", "n.tar", lambda p: tar_members(p, [("a!/b.zol", SONG)]), "a!/b.zol", b"a!/b.zol"),
    ("bytes that are no character", "n.zip",
     lambda p: ab.write_bytes(p, ab.zip_archive([{"name": b"\xfd\xfe.zol", "data": SONG}])),
     "\ufffd\ufffd.zol", b"\xfd\xfe.zol"),
]


class EntryNameTest(ArchiveTestCase):
    def build(self, archive, build, shown):
        if build is not None:
            build(archive)
            return
        folder = self.stage({shown: SONG})
        (ab.seven_zip if archive.endswith(".7z") else lambda p, f, n: ab.lha_archive(p, f, n, "0"))(
            archive, folder, [shown])

    def test_names_are_shown_in_utf8_and_kept_as_bytes(self):
        for i, (label, name, build, shown, own) in enumerate(NAMES):
            with self.subTest(label):
                archive = os.path.join(self.dir, "%d-%s" % (i, name))
                self.build(archive, build, shown)
                records, _ = self.read(archive)
                self.assertEqual([r["path"] for r in records], [archive + "!/" + shown])
                self.assertEqual(records[0]["fields"], {"Title": {"value": "歌", "form": "A"}})
                raw_path = archive.encode() + b"!/" + own
                if raw_path == (archive + "!/" + shown).encode():
                    self.assertNotIn("path_base64", records[0])
                else:
                    self.assertEqual(base64.b64decode(records[0]["path_base64"]), raw_path)
                tsv = run(["-z", "--tsv", "--raw", archive]).stdout.split(b"\n")
                self.assertEqual(tsv[1].split(b"\t")[0], raw_path)
                plain = run(["-z", "--tsv", archive]).stdout.decode().split("\n")
                self.assertEqual(plain[1].split("\t")[0], archive + "!/" + shown)


def truncated(data, fraction):
    return data[:int(len(data) * fraction)]


def zip_bytes(members, compression=zipfile.ZIP_STORED):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression) as z:
        for name, data in members:
            z.writestr(name, data)
    return out.getvalue()


def tar_gz_bytes(members):
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w:gz") as t:
        for name, data in members:
            info = tarfile.TarInfo(name)
            info.size = len(data)
            t.addfile(info, io.BytesIO(data))
    return out.getvalue()


def crc_flipped_zip():
    data = bytearray(zip_bytes([("a.zol", SONG + b"AAAA"), ("b.zol", SONG)]))
    data[data.index(b"AAAA")] ^= 1
    return bytes(data)


LH1 = ab.lzh_entry(b"a.zol", SONG, method=b"-lh1-")
BIG = b"A cdefgab\r\n" * 3000
ZEROS = ab.deflated_zeros(1024)
BOMB = {"name": b"bomb.zol", "data": ZEROS, "method": 8, "size": 1 << 30, "crc": 0x5B64C2B0}  # CRC-32 of 2^30 zeros
# label, archive name, bytes (or a writer of the file), extra options,
# expected [(entry name or None for the archive, error phrase or None)]
BAD = [
    ("truncated ZIP", "t.zip",
     truncated(zip_bytes([("a.zol", SONG), ("b.zol", SONG), ("c.zol", BIG)]), 0.5), [],
     [("a.zol", None), ("b.zol", None), ("c.zol", "Truncated")]),
    ("truncated tar.gz", "t.tar.gz",
     truncated(tar_gz_bytes([("a.zol", SONG), ("b.zol", os.urandom(300000))]), 0.6), [],
     [("a.zol", None), ("b.zol", "the rest of the archive is not read")]),
    ("bad CRC in a ZIP", "c.zip", crc_flipped_zip(), [], [("a.zol", "CRC"), ("b.zol", None)]),
    ("bad CRC in an LZH", "c.lzh",
     ab.lzh_archive([ab.lzh_entry(b"a.zol", SONG, data_crc=1), ab.lzh_entry(b"b.zol", SONG)]), [],
     [("a.zol", "CRC"), ("b.zol", None)]),
    ("damaged LZH header", "d.lzh",
     ab.lzh_archive([ab.lzh_entry(b"a.zol", SONG), ab.lzh_entry(b"b.zol", SONG, header_crc_delta=1),
                     ab.lzh_entry(b"c.zol", SONG)]), [],
     [("a.zol", None), (None, "damaged archive")]),
    ("unsupported LZH method", "m.lzh", ab.lzh_archive([LH1, ab.lzh_entry(b"b.zol", SONG)]), [],
     [("a.zol", "Unsupported"), ("b.zol", None)]),
    ("unsupported ZIP method", "m.zip",
     ab.zip_archive([{"name": b"a.zol", "data": SONG, "method": 97}, {"name": b"b.zol", "data": SONG}]), [],
     [("a.zol", "Unsupported"), ("b.zol", None)]),
    ("encrypted ZIP", "e.zip", "encrypted zip", [], [("secret.zol", "encrypted"), ("plain.zol", None)]),
    ("encrypted 7z", "e.7z", "encrypted 7z", [], [("secret.zol", "encrypted; the rest of the archive is not read")]),
    ("1 GiB of zeros in a ZIP", "b.zip", ab.zip_archive([BOMB, {"name": b"song.zol", "data": SONG}]), [],
     [("bomb.zol", "larger than the entry size limit (268435456 bytes)"), ("song.zol", None)]),
    ("1 GiB of zeros in a ZIP that says 100 bytes", "b.zip",
     ab.zip_archive([dict(BOMB, size=100), {"name": b"song.zol", "data": SONG}]), ["--max-entry-size", "4M"],
     [("bomb.zol", "larger than the entry size limit (4194304 bytes)"), ("song.zol", None)]),
    ("1 GiB of zeros in a tar.gz", "b.tar.gz", "tar.gz bomb", [],
     [("bomb.zol", "larger than the entry size limit (268435456 bytes); the rest of the archive is not read")]),
    ("an archive inside an archive", "o.zip", zip_bytes([("inner.zip", zip_bytes([("x.zol", SONG)])),
                                                         ("song.zol", SONG)]), [],
     [("inner.zip", None), ("song.zol", None)]),
]


class BadArchiveTest(ArchiveTestCase):
    def make(self, archive, content):
        if isinstance(content, bytes):
            with open(archive, "wb") as f:
                f.write(content)
            return
        folder = self.stage({"secret.zol": SONG})
        if content == "encrypted zip":
            ab.run_tool(["zip", "-q", "-P", "hidden", archive, "secret.zol"], folder)
            with zipfile.ZipFile(archive, "a") as z:
                z.writestr("plain.zol", SONG)
        elif content == "encrypted 7z":
            ab.run_tool(["7z", "a", "-bso0", "-bsp0", "-phidden", archive, "secret.zol"], folder)
        else:
            ab.tar_gz_bomb(archive, "bomb.zol", [("after.zol", SONG)])

    def test_bad_archives_give_error_records_and_keep_what_was_read(self):
        for i, (label, name, content, options, expected) in enumerate(BAD):
            with self.subTest(label):
                archive = os.path.join(self.dir, "%02d-%s" % (i, name))
                self.make(archive, content)
                failures = sum(1 for _, error in expected if error)
                records, result = self.read(*options, archive, status=1 if failures else 0)
                got = [(None if r["path"] == archive else entry_name(r, archive), r.get("error")) for r in records]
                self.assertEqual([n for n, _ in got], [n for n, _ in expected])
                for (_, error), (_, phrase) in zip(got, expected):
                    if phrase is None:
                        self.assertIsNone(error)
                    else:
                        self.assertIn(phrase, error or "")
                for record, (_, phrase) in zip(records, expected):
                    if phrase is None and record["path"].endswith(".zol"):
                        self.assertEqual(record["fields"]["Title"]["value"], "歌")
                self.assertEqual(len(result.stderr.decode().splitlines()), failures)


class NotAnArchiveTest(ArchiveTestCase):
    def test_plain_files_read_as_without_archives(self):
        empty = self.write("empty.zol", b"")
        compressed = self.write("one.zol.gz", zlib_gzip(SONG))
        paths = [SAMPLES, empty, compressed]
        for args in (["--jsonl"], ["--csv", "--raw"], ["--table"]):
            with self.subTest(args=args):
                plain = run(args + ["-r"] + paths)
                self.assertRan(plain)
                self.assertEqual(run(["-z"] + args + ["-r"] + paths).stdout, plain.stdout)
                self.assertNotIn(b"!/", plain.stdout)

    def test_without_archives_an_archive_is_a_file(self):
        archive = self.write("songs.zip", zip_bytes([("a.zol", SONG)]))
        result = run(["--jsonl", archive])
        self.assertRan(result)
        self.assertEqual(jsonl_records(result.stdout), [{"path": archive, "fields": {}}])


def zlib_gzip(data):
    import gzip
    return gzip.compress(data)


class ArchiveWalkTest(ArchiveTestCase):
    def test_the_extension_filter_picks_entries_and_archives_are_found_by_content(self):
        self.write("a.zol", SONG)
        self.write("b.txt", SONG)
        self.write("c.dat", zip_bytes([("x.zol", SONG), ("y.txt", SONG), ("folder/", b"")]))
        self.write("d/e.lzh", ab.lzh_archive([ab.lzh_entry(b"f.ZOL", SONG)]))
        tar_members(os.path.join(self.dir, "d", "g.tar"), [("h.zol", SONG), ("dir", None, tarfile.DIRTYPE),
                                                           ("link.zol", None, tarfile.SYMTYPE, "h.zol"),
                                                           ("hard.zol", None, tarfile.LNKTYPE, "h.zol")])
        os.mkfifo(os.path.join(self.dir, "pipe.fifo"))
        j = os.path.join
        cases = [
            ("-z with --ext", ["-z", "--ext", "zol"],
             ["a.zol", j("c.dat") + "!/x.zol", j("d", "e.lzh") + "!/f.ZOL", j("d", "g.tar") + "!/h.zol"]),
            ("-z alone", ["-z"], ["a.zol", "b.txt", "c.dat!/x.zol", "c.dat!/y.txt", j("d", "e.lzh") + "!/f.ZOL",
                                  j("d", "g.tar") + "!/h.zol"]),
            ("--ext without -z", ["--ext", "zol"], ["a.zol"]),
        ]
        for label, args, expected in cases:
            with self.subTest(label):
                result = run(["-r", "--jsonl"] + args + [self.dir])
                if "--ext" in args:
                    self.assertEqual(result.stderr, b"")  # the FIFO's name does not pass: passed over silently
                records = jsonl_records(result.stdout)
                self.assertEqual([os.path.relpath(r["path"], self.dir) for r in records], expected)

    def test_a_named_archive_is_filtered_by_extension(self):
        archive = self.write("songs.zip", zip_bytes([("x.zol", SONG), ("y.txt", SONG)]))
        records, _ = self.read("--ext", "zol", archive)
        self.assertEqual([r["path"] for r in records], [archive + "!/x.zol"])


ARCHIVES, ENTRIES = 12, 700  # more entries than a thread reads at once, more in all than are read ahead


class ArchiveOrderTest(ArchiveTestCase):
    def setUp(self):
        super().setUp()
        self.paths, self.expected = [], []
        for a in range(ARCHIVES):
            loose = self.write("loose%02d.zol" % a, zole_line("曲名", "loose %d" % a))
            self.paths.append(loose)
            self.expected.append((loose, "loose %d" % a))
            count = ENTRIES if a % 4 == 0 else 3
            archive = self.write("pack%02d.zip" % a, zip_bytes(
                [("e%04d.zol" % e, zole_line("曲名", "%d-%d" % (a, e))) for e in range(count)]))
            self.paths.append(archive)
            self.expected += [(archive + "!/e%04d.zol" % e, "%d-%d" % (a, e)) for e in range(count)]

    def test_records_keep_walk_order_whatever_the_threads(self):
        for jobs in ("1", "2", "5"):
            with self.subTest(jobs=jobs):
                records, _ = self.read("-j", jobs, *self.paths)
                self.assertEqual([(r["path"], r["fields"]["Title"]["value"]) for r in records], self.expected)

    def test_json_array_and_table_hold_every_record(self):
        result = run(["-z", "--json", "-j", "3"] + self.paths, timeout=120)
        self.assertRan(result)
        self.assertEqual([r["path"] for r in json.loads(result.stdout.decode())], [p for p, _ in self.expected])
        table = run(["-z", "--table", "-j", "3"] + self.paths, timeout=120)
        self.assertEqual({p: f["Title"][0] for p, f in parse_table(table.stdout.decode()).items()},
                         dict(self.expected))


class MaxEntrySizeTest(ArchiveTestCase):
    def test_sizes_are_parsed(self):
        archive = self.write("s.zip", zip_bytes([("small.zol", SONG), ("big.zol", SONG + b"x" * 2000)]))
        cases = [
            ("bytes", "1100", ["small.zol", "big.zol!"]),
            ("K", "1K", ["small.zol", "big.zol!"]),
            ("KiB", "2KiB", ["small.zol", "big.zol"]),
            ("lower case with B", "1mb", ["small.zol", "big.zol"]),
            ("G", "1G", ["small.zol", "big.zol"]),
        ]
        for label, size, expected in cases:
            with self.subTest(label):
                result = run(["-z", "--max-entry-size", size, archive])
                records = jsonl_records(result.stdout)
                self.assertEqual([entry_name(r, archive) + ("!" if "error" in r else "") for r in records], expected)

    def test_bad_sizes_are_usage_errors(self):
        for size in ("0", "", "12Q", "1KK", "-5", "99999999999999999999", "20000000T"):
            with self.subTest(size=size):
                result = run(["-z", "--max-entry-size", size, SAMPLES])
                self.assertRan(result, 2)
                self.assertEqual(result.stdout, b"")


if __name__ == "__main__":
    import unittest
    unittest.main()
