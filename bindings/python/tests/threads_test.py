"""Python threads: reads run with the GIL released and share nothing, so
threads read at once and each gets exactly the serial result."""
import os
import pathlib
import sys
import threading
import time
import unittest

import zolehead
from support import TempDirTest, write_generated_tree


def run_threads(count, target):
    threads = [threading.Thread(target=target, args=(n,)) for n in range(count)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()


class GilReleaseTest(TempDirTest):
    """While a read is under way, another Python thread runs: a counter it
    keeps moves between the reader's looks before and after the call. With
    the switch interval made huge, a thread gives the GIL up only where it
    chooses to: the counting thread at each sleep(0), the reader only inside
    the call, if the call releases it."""

    def assertOthersRunDuring(self, call):
        counter = [0]
        moved = []
        done = threading.Event()

        def reader():
            try:
                for _ in range(5):  # a few tries, should the scheduler look away once
                    before = counter[0]
                    call()
                    moved.append(counter[0] - before)
                    if moved[-1]:
                        break
            finally:
                done.set()

        interval = sys.getswitchinterval()
        sys.setswitchinterval(1000)
        try:
            thread = threading.Thread(target=reader)
            thread.start()
            while not done.is_set():
                counter[0] += 1
                time.sleep(0)
            thread.join()
        finally:
            sys.setswitchinterval(interval)
        self.assertGreater(max(moved), 0, "no other thread ran during the call: the GIL was held")

    def test_read_releases_the_gil(self):
        big = os.path.join(self.dir, "big.zole")
        with open(big, "wb") as f:
            f.truncate(128 << 20)  # sparse: costs no disk
        cases = [
            ("read", lambda: zolehead.read(big)),
            ("read_bytes", lambda: zolehead.read_bytes(bytes(32 << 20))),
            ("scan", lambda: list(zolehead.scan([big], jobs=1))),
        ]
        for label, call in cases:
            with self.subTest(label):
                self.assertOthersRunDuring(call)


class ParallelReadTest(TempDirTest):
    def setUp(self):
        super().setUp()
        self.paths = write_generated_tree(self.dir, 64, seed=11)
        self.expected = [(path, zolehead.read(path)) for path in self.paths]

    def test_each_thread_gets_the_serial_result(self):
        contents = {path: pathlib.Path(path).read_bytes() for path in self.paths}
        wrong = []

        def reader(n):
            for round in range(6):
                for path, expected in self.expected[n::4] if round % 2 else self.expected:
                    if zolehead.read(path) != expected or zolehead.read_bytes(contents[path]) != expected:
                        wrong.append(path)

        run_threads(8, reader)
        self.assertEqual(wrong, [])

    def test_scans_in_several_threads_at_once(self):
        results = {}

        def scanner(n):
            results[n] = list(zolehead.scan(self.dir, recursive=True, jobs=1 + n % 3))

        run_threads(4, scanner)
        for n in range(4):
            self.assertEqual(results[n], self.expected, "scan in thread %d" % n)

    def test_one_scan_shared_by_threads_hands_out_each_file_once(self):
        walk = zolehead.scan(self.dir, recursive=True, jobs=2)
        taken = {n: [] for n in range(4)}
        refused = []

        def taker(n):
            while True:
                try:
                    item = next(walk)
                except StopIteration:
                    return
                except RuntimeError:
                    refused.append(n)  # another thread is inside next(): try again
                    continue
                taken[n].append(item)

        run_threads(4, taker)
        items = sorted((item for got in taken.values() for item in got), key=lambda item: item[0])
        self.assertEqual(items, self.expected)
        for got in taken.values():
            self.assertEqual(got, sorted(got, key=lambda item: item[0]), "each thread sees walk order")


if __name__ == "__main__":
    unittest.main()
