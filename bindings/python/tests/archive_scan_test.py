"""scan(archives=True): the entries of archives are read like files, with the
tool's ARCHIVE!/ENTRY paths and per-entry errors, and give what reading the
same files from disk gives."""
import os
import pathlib
import sys
import unittest
import zlib

import zolehead
from support import SOURCE_DIR, TempDirTest, requires_tool, sjis, tool_results, write_generated_tree

sys.path.insert(0, os.path.join(SOURCE_DIR, "cli", "tests"))
import archive_builders  # noqa: E402  (the tool's own archive makers, shared rather than copied)


class ArchiveScanTest(TempDirTest):
    def setUp(self):
        super().setUp()
        # The members, also written out as plain files to compare with.
        self.loose = os.path.join(self.dir, "loose")
        write_generated_tree(self.loose, 24, seed=4)
        os.makedirs(os.path.join(self.loose, "名前"))
        pathlib.Path(self.loose, "名前", "歌.zole").write_bytes(sjis("曲名：歌\r\n"))
        self.members = sorted((os.path.relpath(os.path.join(root, name), self.loose),
                               pathlib.Path(root, name).read_bytes())
                              for root, _, names in os.walk(self.loose) for name in names)
        self.tree = os.path.join(self.dir, "tree")
        os.makedirs(self.tree)
        archive_builders.write_zip(os.path.join(self.tree, "a.zip"), self.members + [("notes.txt", b"*Title 'n'\n")])
        archive_builders.write_tar(os.path.join(self.tree, "b.tar.gz"), self.members, mode="w:gz")
        archive_builders.write_bytes(os.path.join(self.tree, "c.lzh"), archive_builders.lzh_archive(
            [archive_builders.lzh_entry(name.encode("utf-8") if name.isascii() else sjis(name), data)
             for name, data in self.members]))
        archive_builders.write_bytes(os.path.join(self.tree, "d.zole"), sjis("曲名：平文\n"))
        # An entry whose CRC is wrong, between two good ones; and a ZIP with a Shift_JIS name.
        good = b"*Title 'ok'\n"
        archive_builders.write_bytes(os.path.join(self.tree, "e.zip"), archive_builders.zip_archive([
            {"name": b"first.zole", "data": good},
            {"name": b"bad.zole", "data": good, "crc": zlib.crc32(good) ^ 1},
            {"name": sjis("曲.zole"), "data": good},
        ]))

    def scan(self, **options):
        return list(zolehead.scan(self.tree, recursive=True, archives=True, jobs=2, **options))

    def test_entries_read_as_the_files_on_disk(self):
        on_disk = {name: zolehead.read_bytes(data) for name, data in self.members}
        entries = {}
        for path, result in self.scan():
            archive, separator, name = path.partition("!/")
            if separator and os.path.basename(archive) in ("a.zip", "b.tar.gz", "c.lzh"):
                entries.setdefault(os.path.basename(archive), {})[name] = result
        for archive in ("a.zip", "b.tar.gz", "c.lzh"):
            with self.subTest(archive):
                got = {name: result for name, result in entries[archive].items() if name != "notes.txt"}
                self.assertEqual(got, on_disk)
        for name, data in self.members:
            with self.subTest(name):
                self.assertEqual(on_disk[name], zolehead.read(os.path.join(self.loose, name)))

    @requires_tool
    def test_same_results_as_the_tool(self):
        for label, options, tool_options in [
            ("every entry", {}, []),
            ("entries picked by extension", {"ext": "zole"}, ["--ext", "zole"]),
            ("form A only", {"form": "A"}, []),
            ("small entry limit", {"max_entry_size": 64}, ["--max-entry-size", "64"]),
        ]:
            with self.subTest(label):
                tools = tool_results(["-z", "-r"] + tool_options + [self.tree], options.get("form", "both"))
                ours = self.scan(**options)
                self.assertEqual([path for path, _ in ours], [path for path, _ in tools])
                for (path, result), (_, expected) in zip(ours, tools):
                    if isinstance(expected, str):
                        self.assertIsInstance(result, zolehead.ZoleHeadReadError, path)
                        self.assertEqual((result.filename, result.strerror), (path, expected))
                    else:
                        self.assertEqual(result, expected, path)

    def test_entry_errors_and_paths(self):
        results = dict(self.scan())
        bad = os.path.join(self.tree, "e.zip!/bad.zole")
        self.assertIsInstance(results[bad], zolehead.ZoleHeadReadError)
        self.assertIsNone(results[bad].errno)
        self.assertEqual(results[bad].filename, bad)
        # The entries either side are read as usual.
        self.assertEqual(results[os.path.join(self.tree, "e.zip!/first.zole")]["Title"].text, "ok")
        self.assertEqual(results[os.path.join(self.tree, "e.zip!/曲.zole")]["Title"].text, "ok")
        self.assertEqual(results[os.path.join(self.tree, "d.zole")]["Title"].text, "平文")

        limited = dict(self.scan(max_entry_size=8))
        self.assertIsInstance(limited[os.path.join(self.tree, "e.zip!/first.zole")], zolehead.ZoleHeadReadError)

    def test_bytes_paths_hold_the_stored_names(self):
        paths = [path for path, _ in zolehead.scan(os.fsencode(self.tree), recursive=True, archives=True)]
        self.assertIn(os.fsencode(self.tree) + b"/e.zip!/" + sjis("曲.zole"), paths)
        self.assertIn(os.fsencode(self.tree) + b"/c.lzh!/" + sjis("名前/歌.zole"), paths)

    def test_without_archives_an_archive_is_a_file(self):
        results = dict(zolehead.scan(self.tree, recursive=True))
        self.assertEqual(sorted(os.path.basename(path) for path in results),
                         ["a.zip", "b.tar.gz", "c.lzh", "d.zole", "e.zip"])
        self.assertFalse(any("!/" in path for path in results))

    def test_bad_arguments(self):
        for value in (0, -1):
            with self.assertRaises(ValueError):
                zolehead.scan(self.tree, archives=True, max_entry_size=value)


if __name__ == "__main__":
    unittest.main()
