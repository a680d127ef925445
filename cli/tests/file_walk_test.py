#!/usr/bin/env python3
"""-r walks: the extension filter, symbolic links, loops and files that are not data."""
import os
import unittest

from cli_support import ScratchTestCase, jsonl_records, run, zole_line


class FileWalkTest(ScratchTestCase):
    def song(self, relative, title="x"):
        return self.write(relative, zole_line("曲名", title))

    def walk(self, *args):
        result = run(["-r"] + list(args) + [self.dir], timeout=30)
        return result, [os.path.relpath(r["path"], self.dir) for r in jsonl_records(result.stdout)]

    def test_extension_filter(self):
        for name in ("a.zole", "b.ZOLE", "c.Zole", "d.zolex", "zole", "e.txt", "f.mml", "sub/g.zole", ".zole"):
            self.song(name)
        cases = [
            ("no filter reads every file", [], ["a.zole", "b.ZOLE", "c.Zole", "d.zolex", "e.txt", "f.mml",
                                                "sub/g.zole", "zole", ".zole"]),
            ("any letter case", ["--ext", "zole"], ["a.zole", "b.ZOLE", "c.Zole", "sub/g.zole"]),
            ("a leading dot is allowed", ["--ext", ".ZoLe"], ["a.zole", "b.ZOLE", "c.Zole", "sub/g.zole"]),
            ("repeated", ["--ext", "txt", "--ext", "mml"], ["e.txt", "f.mml"]),
            ("comma-separated", ["--ext", "txt,mml"], ["e.txt", "f.mml"]),
        ]
        for label, args, expected in cases:
            with self.subTest(label):
                result, paths = self.walk(*args)
                self.assertRan(result)
                self.assertEqual(sorted(paths), sorted(expected))

    def test_extension_filter_leaves_named_files_alone(self):
        path = self.song("notes.txt", "named")
        result = run(["--ext", "zole", path])
        self.assertRan(result)
        self.assertEqual(jsonl_records(result.stdout)[0]["fields"]["Title"]["value"], "named")

    def test_symbolic_link_loops_are_walked_once(self):
        self.song("top/a.zole")
        self.song("top/sub/b.zole")
        os.symlink("..", os.path.join(self.dir, "top", "sub", "up"))
        os.symlink(os.path.join(self.dir, "top"), os.path.join(self.dir, "top", "sub", "again"))
        result, paths = self.walk()
        self.assertRan(result)
        self.assertEqual(paths, ["top/a.zole", "top/sub/b.zole"])
        self.assertIn(b"symbolic link loop", result.stderr)

    def test_links_to_files_and_directories_are_followed(self):
        elsewhere = os.path.join(self.dir, "elsewhere")
        os.mkdir(elsewhere)
        target = self.write("elsewhere/real.zole", zole_line("曲名", "linked"))
        walked = os.path.join(self.dir, "walked")
        os.mkdir(walked)
        os.symlink(target, os.path.join(walked, "link.zole"))
        os.symlink(elsewhere, os.path.join(walked, "dirlink"))
        result = run(["-r", walked])
        self.assertRan(result)
        records = jsonl_records(result.stdout)
        self.assertEqual([os.path.relpath(r["path"], walked) for r in records], ["dirlink/real.zole", "link.zole"])
        self.assertEqual({r["fields"]["Title"]["value"] for r in records}, {"linked"})

    def test_a_directory_reached_twice_is_read_once_per_path_argument(self):
        self.song("real/a.zole")
        os.symlink("real", os.path.join(self.dir, "alias"))
        result, paths = self.walk()
        self.assertRan(result)
        self.assertEqual(len(paths), 1)
        self.assertIn(b"already read", result.stderr)

        real = os.path.join(self.dir, "real")
        twice = run(["-r", real, real])
        self.assertRan(twice)
        self.assertEqual(len(jsonl_records(twice.stdout)), 2)

    def test_things_that_are_not_files_are_skipped_with_a_message(self):
        self.song("a.zole")
        os.mkfifo(os.path.join(self.dir, "pipe.zole"))
        os.symlink("nowhere.zole", os.path.join(self.dir, "broken.zole"))
        result, paths = self.walk()
        self.assertRan(result)  # skipped, not failed
        self.assertEqual(paths, ["a.zole"])
        stderr = result.stderr.decode()
        self.assertIn("pipe.zole: skipped: not a regular file", stderr)
        self.assertIn("broken.zole: skipped: broken symbolic link", stderr)

    def test_filtered_out_names_are_skipped_silently(self):
        os.mkfifo(os.path.join(self.dir, "pipe.fifo"))
        self.song("a.zole")
        result, paths = self.walk("--ext", "zole")
        self.assertRan(result)
        self.assertEqual((paths, result.stderr), (["a.zole"], b""))

    @unittest.skipIf(os.geteuid() == 0, "root lists any directory")
    def test_an_unreadable_directory_is_a_failure(self):
        self.song("a.zole")
        locked = os.path.join(self.dir, "locked")
        os.mkdir(locked)
        os.chmod(locked, 0)
        self.addCleanup(os.chmod, locked, 0o755)
        result, paths = self.walk()
        self.assertRan(result, 1)
        self.assertEqual(paths, ["a.zole", "locked"])

    def test_a_deep_tree(self):
        deep = "/".join("d%d" % i for i in range(60))
        self.song(deep + "/deep.zole", "deep")
        result, paths = self.walk()
        self.assertRan(result)
        self.assertEqual(paths, [deep + "/deep.zole"])


if __name__ == "__main__":
    unittest.main()
