#!/usr/bin/env python3
"""zolehead explain and zolehead lint: their output forms, exit statuses, and
agreement with what the tool reads."""
import json
import os
import unittest

from cli_support import EXPECTED, SAMPLES, SAMPLE_NAMES, ScratchTestCase, fields_of, jsonl_records, run, sample_paths

# What lint says about each bundled sample, written out by hand from the sample
# texts: only the oddities warn.
SAMPLE_WARNINGS = {
    "haru-no-kaze.zole": [],
    "mori-no-waltz.zole": [],
    "yoru-no-umi.zole": [],
    "oddity-repeated-title.zole": [(2, 1, "repeated-label")],
    # The end mark stands at the start of line 6; the entries after it follow on.
    "oddity-eof-mark.zole": [(6, 2, "after-end-mark"), (7, 1, "after-end-mark")],
}


def sample(name):
    return os.path.join(SAMPLES, name)


class LintTest(ScratchTestCase):
    def test_only_the_oddities_warn(self):
        result = run(["lint"] + sample_paths())
        self.assertRan(result, 1)
        got = []
        for line in result.stdout.decode("utf-8").splitlines():
            location, message = line.split(": warning: ", 1)
            path, row, column = location.rsplit(":", 2)
            code = message[message.rindex("[") + 1:-1]
            got.append((os.path.basename(path), int(row), int(column), code))
        expected = [(name, row, column, code) for name in SAMPLE_NAMES for row, column, code in SAMPLE_WARNINGS[name]]
        self.assertEqual(got, expected)

    def test_exit_statuses(self):
        clean = [sample(n) for n in SAMPLE_NAMES if not SAMPLE_WARNINGS[n]]
        cases = [
            ("clean files", clean, 0),
            ("a file with a warning", [sample("oddity-repeated-title.zole")], 1),
            ("the warning's code ignored", ["--ignore", "repeated-label", sample("oddity-repeated-title.zole")], 0),
            ("codes ignored with a comma", ["--ignore=after-end-mark,repeated-label"] + sample_paths(), 0),
            ("a file that cannot be read", [os.path.join(self.dir, "missing.zole")], 1),
            ("an unknown code", ["--ignore", "no-such-code"] + clean, 2),
            ("no path", [], 2),
            ("two output formats", ["--json", "--jsonl"] + clean, 2),
        ]
        for what, args, status in cases:
            with self.subTest(what):
                self.assertRan(run(["lint"] + args), status)

    def test_json_and_jsonl_carry_the_same_warnings_as_the_text(self):
        paths = sample_paths()
        text = run(["lint"] + paths).stdout.decode("utf-8").splitlines()
        records = jsonl_records(run(["lint", "--jsonl"] + paths).stdout)
        array = json.loads(run(["lint", "--json"] + paths).stdout)
        self.assertEqual(records, array)
        self.assertEqual([r["path"] for r in records], paths)  # every file, clean ones too
        from_json = ["%s:%d:%d: warning: %s [%s]" % (r["path"], w["line"], w["column"], w["message"], w["code"])
                     for r in records for w in r["warnings"]]
        self.assertEqual(from_json, text)

    def test_a_near_miss_and_its_suggestion(self):
        path = self.write("titel.zole", "曲目：桜\n*Titel 'x'\n曲名:y\n".encode("cp932"))
        record = jsonl_records(run(["lint", "--jsonl", path]).stdout)[0]
        got = [(w["line"], w["column"], w["code"], w.get("suggestion")) for w in record["warnings"]]
        self.assertEqual(got, [(1, 1, "unknown-label", "曲名"), (2, 1, "unknown-keyword", "Title"),
                               (3, 3, "ascii-colon", "：")])

    def test_unreadable_files_are_reported_and_counted(self):
        missing = os.path.join(self.dir, "missing.zole")
        result = run(["lint", "--jsonl", missing, sample("haru-no-kaze.zole")])
        self.assertRan(result, 1)
        self.assertEqual(result.stderr.decode().splitlines(),
                         ["zolehead: %s: cannot open: No such file or directory" % missing])
        self.assertEqual(jsonl_records(result.stdout)[0], {"path": missing, "error": "cannot open: No such file or directory"})

    def test_recursive_with_extensions(self):
        self.write("a/x.zole", "曲名：a\n曲名：b\n".encode("cp932"))
        self.write("a/y.txt", "曲名：a\n曲名：b\n".encode("cp932"))
        result = run(["lint", "-r", "--ext", "zole", self.dir])
        self.assertRan(result, 1)
        self.assertEqual(len(result.stdout.splitlines()), 1)
        self.assertIn(b"x.zole:2:1: warning:", result.stdout)

    def test_paths_and_messages_stay_printable(self):
        path = self.write("bad\x1bname.zole", "曲名：a\n曲名：b\n".encode("cp932"))
        out = run(["lint", path]).stdout
        self.assertNotIn(b"\x1b", out)
        self.assertIn(b"bad?name.zole:2:1", out)


class ExplainTest(ScratchTestCase):
    def test_final_values_are_what_the_tool_reads(self):
        paths = sample_paths()
        explained = jsonl_records(run(["explain", "--jsonl"] + paths).stdout)
        for form in ("a", "b", "both"):
            key = "both" if form == "both" else form.upper()
            read = jsonl_records(run(["--jsonl", "--form", form] + paths).stdout)
            for record, read_record in zip(explained, read):
                with self.subTest(path=record["path"], form=form):
                    reads = {f["field"]: (f["reads"][key]["value"], f["reads"][key]["form"])
                             for f in record["fields"] if f["reads"][key] is not None}
                    self.assertEqual(reads, fields_of(read_record))
                    if form == "both":
                        self.assertEqual(reads, EXPECTED[os.path.basename(record["path"])])

    def test_the_repeated_title_names_both_lines(self):
        result = run(["explain", sample("oddity-repeated-title.zole")])
        self.assertRan(result, 0)
        text = result.stdout.decode("utf-8")
        self.assertIn("combined reader  A  (empty)\n", text)
        self.assertIn("    1:1  form A  カエルの歌\n"
                      "      form A reader: stored, then overwritten by line 2\n"
                      "      combined reader: stored, then emptied by line 2, which repeats the label\n", text)
        self.assertIn("      combined reader: empties the field: the label is already on line 1\n", text)

    def test_json_shape(self):
        record = json.loads(run(["explain", "--json", sample("yoru-no-umi.zole")]).stdout)[0]
        title = record["fields"][0]
        self.assertEqual((title["field"], title["label"]), ("Title", "曲名"))
        self.assertEqual(title["reads"], {"A": {"value": "夜の海", "form": "A"}, "B": {"value": "Yoru no Umi (2004 remix)", "form": "B"},
                                          "both": {"value": "Yoru no Umi (2004 remix)", "form": "B"}})
        first = title["entries"][0]
        self.assertEqual((first["line"], first["column"], first["offset"], first["form"], first["value"]),
                         (1, 1, 0, "A", "夜の海"))
        self.assertEqual([(r["reader"], r["outcome"], r.get("other")) for r in first["readers"]],
                         [("A", "final", None), ("both", "replaced_by_form_b", {"line": 2, "column": 1, "form": "B"})])
        self.assertNotIn("end_mark", record)
        marked = jsonl_records(run(["explain", "--jsonl", sample("oddity-eof-mark.zole")]).stdout)[0]
        self.assertEqual((marked["end_mark"]["line"], marked["end_mark"]["column"]), (6, 1))

    def test_exit_statuses_and_errors(self):
        missing = os.path.join(self.dir, "missing.zole")
        result = run(["explain", missing, sample("haru-no-kaze.zole")])
        self.assertRan(result, 1)
        self.assertTrue(result.stdout.decode().startswith("%s\n  error: cannot open: No such file or directory\n\n" % missing))
        self.assertRan(run(["explain"]), 2)
        self.assertRan(run(["explain", "--form", "a", sample("haru-no-kaze.zole")]), 2)

    def test_what_is_not_a_regular_file_is_refused_without_hanging(self):
        fifo = os.path.join(self.dir, "pipe.zole")
        os.mkfifo(fifo)
        for command in ("explain", "lint"):
            with self.subTest(command):
                result = run([command, "--jsonl", fifo, self.dir], timeout=20)
                self.assertRan(result, 1)
                errors = [r["error"] for r in jsonl_records(result.stdout)]
                self.assertEqual(len(errors), 2)
                self.assertIn("not a regular file", errors[0])
                self.assertIn("-r", errors[1])

    def test_a_large_file_is_refused_not_held(self):
        path = os.path.join(self.dir, "huge.zole")
        with open(path, "wb") as f:
            f.truncate(64 * 1024 * 1024)  # sparse: no disk space taken
        result = run(["explain", "--jsonl", path])
        self.assertRan(result, 1)
        self.assertIn("too large", jsonl_records(result.stdout)[0]["error"])


if __name__ == "__main__":
    unittest.main()
