"""read() and read_bytes(): the core's rules through Python, the Header and
Field values, arguments and errors."""
import errno
import os
import pathlib
import pickle
import unittest

import zolehead
from support import TempDirTest, sjis
from zolehead import Field, Header

TITLE_A = sjis("曲名：") + b"Sakura\r\n"
GENRE_B = b"*Genre 'Pop'\r\n"


def f(text, form, raw=None, lossy=False):
    return Field(text, sjis(text) if raw is None else raw, form, lossy)


class ReadTest(TempDirTest):
    def assertReadsAs(self, data, form, expected):
        """read() of a file holding `data` and read_bytes() of `data` both give `expected`."""
        self.assertEqual(zolehead.read(self.write(data), form), expected)
        self.assertEqual(zolehead.read_bytes(data, form), expected)

    def test_form_selects_the_reader(self):
        both = {"Title": f("Sakura", "A"), "Genre": f("Pop", "B")}
        cases = [
            ("both", both), ("BOTH", both),
            ("A", {"Title": f("Sakura", "A")}), ("a", {"Title": f("Sakura", "A")}),
            ("B", {"Genre": f("Pop", "B")}), ("b", {"Genre": f("Pop", "B")}),
        ]
        for form, expected in cases:
            with self.subTest(form=form):
                self.assertReadsAs(TITLE_A + GENRE_B, form, expected)
        self.assertEqual(zolehead.read(self.write(TITLE_A + GENRE_B)), both)

    def test_core_rules_come_through_unchanged(self):
        cases = [
            ("repeated form A label empties the value", sjis("曲名：A\n曲名：B\n"), "both", {"Title": f("", "A")}),
            ("form A alone keeps the last label", sjis("曲名：A\n曲名：B\n"), "A", {"Title": f("B", "A")}),
            ("form B wins over an earlier form A", sjis("曲名：A\n*Title 'X'"), "both", {"Title": f("X", "B")}),
            ("form B wins over a later form A", sjis("*Title 'X'\n曲名：A\n"), "both", {"Title": f("X", "B")}),
            ("one line feeds both forms", sjis("コメント：*Genre 'Rock'\n"), "both",
             {"Genre": f("Rock", "B"), "Comment": f("*Genre 'Rock'", "A")}),
            ("0x1A ends the input", TITLE_A + b"\x1a" + GENRE_B, "both", {"Title": f("Sakura", "A")}),
            ("full-width spaces trimmed from form A", sjis("曲名：桜　　\n"), "A", {"Title": f("桜", "A")}),
            ("empty input", b"", "both", {}),
        ]
        for label, data, form, expected in cases:
            with self.subTest(label):
                self.assertReadsAs(data, form, expected)

    def test_values_keep_their_bytes_up_to_the_limit(self):
        cases = [
            ("shift_jis bytes", sjis("桜の花"), sjis("桜の花")),
            ("exactly 127 bytes", b"x" * 127, b"x" * 127),
            ("cut at 127 bytes", b"y" * 300, b"y" * 127),
            ("a character that would not fit is left out", b"z" * 126 + sjis("桜"), b"z" * 126),
        ]
        for label, value, expected in cases:
            with self.subTest(label):
                field = zolehead.read_bytes(b"*Title '" + value + b"'")["Title"]
                self.assertEqual(field.raw, expected)
                self.assertEqual(field.text, expected.decode("cp932"))

    def test_text_is_decoded_from_code_page_932(self):
        cases = [
            ("ascii", b"Pop", "Pop", False),
            ("double-byte", sjis("ＺＯＬＥ楽団"), "ＺＯＬＥ楽団", False),
            ("code page 932 only", sjis("①"), "①", False),
            ("half-width katakana", sjis("ｶﾗｵｹ"), "ｶﾗｵｹ", False),
            ("a lead byte without its trail byte", b"abc\x82", "abc\ufffd", True),
            ("a stray byte counts once", b"\x80x", "\ufffdx", True),
        ]
        for label, value, text, lossy in cases:
            with self.subTest(label):
                field = zolehead.read_bytes(b"*Title '" + value + b"'")["Title"]
                self.assertEqual((field.text, field.raw, field.lossy), (text, value, lossy))

    def test_every_kind_of_path(self):
        path = self.write(TITLE_A, name="曲 one.zole")
        for given in (path, os.fsencode(path), pathlib.Path(path)):
            with self.subTest(type=type(given).__name__):
                self.assertEqual(zolehead.read(given), {"Title": f("Sakura", "A")})

    def test_every_kind_of_buffer(self):
        data = TITLE_A + GENRE_B
        expected = zolehead.read_bytes(data)
        for given in (bytearray(data), memoryview(data), memoryview(b"xx" + data)[2:]):
            with self.subTest(type=type(given).__name__):
                self.assertEqual(zolehead.read_bytes(given), expected)

    def test_bad_arguments_raise_before_reading(self):
        path = self.write(TITLE_A)
        cases = [
            ("a NUL would cut the path short", lambda: zolehead.read(path + "\0.other"), ValueError),
            ("a NUL in a bytes path", lambda: zolehead.read(os.fsencode(path) + b"\0"), ValueError),
            ("not a path", lambda: zolehead.read(42), TypeError),
            ("text is not bytes", lambda: zolehead.read_bytes("*Title 'x'"), TypeError),
            ("not contiguous", lambda: zolehead.read_bytes(memoryview(b"abcd")[::2]), BufferError),
        ] + [("form %r" % (form,), lambda form=form: zolehead.read(path, form), ValueError)
             for form in ("C", "", "AB", None, 1)]
        for label, call, error in cases:
            with self.subTest(label), self.assertRaises(error):
                call()


class UnreadableFileTest(TempDirTest):
    def assertReadError(self, path, expected_errno, reason):
        with self.assertRaises(zolehead.ZoleHeadReadError) as caught:
            zolehead.read(path)
        error = caught.exception
        self.assertIsInstance(error, OSError)
        self.assertIsInstance(error, zolehead.ZoleHeadError)
        self.assertEqual(error.errno, expected_errno)
        self.assertEqual(error.filename, os.fspath(path))
        self.assertEqual(error.strerror, reason)
        self.assertEqual(str(error), "cannot read %r: %s" % (os.fspath(path), reason))

    def test_files_that_cannot_be_read(self):
        fifo = os.path.join(self.dir, "pipe")
        os.mkfifo(fifo)
        cases = [
            ("missing file", os.path.join(self.dir, "absent.zole"), errno.ENOENT),
            ("missing directory on the way", pathlib.Path(self.dir, "absent", "deeper.zole"), errno.ENOENT),
            ("bytes path keeps its type", os.fsencode(os.path.join(self.dir, "absent")), errno.ENOENT),
            ("a file as a directory", os.path.join(self.write(TITLE_A), "x"), errno.ENOTDIR),
            ("directory", self.dir, errno.EISDIR),
            ("FIFO without a writer fails at once", fifo, None),
        ]
        for label, path, code in cases:
            with self.subTest(label):
                self.assertReadError(path, code, os.strerror(code) if code else "not a regular file")

    @unittest.skipIf(os.geteuid() == 0, "root reads any file")
    def test_no_permission(self):
        path = self.write(TITLE_A)
        os.chmod(path, 0)
        self.assertReadError(path, errno.EACCES, os.strerror(errno.EACCES))

    def test_a_failed_read_leaves_nothing_behind(self):
        self.assertTrue(zolehead.read(self.write(TITLE_A)))
        with self.assertRaises(zolehead.ZoleHeadReadError):
            zolehead.read(self.dir)
        self.assertEqual(zolehead.read(self.write(b"no header here", "plain.zole")), {})


class HeaderValueTest(unittest.TestCase):
    HEADER = zolehead.read_bytes(sjis("*Comment 'c' *Title '桜' *E-Mail 'm'\n曲想：") + b"\x80x\n")

    def test_a_read_only_mapping_in_table_order(self):
        header = self.HEADER
        self.assertEqual(list(header), ["Title", "E-Mail", "Impression", "Comment"])
        self.assertEqual(len(header), 4)
        self.assertEqual(header["Title"], Field("桜", sjis("桜"), "B", False))
        self.assertEqual(header.get("Genre"), None)
        self.assertNotIn("Genre", header)
        with self.assertRaises(KeyError):
            header["Genre"]
        with self.assertRaises(TypeError):
            header["Title"] = header["Comment"]
        with self.assertRaises(AttributeError):
            header._fields = {}
        with self.assertRaises(AttributeError):
            header["Title"].text = "x"

    def test_equality(self):
        header = self.HEADER
        same = {"Title": Field("桜", sjis("桜"), "B"), "E-Mail": Field("m", b"m", "B"),
                "Impression": Field("\ufffdx", b"\x80x", "A", True), "Comment": Field("c", b"c", "B")}
        cases = [
            ("a dict with the same items", same, True),
            ("a Header of them", Header(same), True),
            ("another value", dict(same, Comment=Field("d", b"d", "B")), False),
            ("one field fewer", {k: v for k, v in same.items() if k != "Comment"}, False),
            ("not a mapping", list(same.items()), False),
        ]
        for label, other, equal in cases:
            with self.subTest(label):
                self.assertEqual(header == other, equal)
                self.assertEqual(header != other, not equal)

    def test_repr_shows_text_and_form(self):
        self.assertEqual(repr(self.HEADER), "<Header Title='桜' (B), E-Mail='m' (B), "
                                            "Impression='\ufffdx' (A, lossy), Comment='c' (B)>")
        self.assertEqual(repr(Header()), "<Header (no fields)>")
        self.assertEqual(repr(self.HEADER["Impression"]), "Field('\ufffdx', b'\\x80x', 'A', lossy=True)")
        self.assertEqual(eval(repr(self.HEADER["Title"]), {"Field": Field}), self.HEADER["Title"])

    def test_values_pickle(self):
        error = zolehead.ZoleHeadReadError(errno.ENOENT, "No such file or directory", "x.zole")
        for value in (self.HEADER, Header(), self.HEADER["Title"], error):
            with self.subTest(type(value).__name__):
                copy = pickle.loads(pickle.dumps(value))
                self.assertIs(type(copy), type(value))
                if isinstance(value, Exception):
                    self.assertEqual((copy.errno, copy.strerror, copy.filename, str(copy)),
                                     (value.errno, value.strerror, value.filename, str(value)))
                else:
                    self.assertEqual(copy, value)


class TableTest(unittest.TestCase):
    def test_version(self):
        self.assertEqual(zolehead.version(), (1, 0, 0, 0))
        self.assertEqual(zolehead.__version__, "1.0.0")

    def test_identifiers(self):
        table = zolehead.identifiers()
        self.assertEqual(len(table), 16)
        self.assertEqual(table[0], ("Title", "曲名"))
        self.assertEqual(table[9].keyword, "E-Mail")
        self.assertEqual(table[12], ("ZoleVersion", "Ｚｏｌｅバージョン"))
        self.assertEqual(table[15], ("Comment", "コメント"))
        self.assertEqual(len({row.keyword for row in table}), 16)
        self.assertEqual(len({row.label for row in table}), 16)


if __name__ == "__main__":
    unittest.main()
