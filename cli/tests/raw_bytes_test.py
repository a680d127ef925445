#!/usr/bin/env python3
"""--raw hands back the file's own bytes: base64 in JSON, as they are in TSV and CSV."""
import base64
import csv
import io
import json
import unittest

from cli_support import EXPECTED, KEYWORDS, SAMPLE_NAMES, ScratchTestCase, run, sample_paths

# Values whose bytes a careless writer would damage: trail bytes equal to
# '\\' (ソ 83 5C, 表 95 5C) and '|', bytes that do not convert, a quote.
AWKWARD_VALUES = [
    ("backslash trail bytes", "ソフト表示".encode("cp932")),
    ("trail byte 0x7C", "ポ|".encode("cp932")),
    ("no such character", b"ab\x80\x85\x40cd"),
    ("half-width katakana", "ｶﾗｵｹ".encode("cp932")),
    ("a double quote", b'say "hi"'),
]


class RawBytesTest(ScratchTestCase):
    def awkward_files(self):
        files = []
        for i, (label, value) in enumerate(AWKWARD_VALUES):
            path = self.write("v%d.zole" % i, "コメント：".encode("cp932") + value + b"\n")
            files.append((label, path, value))
        return files

    def test_json_raw_is_base64_of_the_file_bytes(self):
        result = run(["--json", "--raw"] + sample_paths())
        self.assertEqual(result.returncode, 0)
        for record, name in zip(json.loads(result.stdout.decode("utf-8")), SAMPLE_NAMES):
            expected = {k: (v.encode("cp932"), form) for k, (v, form) in EXPECTED[name].items()}
            got = {k: (base64.b64decode(f["raw"]), f["form"]) for k, f in record["fields"].items()}
            self.assertEqual(got, expected, name)
            for field in record["fields"].values():
                self.assertNotIn("value", field)

    def test_awkward_bytes_round_trip_in_every_raw_format(self):
        for label, path, value in self.awkward_files():
            with self.subTest(label):
                jsonl = json.loads(run(["--jsonl", "--raw", path]).stdout)
                self.assertEqual(base64.b64decode(jsonl["fields"]["Comment"]["raw"]), value)

                tsv_rows = run(["--tsv", "--raw", path]).stdout.split(b"\n")
                header = tsv_rows[0].split(b"\t")
                row = tsv_rows[1].split(b"\t")
                self.assertEqual(row[header.index(b"Comment")], value)

                text = run(["--csv", "--raw", path]).stdout.decode("latin-1")
                rows = list(csv.reader(io.StringIO(text, newline="")))
                self.assertEqual(rows[1][rows[0].index("Comment")].encode("latin-1"), value)

    def test_tsv_raw_rows_hold_the_sample_bytes(self):
        result = run(["--tsv", "--raw"] + sample_paths())
        rows = [line.split(b"\t") for line in result.stdout.split(b"\n") if line]
        header = [c.decode() for c in rows[0]]
        for row, name in zip(rows[1:], SAMPLE_NAMES):
            for keyword in KEYWORDS:
                value, form = EXPECTED[name].get(keyword, ("", ""))
                self.assertEqual(row[header.index(keyword)], value.encode("cp932"), (name, keyword))
                self.assertEqual(row[header.index(keyword + "_form")].decode(), form)


if __name__ == "__main__":
    unittest.main()
