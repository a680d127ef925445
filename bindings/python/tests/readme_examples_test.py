"""The Python guide's examples (docs/python.md) run as written: reading a
collection in worker processes, on a tree of generated files, prints what a
plain scan gives, and the editing example edits and refuses as it says."""
import collections
import importlib.util
import os
import re
import subprocess
import sys
import unittest

import zolehead
from support import SOURCE_DIR, TempDirTest, write_generated_tree


def readme_block(containing):
    """The guide's Python code block that contains `containing`."""
    with open(os.path.join(SOURCE_DIR, "docs", "python.md"), encoding="utf-8") as f:
        blocks = re.findall(r"```python\n(.*?)```", f.read(), re.S)
    found = [block for block in blocks if containing in block]
    if len(found) != 1:
        raise AssertionError("expected one example with %r, found %d" % (containing, len(found)))
    return found[0]


class ReadmeExampleTest(TempDirTest):
    def setUp(self):
        super().setUp()
        self.paths = write_generated_tree(os.path.join(self.dir, "songs"), 80, seed=16)
        self.headers = {path: zolehead.read(path) for path in self.paths}

    def run_example(self, code):
        script = os.path.join(self.dir, "example.py")
        with open(script, "w", encoding="utf-8") as f:
            f.write(code)
        done = subprocess.run([sys.executable, script], cwd=self.dir, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, encoding="utf-8", timeout=300,
                              env=dict(os.environ, PYTHONIOENCODING="utf-8"))
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stdout

    def test_process_pool(self):
        expected = []
        for folder in sorted({os.path.dirname(path) for path in self.paths}):
            counts = collections.Counter(header["Genre"].text for path, header in self.headers.items()
                                         if os.path.dirname(path) == folder and "Genre" in header)
            expected.append("%s %s" % (os.path.relpath(folder, self.dir), sorted(counts.items())))
        self.assertGreater(len(expected), 1)
        self.assertEqual(self.run_example(readme_block("ProcessPoolExecutor")).splitlines(), expected)

    @unittest.skipUnless(importlib.util.find_spec("dask"), "dask is not installed")
    def test_dask_bag(self):
        counts = collections.Counter(h["Composer"].text for h in self.headers.values() if "Composer" in h)
        self.assertGreater(len(counts), 1)
        self.assertEqual(self.run_example(readme_block("dask.bag")), "%s\n" % sorted(counts.items()))


class ReadmeEditExampleTest(TempDirTest):
    def test_edit_example(self):
        # The file the guide's printf writes: 曲名：桜, then *Genre "Pop".
        song = self.write(b"\x8b\xc8\x96\xbc\x81\x46\x8d\xf7\n*Genre \"Pop\"\n")
        original = open(song, "rb").read()
        code = "import zolehead\n" + readme_block("zolehead.EditRefused")
        script = self.write(code.encode("utf-8"), "example.py")
        done = subprocess.run([sys.executable, script], cwd=self.dir, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              encoding="utf-8", timeout=120, env=dict(os.environ, PYTHONIOENCODING="utf-8"))
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue(done.stdout.startswith("bad-value "), done.stdout)
        header = zolehead.read(song)
        self.assertEqual({k: f.text for k, f in header.items()}, {"Title": "夏の風", "Genre": "Pop", "Composer": "加藤"})
        with open(song + ".bak", "rb") as f:
            self.assertEqual(f.read(), original)


if __name__ == "__main__":
    unittest.main()
