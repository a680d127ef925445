"""scan(): the walk, its results in walk order, errors as values, arguments,
and the reading threads' lifetime."""
import errno
import os
import pathlib
import unittest

import zolehead
from support import TempDirTest, sjis, write_generated_tree


def song(title):
    return sjis("曲名：" + title + "\r\n")


def task_count():
    return len(os.listdir("/proc/self/task"))


class ScanTest(TempDirTest):
    def relative(self, results):
        return [(os.path.relpath(path, self.dir), result) for path, result in results]

    def test_results_come_in_walk_order_whatever_the_threads(self):
        paths = write_generated_tree(self.dir, 300, seed=7)
        expected = [(path, zolehead.read(path)) for path in paths]
        for jobs in (1, 2, 3, 8):
            with self.subTest(jobs=jobs):
                self.assertEqual(list(zolehead.scan(self.dir, recursive=True, jobs=jobs)), expected)

    def test_a_file_that_cannot_be_read_is_a_value_not_the_end(self):
        good = self.write(song("a"), "a.zole")
        missing = os.path.join(self.dir, "missing.zole")
        results = list(zolehead.scan([missing, self.dir, good]))
        self.assertEqual([path for path, _ in results], [missing, self.dir, good])
        cases = [
            ("missing file", results[0][1], errno.ENOENT, missing),
            ("directory without recursive", results[1][1], errno.EISDIR, self.dir),
        ]
        for label, error, code, path in cases:
            with self.subTest(label):
                self.assertIsInstance(error, zolehead.ZoleHeadReadError)
                self.assertEqual((error.errno, error.strerror, error.filename), (code, os.strerror(code), path))
        self.assertEqual(results[2][1], zolehead.read(good))

    def test_extension_filter(self):
        for name in ("a.zole", "b.ZOLE", "c.Zole", "d.zolex", "zole", "e.txt", "f.mml", "sub/g.zole", ".zole"):
            self.write(song("x"), name)
        cases = [
            ("no filter reads every file", None, [".zole", "a.zole", "b.ZOLE", "c.Zole", "d.zolex", "e.txt",
                                                  "f.mml", "sub/g.zole", "zole"]),
            ("any letter case", "zole", ["a.zole", "b.ZOLE", "c.Zole", "sub/g.zole"]),
            ("a leading dot is allowed", ".ZoLe", ["a.zole", "b.ZOLE", "c.Zole", "sub/g.zole"]),
            ("a list", ["txt", "mml"], ["e.txt", "f.mml"]),
            ("comma-separated", "txt,mml", ["e.txt", "f.mml"]),
        ]
        for label, ext, expected in cases:
            with self.subTest(label):
                walked = [path for path, _ in self.relative(zolehead.scan(self.dir, recursive=True, ext=ext))]
                self.assertEqual(sorted(walked), sorted(expected))
        named = self.write(song("named"), "notes.txt")
        self.assertEqual(list(zolehead.scan(named, ext="zole"))[0][1]["Title"].text, "named")

    def test_entries_passed_over_are_listed_as_skipped(self):
        self.write(song("a"), "top/a.zole")
        os.symlink(".", os.path.join(self.dir, "top", "here"))
        os.symlink("nowhere", os.path.join(self.dir, "top", "broken.zole"))
        os.mkfifo(os.path.join(self.dir, "top", "pipe.zole"))
        top = os.path.join(self.dir, "top")
        walk = zolehead.scan(top, recursive=True)
        self.assertEqual([path for path, _ in walk], [os.path.join(top, "a.zole")])
        self.assertEqual(walk.skipped, [
            (os.path.join(top, "broken.zole"), "skipped: broken symbolic link"),
            (os.path.join(top, "here"), "skipped: symbolic link loop"),
            (os.path.join(top, "pipe.zole"), "skipped: not a regular file"),
        ])

    def test_paths_keep_the_type_they_were_given_in(self):
        path = self.write(song("a"), "曲.zole")
        cases = [
            ("str", path, path),
            ("bytes", os.fsencode(path), os.fsencode(path)),
            ("os.PathLike gives str", pathlib.Path(path), path),
            ("a list of them", [path, path], path),
            ("a generator", (p for p in [path]), path),
        ]
        for label, given, expected in cases:
            with self.subTest(label):
                for walked, header in zolehead.scan(given):
                    self.assertEqual(walked, expected)
                    self.assertIs(type(walked), type(expected))
                    self.assertEqual(header["Title"].text, "a")
        bytes_dir = list(zolehead.scan(os.fsencode(self.dir), recursive=True))
        self.assertEqual(bytes_dir, [(os.fsencode(path), zolehead.read(path))])
        self.assertEqual(list(zolehead.scan([])), [])

    def test_bad_arguments_raise_at_once(self):
        cases = [
            ("str and bytes mixed", lambda: zolehead.scan([self.dir, os.fsencode(self.dir)]), TypeError),
            ("a NUL in a path", lambda: zolehead.scan(self.dir + "\0x"), ValueError),
            ("not a path", lambda: zolehead.scan([42]), TypeError),
            ("negative jobs", lambda: zolehead.scan(self.dir, jobs=-1), ValueError),
            ("too many jobs", lambda: zolehead.scan(self.dir, jobs=257), ValueError),
            ("jobs not an integer", lambda: zolehead.scan(self.dir, jobs=1.5), TypeError),
            ("ext not text", lambda: zolehead.scan(self.dir, ext=[b"zole"]), TypeError),
            ("bad form", lambda: zolehead.scan(self.dir, form="C"), ValueError),
        ]
        for label, call, error in cases:
            with self.subTest(label), self.assertRaises(error):
                call()

    def test_form_is_passed_on(self):
        path = self.write(song("a") + b"*Genre 'Pop'\n")
        for form in ("A", "b", "both"):
            with self.subTest(form=form):
                self.assertEqual(list(zolehead.scan(path, form=form)), [(path, zolehead.read(path, form))])

    def test_reading_threads_end_with_the_iterator(self):
        write_generated_tree(self.dir, 40, seed=3)

        def close_after_one(walk):
            next(walk)
            walk.close()

        def leave_a_with_block(walk):
            with walk:
                next(walk)

        cases = [
            ("exhausted", list, True),
            ("closed after one", close_after_one, True),
            ("left in a with block after one", leave_a_with_block, True),
            ("dropped after one", next, False),
        ]
        before = task_count()
        for label, use, ended in cases:
            with self.subTest(label):
                walk = zolehead.scan(self.dir, recursive=True, jobs=4)
                use(walk)
                if ended:
                    self.assertEqual(task_count(), before)
                    self.assertEqual(list(walk), [], "an ended scan yields nothing more")
                del walk
                self.assertEqual(task_count(), before)

    def test_threads_start_on_the_first_item(self):
        write_generated_tree(self.dir, 4, seed=3)
        before = task_count()
        walk = zolehead.scan(self.dir, recursive=True, jobs=4)
        self.assertEqual(task_count(), before)
        next(walk)
        self.assertEqual(task_count(), before + 3)
        walk.close()


if __name__ == "__main__":
    unittest.main()
