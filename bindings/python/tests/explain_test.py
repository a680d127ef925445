"""explain() and lint() give the records of the tool's explain --json and
lint --json, on the samples and on generated files; files that cannot be read
raise with errno and filename."""
import errno
import json
import os
import subprocess
import unittest

import zolehead
from support import SAMPLES, TOOL, TempDirTest, requires_tool, sjis, write_generated_tree

NEAR_MISSES = (sjis("曲名:桜\n曲 名：x\n") + b"* Title 'a'\n*Genre 'Pop\n" + sjis("作曲：加藤\n"))


def tool_records(command, paths, *options):
    done = subprocess.run([TOOL, command, "--json", *options, "--", *paths], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=300)
    if done.returncode not in (0, 1):
        raise AssertionError("zolehead %s exited %d: %s" % (command, done.returncode, done.stderr))
    return json.loads(done.stdout)


class ExplainTest(TempDirTest):
    @requires_tool
    def test_same_records_as_the_tool(self):
        generated = write_generated_tree(self.dir, 60, seed=1116)
        near = self.write(NEAR_MISSES, "near.zole")
        samples = sorted(os.path.join(root, name) for root, _, names in os.walk(SAMPLES) for name in names
                         if name.endswith(".zole"))
        self.assertGreater(len(samples), 3)
        for label, paths in [("samples", samples), ("generated", generated + [near])]:
            with self.subTest(label):
                self.assertEqual([zolehead.explain(path) for path in paths], tool_records("explain", paths))
                self.assertEqual([zolehead.lint(path) for path in paths], tool_records("lint", paths))
        ignored = ["ascii-colon", "unclosed-quote"]
        self.assertEqual(zolehead.lint(near, ignore=ignored), tool_records("lint", [near], "--ignore",
                                                                           ",".join(ignored))[0])

    def test_records_say_what_the_file_holds(self):
        path = self.write(NEAR_MISSES)
        story = zolehead.explain(path)
        self.assertEqual(story["path"], path)
        title = next(field for field in story["fields"] if field["field"] == "Title")
        self.assertEqual(title["label"], "曲名")
        self.assertIn("unclosed_quote", story)
        warnings = zolehead.lint(path)["warnings"]
        self.assertIn("ascii-colon", {w["code"] for w in warnings})
        every = [w["code"] for w in warnings]
        self.assertEqual(zolehead.lint(path, ignore=every), {"path": path, "warnings": []})
        self.assertEqual(zolehead.lint(path, ignore=",".join(every)), {"path": path, "warnings": []})
        codes = zolehead.lint_codes()
        self.assertIn("ascii-colon", [c.code for c in codes])
        self.assertTrue(all(c.summary for c in codes))

    def test_errors_carry_errno_and_filename(self):
        fifo = os.path.join(self.dir, "pipe")
        os.mkfifo(fifo)
        huge = self.write(b"", "huge.zole")
        os.truncate(huge, 5 << 20)
        cases = [
            ("missing", os.path.join(self.dir, "missing.zole"), errno.ENOENT),
            ("directory", self.dir, errno.EISDIR),
            ("below a file", os.path.join(huge, "x"), errno.ENOTDIR),
            ("FIFO", fifo, None),
            ("too large", huge, None),
        ]
        for label, path, code in cases:
            for function in (zolehead.explain, zolehead.lint):
                with self.subTest(label, function=function.__name__):
                    with self.assertRaises(zolehead.ZoleHeadReadError) as caught:
                        function(path)
                    self.assertEqual((caught.exception.errno, caught.exception.filename), (code, path))
                    self.assertTrue(caught.exception.strerror)

    def test_bad_arguments(self):
        path = self.write(NEAR_MISSES)
        with self.assertRaises(ValueError):
            zolehead.lint(path, ignore=["no-such-code"])
        with self.assertRaises(TypeError):
            zolehead.lint(path, ignore=[1])
        with self.assertRaises(TypeError):
            zolehead.explain(3)
        with self.assertRaises(ValueError):
            zolehead.explain("a\0b")


if __name__ == "__main__":
    unittest.main()
