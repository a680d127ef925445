"""Worker processes: multiprocessing pools under every start method, a scan
in a forked child, and forks taken while other threads read."""
import multiprocessing
import os
import signal
import threading
import time
import unittest

import zolehead
from support import TempDirTest, write_generated_tree


def read_one(path):
    return path, zolehead.read(path)


def scan_one(directory):
    return list(zolehead.scan(directory, recursive=True, jobs=2))


def read_or_error(path):
    try:
        return zolehead.read(path)
    except zolehead.ZoleHeadReadError as error:
        return error


def edit_or_error(path, value):
    try:
        return zolehead.edit(path, set={"Title": value})
    except zolehead.EditError as error:
        return error


class PoolTest(TempDirTest):
    def setUp(self):
        super().setUp()
        self.paths = write_generated_tree(self.dir, 48, seed=5)
        self.expected = [(path, zolehead.read(path)) for path in self.paths]

    def test_pools_under_every_start_method(self):
        subdirs = sorted(os.path.join(self.dir, name) for name in os.listdir(self.dir))
        by_dir = [[(p, h) for p, h in self.expected if os.path.dirname(p) == d] for d in subdirs]
        missing = os.path.join(self.dir, "missing.zole")
        for method in multiprocessing.get_all_start_methods():
            with self.subTest(start_method=method):
                # A scan in the parent first, so a fork copies a module that has read.
                self.assertEqual(list(zolehead.scan(self.dir, recursive=True)), self.expected)
                with multiprocessing.get_context(method).Pool(2) as pool:
                    self.assertEqual(pool.map(read_one, self.paths, chunksize=4), self.expected)
                    self.assertEqual(pool.map(scan_one, subdirs), by_dir)
                    error = pool.apply(read_or_error, (missing,))
                self.assertIsInstance(error, zolehead.ZoleHeadReadError)
                self.assertEqual(error.filename, missing)

    def test_edits_and_explains_in_workers(self):
        for method in multiprocessing.get_all_start_methods():
            with self.subTest(start_method=method):
                targets = []
                for n in range(6):
                    targets.append(os.path.join(self.dir, "%s%d.zole" % (method, n)))
                    with open(targets[-1], "wb") as f:
                        f.write(b"*Title 'before'\n*Genre 'Pop'\nA cdefg\n")
                with multiprocessing.get_context(method).Pool(2) as pool:
                    results = pool.starmap(edit_or_error, [(path, "工程%d" % n) for n, path in enumerate(targets)])
                    refusal = pool.apply(edit_or_error, (targets[0], "😀"))
                    stories = pool.map(zolehead.explain, targets)
                self.assertEqual([r.status for r in results], ["edited"] * len(targets))
                self.assertEqual([zolehead.read(p)["Title"].text for p in targets],
                                 ["工程%d" % n for n in range(len(targets))])
                # The refusal comes back whole from the worker.
                self.assertIsInstance(refusal, zolehead.EditRefused)
                self.assertEqual((refusal.problem, refusal.filename), ("bad-value", targets[0]))
                self.assertEqual(stories, [zolehead.explain(p) for p in targets])


class ForkTest(TempDirTest):
    def setUp(self):
        super().setUp()
        self.paths = write_generated_tree(self.dir, 300, seed=9)
        self.expected = [(path, zolehead.read(path)) for path in self.paths]

    def in_child(self, body):
        """Runs body() in a forked child; fails unless it returns True within 60 s."""
        if os.environ.get("ZOLEHEAD_SANITIZE"):
            # The sanitizer's allocator is not fork-safe while other threads
            # allocate: let the scan's reading threads run out of work first.
            time.sleep(1)
        pid = os.fork()
        if pid == 0:
            code = 1
            try:
                signal.alarm(60)  # a hang ends the child rather than the suite
                code = 0 if body() else 1
            finally:
                os._exit(code)
        _, status = os.waitpid(pid, 0)
        return os.waitstatus_to_exitcode(status)

    def test_a_started_scan_stays_with_the_parent(self):
        walk = zolehead.scan(self.dir, recursive=True, jobs=4)
        first = next(walk)

        def child():
            try:
                next(walk)
                return False
            except RuntimeError:
                pass
            walk.close()  # neither hangs nor touches the parent's threads
            fresh = list(zolehead.scan(self.dir, recursive=True, jobs=3))
            return fresh == self.expected

        self.assertEqual(self.in_child(child), 0)
        self.assertEqual([first] + list(walk), self.expected)

    def test_a_dropped_scan_in_the_child_does_not_hang(self):
        walk = zolehead.scan(self.dir, recursive=True, jobs=4)
        next(walk)

        def child():
            nonlocal walk
            del walk
            return zolehead.read(self.paths[0]) == self.expected[0][1]

        self.assertEqual(self.in_child(child), 0)
        walk.close()

    @unittest.skipIf(os.environ.get("ZOLEHEAD_SANITIZE"),
                     "the sanitizer's allocator is not fork-safe while other threads allocate")
    def test_forks_while_other_threads_read(self):
        # Other threads read, and open and close decoders (a scan of 16 jobs
        # opens 16): a fork while one of them held the C library's converter
        # lock left the child hanging at its first decoder, about one fork in
        # two thousand. Here a few dozen forks: a smoke test, not a proof.
        stop = threading.Event()
        wrong = []

        scratch = os.path.join(self.dir, "scratch.zole")
        with open(scratch, "wb") as f:
            f.write(b"*Title 'x'\n")

        def reader(n):
            while not stop.is_set():
                for path, expected in self.expected[n::4]:
                    if zolehead.read(path) != expected:
                        wrong.append(path)
                list(zolehead.scan(self.paths[n::16], jobs=16))
                if n == 0:  # an editor opens an encoder and a decoder, an explainer a decoder
                    zolehead.edit(scratch, set={"Comment": str(time.monotonic())})
                    zolehead.explain(scratch)

        threads = [threading.Thread(target=reader, args=(n,)) for n in range(4)]
        for thread in threads:
            thread.start()
        try:
            for _ in range(40):
                code = self.in_child(lambda: list(zolehead.scan(self.paths, jobs=2)) == self.expected
                                     and all(zolehead.read(p) == h for p, h in self.expected[::7])
                                     and zolehead.edit(scratch, set={"Title": "子"}, dry_run=True).status
                                     == "would-edit")
                self.assertEqual(code, 0)
        finally:
            stop.set()
            for thread in threads:
                thread.join()
        self.assertEqual(wrong, [])


if __name__ == "__main__":
    unittest.main()
