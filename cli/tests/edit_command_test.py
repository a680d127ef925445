#!/usr/bin/env python3
"""zolehead set and remove: what they change, the argument syntax, dry runs,
records and exit statuses."""
import json
import os
import unittest

from cli_support import ScratchTestCase, fields_of, jsonl_records, run, zole_line


def read_fields(path):
    return fields_of(jsonl_records(run(["--jsonl", path]).stdout)[0])


class SetAndRemoveTest(ScratchTestCase):
    def song(self, name="song.zole"):
        return self.write(name, zole_line("曲名", "春の風") + b"*Genre 'Pop'\r\nA cdef\r\n")

    def read_bytes(self, path):
        with open(path, "rb") as f:
            return f.read()

    def test_fields_by_keyword_in_any_case_or_label(self):
        path = self.song()
        cases = [
            ("keyword", ["Title=夏の風"], {"Title": ("夏の風", "A")}),
            ("lower case keyword", ["genre=Rock"], {"Genre": ("Rock", "B")}),
            # One entry in each form: a tie, and new entries go in form B.
            ("Japanese label", ["作曲=山田"], {"Composer": ("山田", "B")}),
            ("several at once", ["E-MAIL=a@b.jp", "Comment=ok"], {"E-Mail": ("a@b.jp", "B"), "Comment": ("ok", "B")}),
        ]
        for label, assignments, expected in cases:
            with self.subTest(label):
                self.assertRan(run(["set"] + assignments + [path]))
                got = read_fields(path)
                for key, value in expected.items():
                    self.assertEqual(got[key], value)

    def test_remove_deletes_the_field_and_its_line(self):
        path = self.song()
        self.assertRan(run(["remove", "genre", path]))
        self.assertEqual(self.read_bytes(path), zole_line("曲名", "春の風") + b"A cdef\r\n")

    def test_paths_with_equals_signs_or_named_like_fields(self):
        cases = [
            ("after --", ["set", "Title=x", "--", "Title=y"], ["Title=y"], "Title"),
            ("after the first path", ["set", "Title=x", "first.zole", "Genre=z"], ["first.zole", "Genre=z"], "Title"),
            ("an unknown field name starts the paths", ["set", "Title=x", "Nofield=1"], ["Nofield=1"], "Title"),
            ("remove: a file named like a field", ["remove", "Genre", "--", "Title"], ["Title"], "Genre"),
        ]
        for label, args, files, field in cases:
            with self.subTest(label):
                for name in files:
                    self.song(name)
                self.assertRan(run(args, cwd=self.dir))
                for name in files:
                    got = read_fields(os.path.join(self.dir, name))
                    if args[0] == "set":
                        self.assertEqual(got[field], ("x", "A"))
                    else:
                        self.assertNotIn(field, got)

    def test_usage_errors_touch_nothing(self):
        path = self.song()
        before = self.read_bytes(path)
        cases = [
            ("no assignment", ["set", path], "no FIELD=VALUE"),
            ("no path", ["set", "Title=x"], "no PATH"),
            ("empty value", ["set", "Title=", path], "use remove"),
            ("no code page 932 form", ["set", "Title=😀", path], "U+1F600"),
            ("too long", ["set", "Title=" + "あ" * 64, path], "128 bytes"),
            ("field twice", ["set", "Title=a", "title=b", path], "more than once"),
            ("remove without a field", ["remove", path], "no known FIELD"),
            ("bad form", ["set", "--form", "c", "Title=x", path], "form"),
        ]
        for label, args, message in cases:
            with self.subTest(label):
                result = run(args)
                self.assertRan(result, 2)
                self.assertIn(message, result.stderr.decode())
                self.assertEqual(result.stdout, b"")
        self.assertEqual(self.read_bytes(path), before)

    def test_dry_run_shows_old_new_and_lines_and_writes_nothing(self):
        path = self.song()
        before = self.read_bytes(path)
        result = run(["set", "--dry-run", "--table", "Title=夏", path])
        self.assertRan(result)
        text = result.stdout.decode()
        self.assertIn('Title', text)
        self.assertIn('"春の風"  ->  A "夏"', text)
        self.assertIn("    - 曲名：春の風", text)
        self.assertIn("    + 曲名：夏", text)
        self.assertEqual(self.read_bytes(path), before)
        record = jsonl_records(run(["set", "--dry-run", "Title=夏", path]).stdout)[0]
        self.assertEqual(record["status"], "would-edit")
        self.assertEqual(record["lines"], [{"line": 1, "old": "曲名：春の風", "new": "曲名：夏"}])

    def test_records_and_exit_status(self):
        good = self.song("good.zole")
        same = self.write("same.zole", b"*Title 'x'\n")
        linked = self.song("linked.zole")
        os.link(linked, os.path.join(self.dir, "other.zole"))
        archive = self.write("songs.lzh", b"-lh5-")
        result = run(["set", "Title=x", good, same, linked, archive + "!/a.zole", os.path.join(self.dir, "none")])
        self.assertRan(result, 1)
        records = jsonl_records(result.stdout)
        self.assertEqual([r["status"] for r in records], ["edited", "unchanged", "refused", "refused", "failed"])
        self.assertEqual(records[0]["fields"], {"Title": {"old": {"value": "春の風", "form": "A"},
                                                          "new": {"value": "x", "form": "A"}}})
        self.assertEqual(records[2]["kind"], "hard-links")
        self.assertIn("inside an archive", records[3]["reason"])
        self.assertEqual(records[4]["errno"], 2)
        self.assertEqual(len(result.stderr.decode().splitlines()), 3)
        csv_out = run(["set", "--csv", "Title=y", good]).stdout.decode().splitlines()
        self.assertTrue(csv_out[0].startswith("path,status,kind,reason,backup,Title_old,Title_new,"))
        self.assertTrue(csv_out[1].startswith(good + ",edited,,,,x,y,"))

    def test_recursive_with_ext_and_backups_never_edited_again(self):
        for i in range(3):
            self.song("d/s%d.zole" % i)
        self.write("d/notes.txt", b"*Title 'keep'\n")
        self.assertRan(run(["set", "-r", "--ext", "zole", "--backup", "Title=one", self.dir]))
        self.assertEqual(sorted(os.listdir(os.path.join(self.dir, "d"))),
                         ["notes.txt", "s0.zole", "s0.zole.bak", "s1.zole", "s1.zole.bak", "s2.zole", "s2.zole.bak"])
        # Without --ext the walk meets the backups and passes over them.
        result = run(["set", "-r", "-j", "2", "Title=two", self.dir])
        self.assertRan(result)
        paths = sorted(os.path.basename(r["path"]) for r in jsonl_records(result.stdout))
        self.assertEqual(paths, ["notes.txt", "s0.zole", "s1.zole", "s2.zole"])
        self.assertEqual(read_fields(os.path.join(self.dir, "d", "s0.zole.bak"))["Title"], ("春の風", "A"))


if __name__ == "__main__":
    unittest.main()
