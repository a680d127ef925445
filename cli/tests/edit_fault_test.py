#!/usr/bin/env python3
"""Edits that are interrupted: a run killed with SIGKILL at random moments
leaves every file exactly old or exactly new, and a write that fails part-way
(a file size limit) leaves the original and no temporary file."""
import hashlib
import os
import random
import resource
import signal
import subprocess
import time
import unittest

from cli_support import BIN, ScratchTestCase, jsonl_records, run

FILES = 200


def content(i, title):
    return b"*Title '%s'\r\n*Genre 'g%d'\r\n" % (title, i) + b"A cdefgab\r\n" * (40 + i)


def digest(data):
    return hashlib.sha256(data).hexdigest()


class KilledRunTest(ScratchTestCase):
    def test_sigkill_at_random_moments_leaves_each_file_old_or_new(self):
        rng = random.Random(12)
        paths = [self.write("songs/s%03d.zole" % i, content(i, b"v0")) for i in range(FILES)]
        allowed = [{digest(content(i, b"v0"))} for i in range(FILES)]
        for round_ in range(1, 7):
            title = b"v%d" % round_
            for i in range(FILES):
                allowed[i].add(digest(content(i, title)))
            process = subprocess.Popen([BIN, "set", "-r", "-j", "2", "Title=" + title.decode(), self.dir],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(rng.uniform(0.0, 0.6))
            process.send_signal(signal.SIGKILL)
            process.wait()
            for i, path in enumerate(paths):
                with open(path, "rb") as f:
                    self.assertIn(digest(f.read()), allowed[i], "%s torn in round %d" % (path, round_))
        # A full run finishes the job; temporary files of killed runs are passed over.
        result = run(["set", "-r", "Title=done", self.dir], timeout=120)
        self.assertRan(result)
        for i, path in enumerate(paths):
            with open(path, "rb") as f:
                self.assertEqual(f.read(), content(i, b"done"))
        self.assertTrue(all(r["path"].endswith(".zole") for r in jsonl_records(result.stdout)))


class FileSizeLimitTest(ScratchTestCase):
    def test_a_write_stopped_by_the_size_limit_leaves_the_original(self):
        original = content(1, b"old") * 200  # about 80 KiB
        path = self.write("big.zole", original)

        def limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (16384, 16384))

        result = subprocess.run([BIN, "set", "Title=new", path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                preexec_fn=limit, timeout=60)
        self.assertRan(result, 1)
        record = jsonl_records(result.stdout)[0]
        self.assertEqual(record["status"], "failed")
        self.assertIn("File too large", record["reason"])
        with open(path, "rb") as f:
            self.assertEqual(f.read(), original)
        self.assertEqual(os.listdir(self.dir), ["big.zole"])


if __name__ == "__main__":
    unittest.main()
