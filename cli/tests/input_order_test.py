#!/usr/bin/env python3
"""Records come out in input order whatever the number of reading threads,
and each record belongs to its own file."""
import csv
import io
import os
import random
import unittest

from cli_support import ScratchTestCase, jsonl_records, run, zole_line

FILE_COUNT = 600  # more than the tool keeps in flight, so its window wraps round
BIG_EVERY = 50    # a large file now and then finishes long after its neighbours


class InputOrderTest(ScratchTestCase):
    def setUp(self):
        super().setUp()
        rng = random.Random(4)
        self.titles = {}
        filler = b"A t120 l8 o4 cdefgab>c<bagfedc\n" * (1024 * 1024 // 32)
        for i in range(FILE_COUNT):
            title = "曲%04d" % i
            body = filler if i % BIG_EVERY == 0 else b"A cde\n" * rng.randint(0, 50)
            path = self.write("d%d/song%04d.zole" % (i % 3, i), zole_line("曲名", title) + body)
            self.titles[path] = title
        self.shuffled = list(self.titles)
        rng.shuffle(self.shuffled)

    def check(self, records_paths, records_titles, expected_paths):
        self.assertEqual(records_paths, expected_paths)
        self.assertEqual(records_titles, [self.titles[p] for p in expected_paths])

    def test_named_files_keep_their_order(self):
        for jobs in ("1", "2", "4", "16"):
            with self.subTest(jobs=jobs):
                result = run(["-j", jobs] + self.shuffled)
                self.assertRan(result)
                records = jsonl_records(result.stdout)
                self.check([r["path"] for r in records], [r["fields"]["Title"]["value"] for r in records],
                           self.shuffled)

    def test_a_walk_is_sorted_by_name_within_each_directory(self):
        result = run(["-j", "4", "--csv", "-r", self.dir])
        self.assertRan(result)
        rows = list(csv.reader(io.StringIO(result.stdout.decode("utf-8"), newline="")))[1:]
        expected = sorted(self.titles, key=lambda p: (os.path.dirname(p), os.path.basename(p)))
        self.check([r[0] for r in rows], [r[2] for r in rows], expected)


if __name__ == "__main__":
    unittest.main()
