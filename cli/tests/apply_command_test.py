#!/usr/bin/env python3
"""zolehead apply: the tool's own output, edited by a person, applied back."""
import csv
import io
import json
import os
import shutil
import unittest

from cli_support import SAMPLES, SAMPLE_NAMES, ScratchTestCase, fields_of, jsonl_records, run, zole_line


class ApplyTest(ScratchTestCase):
    def setUp(self):
        super().setUp()
        self.songs = os.path.join(self.dir, "songs")
        os.makedirs(self.songs)
        for name in SAMPLE_NAMES:
            shutil.copy(os.path.join(SAMPLES, name), self.songs)
        # A value with a byte pair code page 932 has no character for.
        self.write("songs/lossy.zole", b"*Title 'ab\x85\x40cd'\n*Genre 'Pop'\n")

    def snapshot(self):
        out = {}
        for name in sorted(os.listdir(self.songs)):
            with open(os.path.join(self.songs, name), "rb") as f:
                out[name] = f.read()
        return out

    def export(self, fmt, *extra):
        result = run(["--" + fmt, "-r"] + list(extra) + ["songs"], cwd=self.dir)
        self.assertRan(result)
        return result.stdout

    def apply(self, data, *args, status=0):
        path = self.write("edits", data)
        result = run(["apply"] + list(args) + [path], cwd=self.dir)
        self.assertRan(result, status)
        return jsonl_records(result.stdout)

    def test_round_trip_changes_nothing(self):
        before = self.snapshot()
        for fmt, extra in [("csv", []), ("tsv", []), ("json", []), ("jsonl", []), ("json", ["--raw"])]:
            with self.subTest(fmt + " ".join(extra)):
                records = self.apply(self.export(fmt, *extra))
                self.assertEqual({r["status"] for r in records}, {"unchanged"})
                self.assertEqual(len(records), len(before))
                self.assertEqual(self.snapshot(), before)

    def test_a_spreadsheet_may_reorder_quote_and_add(self):
        rows = list(csv.reader(io.StringIO(self.export("csv").decode("utf-8"))))
        header = rows[0]
        target = next(r for r in rows if r[0].endswith("haru-no-kaze.zole"))
        target[header.index("Title")] = "春の風 (remaster)"
        rows = [list(reversed(r)) + ["a column of my own"] for r in rows]
        text = io.StringIO()
        csv.writer(text, delimiter=";", quoting=csv.QUOTE_ALL, lineterminator="\r\n").writerows(rows)
        before = self.snapshot()
        records = self.apply(b"\xef\xbb\xbf" + text.getvalue().encode("utf-8"))
        changed = [r for r in records if r["status"] != "unchanged"]
        self.assertEqual([os.path.basename(r["path"]) for r in changed], ["haru-no-kaze.zole"])
        self.assertEqual(changed[0]["fields"]["Title"]["new"], {"value": "春の風 (remaster)", "form": "A"})
        after = self.snapshot()
        self.assertEqual({k for k in before if before[k] != after[k]}, {"haru-no-kaze.zole"})

    def test_an_emptied_cell_removes_only_when_allowed(self):
        def emptied():
            rows = list(csv.reader(io.StringIO(self.export("csv").decode("utf-8"))))
            for r in rows[1:]:
                if r[0].endswith("yoru-no-umi.zole"):
                    r[rows[0].index("Genre")] = ""
            text = io.StringIO()
            csv.writer(text, lineterminator="\n").writerows(rows)
            return text.getvalue().encode("utf-8")
        records = self.apply(emptied())
        skipped = [r for r in records if r["status"] == "skipped"]
        self.assertEqual(len(skipped), 1)
        self.assertIn("--allow-remove", skipped[0]["fields"]["Genre"]["skipped"])
        self.assertIn("Genre", fields_of(jsonl_records(run(["songs/yoru-no-umi.zole"], cwd=self.dir).stdout)[0]))
        records = self.apply(emptied(), "--allow-remove")
        self.assertEqual([r["status"] for r in records if r["status"] != "unchanged"], ["edited"])
        self.assertNotIn("Genre", fields_of(jsonl_records(run(["songs/yoru-no-umi.zole"], cwd=self.dir).stdout)[0]))

    def test_lossy_values_left_as_shown_stay(self):
        lines = self.export("tsv").decode("utf-8").splitlines(True)
        self.assertTrue(any("\ufffd" in line for line in lines))
        edited = [line.replace("'Pop'", "x").replace("\tPop\t", "\tRock\t") for line in lines]
        records = self.apply("".join(edited).encode("utf-8"))
        lossy = next(r for r in records if r["path"].endswith("lossy.zole"))
        self.assertEqual(lossy["status"], "edited")
        self.assertEqual(list(lossy["fields"]), ["Genre"])
        with open(os.path.join(self.songs, "lossy.zole"), "rb") as f:
            self.assertEqual(f.read(), b"*Title 'ab\x85\x40cd'\n*Genre 'Rock'\n")

    def test_unknown_paths_and_bad_records_are_error_records(self):
        data = ('[{"path": "songs/missing.zole", "fields": {"Title": {"value": "x"}}},'
                ' {"path": "songs/haru-no-kaze.zole", "fields": {"Title": {"value": 5}}},'
                ' {"path": "songs/mori-no-waltz.zole", "error": "cannot open", "fields": {"Genre": {"value": "Jazz"}}},'
                ' {"path": "songs/mori-no-waltz.zole", "fields": {}}]')
        records = self.apply(data.encode("utf-8"), status=1)
        self.assertEqual([r["status"] for r in records], ["failed", "refused", "edited", "refused"])
        self.assertIn("No such file", records[0]["reason"])
        self.assertEqual(records[1]["kind"], "bad-record")
        # An error row's empty cells say nothing; its filled ones apply.
        self.assertEqual(list(records[2]["fields"]), ["Genre"])
        self.assertIn("same path", records[3]["reason"])

    def test_input_that_cannot_be_read_is_a_usage_error(self):
        for label, data in [("no path column", b"name,Title\nx,y\n"), ("unclosed quote", b"path,Title\n\"x,y\n"),
                            ("broken JSON Lines", b'{"path": "a"}\n{nope\n'), ("UTF-16", b"\xff\xfep\x00")]:
            with self.subTest(label):
                path = self.write("edits", data)
                result = run(["apply", path], cwd=self.dir)
                self.assertRan(result, 2)
                self.assertEqual(result.stdout, b"")


if __name__ == "__main__":
    unittest.main()
