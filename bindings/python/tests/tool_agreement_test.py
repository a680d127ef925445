"""The package gives what the zolehead tool prints: the same files in the same
order, the same text, bytes, forms and lossy flags, the same failures and the
same entries passed over, on the samples and on generated files."""
import os
import pathlib
import unittest

import zolehead
from support import SAMPLES, TempDirTest, requires_tool, run_tool, sjis, tool_results, write_generated_tree


@requires_tool
class ToolAgreementTest(TempDirTest):
    def assertSameResults(self, ours, tools):
        self.assertEqual([path for path, _ in ours], [path for path, _ in tools])
        for (path, result), (_, expected) in zip(ours, tools):
            with self.subTest(path=path):
                if isinstance(expected, str):
                    self.assertIsInstance(result, zolehead.ZoleHeadReadError)
                    self.assertEqual(result.filename, path)
                    # The tool says "cannot open: No such file or directory".
                    self.assertIn(result.strerror.lower(), expected.lower())
                else:
                    self.assertEqual(result, expected)

    def compare(self, paths, recursive):
        for form in ("both", "A", "B"):
            with self.subTest(form=form):
                tools = tool_results((["-r"] if recursive else []) + paths, form)
                self.assertSameResults(list(zolehead.scan(paths, recursive=recursive, jobs=2, form=form)), tools)
                read = []
                for path, _ in tools:
                    try:
                        read.append((path, zolehead.read(path, form)))
                    except zolehead.ZoleHeadReadError as error:
                        read.append((path, error))
                self.assertSameResults(read, tools)
                with_bytes = [(path, zolehead.read_bytes(pathlib.Path(path).read_bytes(), form))
                              for path, result in tools if not isinstance(result, str)]
                self.assertEqual(with_bytes, [(path, result) for path, result in tools if not isinstance(result, str)])

    def test_samples(self):
        self.compare([SAMPLES], recursive=True)

    def test_generated_files(self):
        paths = write_generated_tree(self.dir, 240, seed=20240601)
        self.compare([self.dir], recursive=True)
        # The files hold what the comparison is about.
        fields = [field for path in paths for field in zolehead.read(path).values()]
        kinds = {"form A": [f for f in fields if f.form == "A"], "form B": [f for f in fields if f.form == "B"],
                 "lossy": [f for f in fields if f.lossy], "empty": [f for f in fields if not f.raw],
                 "non-ASCII": [f for f in fields if not f.raw.isascii()], "cut": [f for f in fields if len(f.raw) > 120]}
        for kind, found in kinds.items():
            self.assertGreater(len(found), 5, kind)

    def test_files_that_cannot_be_read(self):
        good = self.write(sjis("曲名：桜\n"), "good.zole")
        fifo = os.path.join(self.dir, "pipe")
        os.mkfifo(fifo)
        paths = [os.path.join(self.dir, "missing.zole"), self.dir, fifo, os.path.join(good, "below"), good]
        self.compare(paths, recursive=False)

    def test_the_same_entries_are_passed_over(self):
        self.write(sjis("曲名：桜\n"), "top/a.zole")
        top = os.path.join(self.dir, "top")
        os.symlink(".", os.path.join(top, "here"))
        os.symlink(top, os.path.join(top, "b-again"))
        os.symlink("nowhere", os.path.join(top, "broken.zole"))
        os.mkfifo(os.path.join(top, "pipe.zole"))
        _, stderr = run_tool(["-r", top])
        walk = zolehead.scan(top, recursive=True)
        list(walk)
        self.assertEqual(["zolehead: %s: %s" % entry for entry in walk.skipped], stderr)
        self.assertEqual(len(stderr), 4)


if __name__ == "__main__":
    unittest.main()
