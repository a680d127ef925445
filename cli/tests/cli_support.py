"""Shared helpers for the zolehead command-line tests: running the built tool,
scratch directories, and what the bundled samples hold."""
import json
import os
import shutil
import subprocess
import tempfile
import unittest

BIN = os.environ.get("ZOLEHEAD_BIN", "zolehead")
SAMPLES = os.environ.get("ZOLEHEAD_SAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "samples"))
MAN_PAGE = os.environ.get("ZOLEHEAD_MAN_PAGE", os.path.join(os.path.dirname(__file__), "..", "zolehead.1"))

KEYWORDS = ["Title", "Genre", "Composer", "Lyricist", "Arranger", "Artist", "ComposedYear", "ZoledBy",
            "DataDate", "E-Mail", "HomePage", "DataVersion", "ZoleVersion", "MidiDevice", "Impression", "Comment"]

# What the combined reader finds in each sample: keyword -> (value, form).
# Written out by hand from the sample texts, not from the tool.
EXPECTED = {
    "haru-no-kaze.zole": {
        "Title": ("春の風", "A"),  # trailing full-width spaces trimmed
        "Genre": ("ポップス", "A"),
        "Composer": ("山田太郎", "A"),
        "Lyricist": ("佐藤花子", "A"),
        "Arranger": ("山田太郎", "A"),
        "Artist": ("春風バンド", "A"),
        "ComposedYear": ("1998", "A"),
        "ZoledBy": ("鈴木一郎", "A"),
        "DataDate": ("2003/04/01", "A"),
        "E-Mail": ("ichiro@example.jp", "A"),
        "HomePage": ("http://www.example.jp/~ichiro/", "A"),
        "DataVersion": ("1.02", "A"),
        "ZoleVersion": ("3.10", "A"),
        "MidiDevice": ("SC-88Pro", "A"),
        "Impression": ("①静かに始まり ②サビで盛り上がる", "A"),  # ① exists in code page 932 only
        "Comment": ("初めての打ち込み作品です。ｶﾗｵｹ用にどうぞ。", "A"),  # half-width katakana
    },
    "mori-no-waltz.zole": {
        "Title": ("森のワルツ", "B"),
        "Genre": ("クラシック", "B"),
        "Composer": ("高橋美咲", "B"),
        "Arranger": ("Misaki Takahashi", "B"),
        "ComposedYear": ("2001", "B"),
        "ZoledBy": ("高橋美咲", "B"),
        "DataDate": ("2002.11.23", "B"),
        "E-Mail": ("misaki@example.com", "B"),
        "ZoleVersion": ("3.05", "B"),
        "MidiDevice": ("MU2000", "B"),
        "Comment": ("Don't forget the D.C. -- 木漏れ日の中で踊る三拍子", "B"),  # two lines joined
    },
    "oddity-eof-mark.zole": {
        "Title": ("雪のひとひら", "A"),
        "Composer": ("森田", "A"),
        "Comment": ("この下は読まれません", "A"),
    },
    "oddity-repeated-title.zole": {
        "Title": ("", "A"),  # a repeated label empties the field
        "Composer": ("ドイツ民謡", "A"),
        "Arranger": ("小林", "A"),
        "DataDate": ("2005/06/15", "A"),
    },
    "yoru-no-umi.zole": {
        "Title": ("Yoru no Umi (2004 remix)", "B"),
        "Genre": ("アンビエント", "A"),
        "Composer": ("中村健", "A"),
        "MidiDevice": ("GS音源", "A"),
        "Impression": ("静かな夜の海", "B"),
        "Comment": ("ヘッドホン推奨", "A"),
    },
}

SAMPLE_NAMES = sorted(EXPECTED)


def sample_paths():
    return [os.path.join(SAMPLES, name) for name in SAMPLE_NAMES]


def run(args, timeout=60, **kwargs):
    """Runs the tool; returns the CompletedProcess with bytes output."""
    return subprocess.run([BIN] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, timeout=timeout, **kwargs)


def jsonl_records(stdout):
    return [json.loads(line) for line in stdout.decode("utf-8").splitlines()]


def fields_of(record):
    """keyword -> (value, form) of a JSON record."""
    return {k: (v["value"], v["form"]) for k, v in record["fields"].items()}


def zole_line(label, value):
    """A form A line in code page 932."""
    return (label + "：" + value + "\r\n").encode("cp932")


class ScratchTestCase(unittest.TestCase):
    """A test case with a fresh directory, removed afterwards."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zolehead-cli-")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)

    def write(self, relative, data):
        path = os.path.join(self.dir, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def assertRan(self, result, status=0):
        self.assertEqual(result.returncode, status,
                         "exit %d, stderr: %s" % (result.returncode, result.stderr.decode("utf-8", "replace")))
