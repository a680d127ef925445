"""Shared by the zolehead package's tests: scratch directories, Shift_JIS
helpers, generated data files, and the command-line tool to compare with.

CTest sets PYTHONPATH to the build tree's package, ZOLEHEAD_BIN to the built
tool (absent when the tool is not built), ZOLEHEAD_SOURCE_DIR to the clone.
"""
import base64
import json
import os
import random
import shutil
import subprocess
import tempfile
import unittest

SOURCE_DIR = os.environ.get("ZOLEHEAD_SOURCE_DIR",
                            os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".."))
SAMPLES = os.path.join(SOURCE_DIR, "samples")
TOOL = os.environ.get("ZOLEHEAD_BIN")


def sjis(text):
    return text.encode("cp932")


class TempDirTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zolehead-py-")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)

    def write(self, data, name="song.zole"):
        path = os.path.join(self.dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path


def requires_tool(test):
    return unittest.skipUnless(TOOL, "the zolehead tool is not built")(test)


def run_tool(args):
    """The tool's JSON Lines records and its stderr lines."""
    done = subprocess.run([TOOL, "--jsonl", "--no-progress"] + list(args), stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=300)
    if done.returncode not in (0, 1):
        raise AssertionError("zolehead exited %d: %s" % (done.returncode, done.stderr.decode("utf-8", "replace")))
    records = [json.loads(line) for line in done.stdout.decode("utf-8").splitlines()]
    return records, done.stderr.decode("utf-8").splitlines()


def tool_results(args, form="both"):
    """[(path, result)] as the tool reports them, in the package's terms: a
    Header built from the tool's text and its --raw bytes, or the tool's
    error message."""
    import zolehead  # here, so that the pip test can use the rest without a built package

    text, _ = run_tool(["--form", form.lower()] + list(args))
    raw, _ = run_tool(["--form", form.lower(), "--raw"] + list(args))
    results = []
    for shown, as_bytes in zip(text, raw):
        if "error" in shown:
            results.append((shown["path"], shown["error"]))
            continue
        fields = {}
        for keyword, value in shown["fields"].items():
            fields[keyword] = zolehead.Field(value["value"], base64.b64decode(as_bytes["fields"][keyword]["raw"]),
                                             value["form"], value.get("lossy", False))
        results.append((shown["path"], zolehead.Header(fields)))
    return results


# Material for generated data files: labels, keywords, values with the bytes
# that test decoding, trimming and limits.
LABELS = [sjis(label) for label in ("曲名", "ジャンル", "作曲", "作詞", "アーティスト", "コメント", "曲想", "使用音源",
                                    "未知の項目")]
KEYWORDS = [b"Title", b"GENRE", b"composer", b"E-Mail", b"Comment", b"Unknown", b"HomePage"]
VALUES = [
    b"Sakura", sjis("春の風"), sjis("ｶﾗｵｹ"), sjis("①②"), sjis("値　　"), b"trailing   ", b"",
    b"bad lead \x82", b"\x80\xa0\xfd stray", b"\x81\x40start", b"x" * 130, sjis("長") * 70,
    sjis("メ@"), b"quote ' inside", b'"double"', b"nul\x00byte", b"tab\there",
]
LINE_ENDS = [b"\r\n", b"\n", b"\r"]


def generated_file(rng):
    """The bytes of one data file: form A lines and form B keywords mixed,
    with music lines, odd bytes and now and then an end-of-text mark."""
    lines = []
    for _ in range(rng.randint(0, 14)):
        kind = rng.random()
        value = rng.choice(VALUES)
        if kind < 0.4:
            colon = sjis("：") if rng.random() < 0.9 else b":"
            lines.append(rng.choice(LABELS) + colon + value)
        elif kind < 0.75:
            quote = rng.choice([b"'", b'"'])
            lines.append(b"*" + rng.choice(KEYWORDS) + b" " * rng.randint(0, 3) + quote + value + quote)
        elif kind < 0.95:
            lines.append(rng.choice([b"A t120 l8 o4 cdefgab", sjis("; 前奏"), b"B @33 [c8 c c]4", b"* stray star"]))
        else:
            lines.append(b"\x1a")
    return b"".join(line + rng.choice(LINE_ENDS) for line in lines)


def write_generated_tree(directory, count, seed):
    """Writes `count` generated files in a few sub-directories; returns their paths."""
    rng = random.Random(seed)
    paths = []
    for n in range(count):
        path = os.path.join(directory, "set%d" % (n % 4), "song%03d.zole" % n)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(generated_file(rng))
        paths.append(path)
    return sorted(paths)
