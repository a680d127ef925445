#!/usr/bin/env python3
"""Every output format parses and holds the samples' values as UTF-8."""
import base64
import csv
import io
import json
import os
import unittest

from cli_support import (EXPECTED, KEYWORDS, SAMPLE_NAMES, SAMPLES, ScratchTestCase, fields_of, jsonl_records, run,
                         sample_paths, zole_line)


def parse_table(text):
    """path -> {keyword: (value, form)} from the table layout; 'error' for a failed file."""
    records = {}
    for block in text.split("\n\n"):
        lines = block.strip("\n").split("\n")
        fields = {}
        for line in lines[1:]:
            if line.startswith("  error: "):
                fields = line[len("  error: "):]
                break
            if line == "  (no header fields)":
                continue
            parts = line[2:].split(None, 2)
            fields[parts[0]] = (parts[2] if len(parts) > 2 else "", parts[1])
        records[lines[0]] = fields
    return records


class OutputFormatTest(ScratchTestCase):
    def expected_by_path(self):
        return {path: EXPECTED[name] for path, name in zip(sample_paths(), SAMPLE_NAMES)}

    def test_jsonl_is_one_record_per_line_with_utf8_values(self):
        result = run(["--jsonl"] + sample_paths())
        self.assertRan(result)
        records = jsonl_records(result.stdout)
        self.assertEqual([r["path"] for r in records], sample_paths())
        for record in records:
            self.assertEqual(fields_of(record), EXPECTED[os.path.basename(record["path"])], record["path"])
            self.assertNotIn("error", record)
            for field in record["fields"].values():
                self.assertNotIn("lossy", field)

    def test_jsonl_is_the_default_when_stdout_is_not_a_terminal(self):
        self.assertEqual(run(sample_paths()).stdout, run(["--jsonl"] + sample_paths()).stdout)

    def test_json_is_always_an_array(self):
        cases = [
            ("all samples", sample_paths()),
            ("one file", sample_paths()[:1]),
        ]
        for label, paths in cases:
            with self.subTest(label):
                result = run(["--json"] + paths)
                self.assertRan(result)
                records = json.loads(result.stdout.decode("utf-8"))
                self.assertIsInstance(records, list)
                self.assertEqual([r["path"] for r in records], paths)
                for record in records:
                    self.assertEqual(fields_of(record), EXPECTED[os.path.basename(record["path"])])

    def test_json_of_an_empty_walk_is_an_empty_array(self):
        empty = os.path.join(self.dir, "empty")
        os.mkdir(empty)
        result = run(["--json", "-r", empty])
        self.assertRan(result)
        self.assertEqual(json.loads(result.stdout.decode("utf-8")), [])

    def test_csv_has_stable_columns_and_empty_cells_for_missing_fields(self):
        result = run(["--csv"] + sample_paths())
        self.assertRan(result)
        rows = list(csv.reader(io.StringIO(result.stdout.decode("utf-8"), newline="")))
        header = ["path", "error"] + [c for k in KEYWORDS for c in (k, k + "_form")]
        self.assertEqual(rows[0], header)
        self.assertEqual(len(rows), 1 + len(SAMPLE_NAMES))
        for row in rows[1:]:
            self.assertEqual(len(row), len(header))
            cells = dict(zip(header, row))
            expected = EXPECTED[os.path.basename(cells["path"])]
            self.assertEqual(cells["error"], "")
            for keyword in KEYWORDS:
                value, form = expected.get(keyword, ("", ""))
                self.assertEqual((cells[keyword], cells[keyword + "_form"]), (value, form), keyword)

    def test_csv_quotes_commas_and_quotes(self):
        path = self.write("quoted.zole", b"*Title 'Hello, \"World\"'\n")
        rows = list(csv.reader(io.StringIO(run(["--csv", path]).stdout.decode("utf-8"), newline="")))
        self.assertEqual(rows[1][2:4], ['Hello, "World"', "B"])

    def test_tsv_has_the_same_cells_as_csv(self):
        tsv = run(["--tsv"] + sample_paths())
        csv_result = run(["--csv"] + sample_paths())
        self.assertRan(tsv)
        tsv_rows = [line.split("\t") for line in tsv.stdout.decode("utf-8").splitlines()]
        csv_rows = list(csv.reader(io.StringIO(csv_result.stdout.decode("utf-8"), newline="")))
        self.assertEqual(tsv_rows, csv_rows)

    def test_tsv_escapes_a_tab_in_a_path(self):
        path = self.write("tab\there.zole", zole_line("曲名", "x"))
        rows = [line.split("\t") for line in run(["--tsv", path]).stdout.decode("utf-8").splitlines()]
        self.assertEqual(rows[1][0], path.replace("\t", "\\t"))
        self.assertEqual(rows[1][2], "x")

    def test_table_lists_each_file_and_its_fields(self):
        result = run(["--table"] + sample_paths())
        self.assertRan(result)
        self.assertEqual(parse_table(result.stdout.decode("utf-8")), self.expected_by_path())

    def test_table_shows_errors_and_files_without_fields(self):
        empty = self.write("nothing.zole", b"A cdefgab\n")
        missing = os.path.join(self.dir, "missing.zole")
        result = run(["--table", empty, missing])
        self.assertRan(result, 1)
        table = parse_table(result.stdout.decode("utf-8"))
        self.assertEqual(table[empty], {})
        self.assertIn("No such file or directory", table[missing])

    def test_table_replaces_control_characters_in_paths(self):
        path = self.write("esc\x1b[31mred.zole", zole_line("曲名", "x"))
        out = run(["--table", path]).stdout.decode("utf-8")
        self.assertNotIn("\x1b", out)
        self.assertIn("esc?[31mred.zole", out)


class HeaderFormOptionTest(ScratchTestCase):
    def test_form_picks_the_reader(self):
        repeated = os.path.join(SAMPLES, "oddity-repeated-title.zole")
        mixed = os.path.join(SAMPLES, "yoru-no-umi.zole")
        cases = [
            ("a keeps the last repeated label", ["--form", "a"], repeated, "Title", ("かえるのうた（改訂版）", "A")),
            ("both empties a repeated label", ["--form", "both"], repeated, "Title", ("", "A")),
            ("form B wins with both", [], mixed, "Title", ("Yoru no Umi (2004 remix)", "B")),
            ("a ignores keywords", ["--form", "A"], mixed, "Title", ("夜の海", "A")),
            ("b ignores label lines", ["--form", "b"], mixed, "Genre", None),
            ("b reads keywords", ["--form", "B"], mixed, "Impression", ("静かな夜の海", "B")),
        ]
        for label, args, path, keyword, expected in cases:
            with self.subTest(label):
                result = run(args + [path])
                self.assertRan(result)
                self.assertEqual(fields_of(jsonl_records(result.stdout)[0]).get(keyword), expected)


class DecodingTest(ScratchTestCase):
    def test_bytes_that_do_not_convert_become_replacement_characters(self):
        cases = [
            # label, value bytes, expected text
            ("a byte with no character", b"ab\x80cd", "ab\ufffdcd"),
            ("an unassigned pair is one character", b"x\x85\x40y", "x\ufffdy"),
            ("a lead byte before a non-trail byte", b"a\x81 z", "a\ufffd z"),
            ("0xFD and 0xFE each stand alone", b"a\xfd\xfe", "a\ufffd\ufffd"),
            ("a lone lead byte at the end", b"end\x82", "end\ufffd"),
        ]
        for label, value, text in cases:
            with self.subTest(label):
                path = self.write("bad.zole", "曲名：".encode("cp932") + value + b"\n")
                field = jsonl_records(run([path]).stdout)[0]["fields"]["Title"]
                self.assertEqual(field["value"], text)
                self.assertIs(field.get("lossy"), True)

    def test_clean_values_are_not_flagged(self):
        path = self.write("good.zole", zole_line("曲名", "表示 ソ＼~"))
        field = jsonl_records(run([path]).stdout)[0]["fields"]["Title"]
        self.assertEqual(field, {"value": "表示 ソ＼~", "form": "A"})

    def test_a_path_that_is_not_utf8_keeps_its_bytes_in_base64(self):
        name = "曲.zole".encode("cp932")
        path = os.path.join(self.dir.encode(), name)
        with open(path, "wb") as f:
            f.write(zole_line("曲名", "x"))
        result = run([path])
        self.assertRan(result)
        record = jsonl_records(result.stdout)[0]
        self.assertEqual(base64.b64decode(record["path_base64"]), path)
        self.assertIn("\ufffd", record["path"])
        self.assertEqual(fields_of(record), {"Title": ("x", "A")})


if __name__ == "__main__":
    unittest.main()
