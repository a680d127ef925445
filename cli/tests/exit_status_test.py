#!/usr/bin/env python3
"""Exit statuses, error reporting, and runs that go on past a failed file."""
import json
import os
import unittest

from cli_support import ScratchTestCase, jsonl_records, run, sample_paths, zole_line


class ExitStatusTest(ScratchTestCase):
    def test_every_file_read_gives_zero(self):
        self.assertRan(run(sample_paths()), 0)

    def test_a_missing_file_gives_one_with_a_message(self):
        missing = os.path.join(self.dir, "missing.zole")
        result = run([missing])
        self.assertRan(result, 1)
        lines = result.stderr.decode().splitlines()
        self.assertEqual(lines, ["zolehead: %s: cannot open: No such file or directory" % missing])
        self.assertEqual(jsonl_records(result.stdout),
                         [{"path": missing, "error": "cannot open: No such file or directory"}])

    def test_a_directory_without_recursive_gives_one(self):
        result = run([self.dir])
        self.assertRan(result, 1)
        record = jsonl_records(result.stdout)[0]
        self.assertEqual(record["path"], self.dir)
        self.assertIn("directory", record["error"])
        self.assertIn("-r", result.stderr.decode())

    def test_a_fifo_named_on_the_command_line_fails_without_hanging(self):
        fifo = os.path.join(self.dir, "pipe.zole")
        os.mkfifo(fifo)
        result = run([fifo], timeout=20)
        self.assertRan(result, 1)
        self.assertIn("not a regular file", jsonl_records(result.stdout)[0]["error"])

    @unittest.skipIf(os.geteuid() == 0, "root reads any file")
    def test_an_unreadable_file_gives_one(self):
        path = self.write("locked.zole", zole_line("曲名", "x"))
        os.chmod(path, 0)
        result = run([path])
        self.assertRan(result, 1)
        self.assertIn("Permission denied", result.stderr.decode())

    def test_usage_errors_give_two_and_no_output(self):
        cases = [
            ("no path", []),
            ("unknown option", ["--bogus", sample_paths()[0]]),
            ("bad form", ["--form", "c", sample_paths()[0]]),
            ("two formats", ["--json", "--csv", sample_paths()[0]]),
            ("too many jobs", ["-j", "100000", sample_paths()[0]]),
            ("jobs not a number", ["-j", "many", sample_paths()[0]]),
            ("ext without a value", [sample_paths()[0], "--ext"]),
        ]
        for label, args in cases:
            with self.subTest(label):
                result = run(args)
                self.assertRan(result, 2)
                self.assertEqual(result.stdout, b"")
                self.assertTrue(result.stderr.startswith(b"zolehead: "), result.stderr)

    def test_help_and_version_give_zero(self):
        help_result = run(["--help"])
        self.assertRan(help_result, 0)
        self.assertIn(b"Usage: zolehead", help_result.stdout)
        version = run(["--version"])
        self.assertRan(version, 0)
        lines = version.stdout.decode().splitlines()
        self.assertRegex(lines[0], r"^zolehead \d+\.\d+\.\d+$")
        # The library answers through zhGetZoleHeadDllVersion.
        self.assertEqual(lines[1], "ZoleHead library 1.0.0.0")


class FailedFileInBatchTest(ScratchTestCase):
    def test_failures_in_the_middle_do_not_stop_the_run(self):
        good = [self.write("f%d.zole" % i, zole_line("曲名", "title %d" % i)) for i in range(3)]
        missing = os.path.join(self.dir, "missing.zole")
        batch = [good[0], missing, good[1], self.dir, good[2]]
        for jobs in ("1", "4"):
            with self.subTest(jobs=jobs):
                result = run(["-j", jobs] + batch)
                self.assertRan(result, 1)
                records = jsonl_records(result.stdout)
                self.assertEqual([r["path"] for r in records], batch)
                self.assertEqual([r["fields"]["Title"]["value"] for r in (records[0], records[2], records[4])],
                                 ["title 0", "title 1", "title 2"])
                self.assertIn("error", records[1])
                self.assertIn("error", records[3])
                stderr = result.stderr.decode().splitlines()
                self.assertEqual(len(stderr), 2, stderr)
                self.assertIn(missing, stderr[0])
                self.assertIn(self.dir, stderr[1])

    def test_json_array_holds_the_error_records(self):
        missing = os.path.join(self.dir, "missing.zole")
        result = run(["--json", sample_paths()[0], missing, sample_paths()[1]])
        self.assertRan(result, 1)
        records = json.loads(result.stdout.decode())
        self.assertEqual([("error" in r) for r in records], [False, True, False])


if __name__ == "__main__":
    unittest.main()
