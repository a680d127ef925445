"""Tests of the Python module over the shared library.

Run by CTest with PYTHONPATH at bindings/python and ZOLEHEAD_LIBRARY at the
built library; by hand, set the same two variables.
"""

import ctypes.util
import errno
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

import zolehead


def sjis(text):
    return text.encode("cp932")


TITLE_A = sjis("曲名：") + b"Sakura\r\n"
GENRE_B = b"*Genre 'Pop'\r\n"
LIBRARY = os.environ.get("ZOLEHEAD_LIBRARY") or zolehead.library_path()


class TempDirTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zolehead-test-")
        self.addCleanup(shutil.rmtree, self.dir)

    def write(self, data, name="song.zole"):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path


class ReadTest(TempDirTest):
    def test_form_selects_the_reader(self):
        path = self.write(TITLE_A + GENRE_B)
        both = {"Title": (b"Sakura", "A"), "Genre": (b"Pop", "B")}
        cases = [
            ("both", both),
            ("A", {"Title": (b"Sakura", "A")}),
            ("a", {"Title": (b"Sakura", "A")}),
            ("B", {"Genre": (b"Pop", "B")}),
            ("b", {"Genre": (b"Pop", "B")}),
        ]
        for form, expected in cases:
            with self.subTest(form=form):
                self.assertEqual(zolehead.read(path, form), expected)
        self.assertEqual(zolehead.read(path), both)

    def test_library_rules_come_through_unchanged(self):
        cases = [
            ("repeated form A label empties the value",
             sjis("曲名：A\n曲名：B\n"), "both", {"Title": (b"", "A")}),
            ("form A alone keeps the last label", sjis("曲名：A\n曲名：B\n"), "A", {"Title": (b"B", "A")}),
            ("form B wins over an earlier form A", sjis("曲名：A\n*Title 'X'"), "both", {"Title": (b"X", "B")}),
            ("form B wins over a later form A", sjis("*Title 'X'\n曲名：A\n"), "both", {"Title": (b"X", "B")}),
            ("one line feeds both forms", sjis("コメント：*Genre 'Rock'\n"), "both",
             {"Genre": (b"Rock", "B"), "Comment": (b"*Genre 'Rock'", "A")}),
            ("0x1A ends the input", TITLE_A + b"\x1a" + GENRE_B, "both", {"Title": (b"Sakura", "A")}),
            ("empty file", b"", "both", {}),
        ]
        for label, data, form, expected in cases:
            with self.subTest(label):
                self.assertEqual(zolehead.read(self.write(data), form), expected)

    def test_fields_come_in_slot_order_with_named_parts(self):
        data = b"*Comment 'c' *Title 't' *E-Mail 'm' *Genre 'g'"
        fields = zolehead.read(self.write(data))
        self.assertEqual(list(fields), ["Title", "Genre", "E-Mail", "Comment"])
        self.assertEqual(fields["E-Mail"].value, b"m")
        self.assertEqual(fields["E-Mail"].form, "B")

    def test_values_keep_every_byte_up_to_the_limit(self):
        cases = [
            ("shift_jis bytes", sjis("桜の花"), sjis("桜の花")),
            ("exactly 127 bytes", b"x" * 127, b"x" * 127),
            ("cut at 127 bytes", b"y" * 300, b"y" * 127),
            ("a character that would not fit is left out", b"z" * 126 + sjis("桜"), b"z" * 126),
        ]
        for label, value, expected in cases:
            with self.subTest(label):
                fields = zolehead.read(self.write(b"*Title '" + value + b"'"))
                self.assertEqual(fields["Title"].value, expected)

    def test_every_kind_of_path(self):
        path = self.write(TITLE_A, name="曲 one.zole")
        for given in (path, os.fsencode(path), pathlib.Path(path)):
            with self.subTest(type=type(given).__name__):
                self.assertEqual(zolehead.read(given), {"Title": (b"Sakura", "A")})

    def test_bad_arguments_raise_before_reading(self):
        path = self.write(TITLE_A)
        # A NUL would cut the path short and read some other file.
        for given in (path + "\0.other", os.fsencode(path) + b"\0"):
            with self.subTest(path=given), self.assertRaises(ValueError):
                zolehead.read(given)
        for form in ("C", "", "AB", None):
            with self.subTest(form=form), self.assertRaises(ValueError):
                zolehead.read(path, form)
        with self.assertRaises(TypeError):
            zolehead.read(42)


class UnreadableFileTest(TempDirTest):
    def assertReadError(self, path, expected_errno):
        with self.assertRaises(zolehead.ZoleHeadReadError) as caught:
            zolehead.read(path)
        error = caught.exception
        self.assertIsInstance(error, OSError)
        self.assertIsInstance(error, zolehead.ZoleHeadError)
        self.assertEqual(error.errno, expected_errno)
        self.assertEqual(error.filename, os.fspath(path))
        self.assertIn(repr(os.fspath(path)), str(error))
        return error

    def test_missing_file(self):
        self.assertReadError(os.path.join(self.dir, "absent.zole"), errno.ENOENT)
        self.assertReadError(pathlib.Path(self.dir, "absent", "deeper.zole"), errno.ENOENT)

    def test_directory(self):
        self.assertReadError(self.dir, errno.EISDIR)

    def test_fifo_without_writer_fails_at_once(self):
        fifo = os.path.join(self.dir, "pipe")
        os.mkfifo(fifo)
        error = self.assertReadError(fifo, None)
        self.assertIn("not a regular file", str(error))

    @unittest.skipIf(os.name == "posix" and os.geteuid() == 0, "root reads any file")
    def test_no_permission(self):
        path = self.write(TITLE_A)
        os.chmod(path, 0)
        self.assertReadError(path, errno.EACCES)

    def test_failed_read_leaves_nothing_behind(self):
        self.assertTrue(zolehead.read(self.write(TITLE_A)))
        with self.assertRaises(zolehead.ZoleHeadReadError):
            zolehead.read(self.dir)
        self.assertEqual(zolehead.read(self.write(b"no header here", "plain.zole")), {})


class ReadTextTest(TempDirTest):
    def test_values_are_decoded_from_code_page_932(self):
        path = self.write(sjis("曲名：桜\r\nアーティスト：ＺＯＬＥ楽団\r\n") + GENRE_B)
        self.assertEqual(zolehead.read_text(path), {
            "Title": ("桜", "A"), "Genre": ("Pop", "B"), "Artist": ("ＺＯＬＥ楽団", "A")})

    def test_bytes_that_are_not_code_page_932(self):
        # A lead byte with no trail byte: the file's fault, not the reader's.
        path = self.write(b"*Title 'abc\x82'")
        self.assertEqual(zolehead.read(path)["Title"].value, b"abc\x82")
        self.assertEqual(zolehead.read_text(path)["Title"].value, "abc\ufffd")
        self.assertEqual(zolehead.read_text(path, errors="backslashreplace")["Title"].value, "abc\\x82")
        with self.assertRaises(UnicodeDecodeError):
            zolehead.read_text(path, errors="strict")


class LibraryInfoTest(unittest.TestCase):
    def test_version(self):
        self.assertEqual(zolehead.version(), (1, 0, 0, 0))

    def test_identifiers(self):
        table = zolehead.identifiers()
        self.assertEqual(len(table), 16)
        self.assertEqual(table[0], ("Title", "曲名"))
        self.assertEqual(table[9].keyword, "E-Mail")
        self.assertEqual(table[12], ("ZoleVersion", "Ｚｏｌｅバージョン"))
        self.assertEqual(table[15], ("Comment", "コメント"))
        self.assertEqual(len({row.keyword for row in table}), 16)
        self.assertEqual(len({row.label for row in table}), 16)


class ThreadTest(TempDirTest):
    def test_each_thread_sees_its_own_file(self):
        # The library's slots are shared; the module's lock keeps a read and
        # its getters together, so a result never mixes two files.
        files = []
        for n in range(4):
            data = "曲名：Song {0}\n*Genre 'Genre {0}'\n".format(n) + "作曲：x\n" * n
            expected = {"Title": (sjis("Song {}".format(n)), "A"), "Genre": (sjis("Genre {}".format(n)), "B")}
            if n:
                expected["Composer"] = (b"", "A") if n > 1 else (b"x", "A")
            files.append((self.write(sjis(data), "song{}.zole".format(n)), expected))
        wrong = []

        def worker(path, expected):
            for _ in range(300):
                got = zolehead.read(path)
                if got != expected:
                    wrong.append(got)

        threads = [threading.Thread(target=worker, args=entry) for entry in files * 2]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(wrong[:3], [])


class LibraryLoadingTest(TempDirTest):
    """Each case loads the library in a fresh interpreter."""

    PROBE = ("import zolehead\n"
             "try:\n"
             "    print(zolehead.library_path()); print(zolehead.read_text({path!r})['Title'].value)\n"
             "except zolehead.LibraryNotFoundError as e:\n"
             "    assert isinstance(e, OSError); print('LibraryNotFoundError:', e)\n")

    def run_probe(self, module_dir, **env_changes):
        sample = self.write(sjis("曲名：桜\n"), "probe.zole")
        env = dict(os.environ, PYTHONPATH=module_dir, PYTHONIOENCODING="utf-8")
        env.pop("ZOLEHEAD_LIBRARY", None)
        env.update(env_changes)
        done = subprocess.run([sys.executable, "-c", self.PROBE.format(path=sample)], env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, encoding="utf-8",
                              timeout=60)
        self.assertEqual(done.returncode, 0, done.stdout)
        return done.stdout

    def module_copy(self, with_library):
        directory = os.path.join(self.dir, "site")
        os.mkdir(directory)
        shutil.copy(zolehead.__file__, directory)
        if with_library:
            shutil.copy(LIBRARY, os.path.join(directory, "libZoleHead.so.1"))
        return directory

    def library_copy(self):
        directory = os.path.join(self.dir, "lib")
        os.mkdir(directory)
        shutil.copy(LIBRARY, os.path.join(directory, "libZoleHead.so.1"))
        return directory

    def test_the_environment_variable_wins(self):
        module_dir = self.module_copy(with_library=True)
        other = os.path.join(self.library_copy(), "libZoleHead.so.1")
        self.assertEqual(self.run_probe(module_dir, ZOLEHEAD_LIBRARY=other), other + "\n桜\n")

    def test_missing_library_named_by_the_environment(self):
        missing = os.path.join(self.dir, "nowhere", "libZoleHead.so.1")
        # Nothing else is tried, even with a library next to the module.
        out = self.run_probe(self.module_copy(with_library=True), ZOLEHEAD_LIBRARY=missing)
        self.assertTrue(out.startswith("LibraryNotFoundError: ZOLEHEAD_LIBRARY=" + missing), out)

    def test_a_library_that_is_not_zolehead(self):
        libm = ctypes.util.find_library("m")
        if not libm:
            self.skipTest("no libm to stand in")
        out = self.run_probe(os.path.dirname(zolehead.__file__), ZOLEHEAD_LIBRARY=libm)
        self.assertIn("is not a ZoleHead library", out)

    def test_library_next_to_the_module(self):
        module_dir = self.module_copy(with_library=True)
        self.assertEqual(self.run_probe(module_dir), os.path.join(module_dir, "libZoleHead.so.1") + "\n桜\n")

    @unittest.skipUnless(sys.platform.startswith("linux"), "LD_LIBRARY_PATH")
    def test_library_on_the_system_search_path(self):
        out = self.run_probe(self.module_copy(with_library=False), LD_LIBRARY_PATH=self.library_copy())
        self.assertEqual(out, "libZoleHead.so.1\n桜\n")

    def test_no_library_anywhere(self):
        if ctypes.util.find_library("ZoleHead"):
            self.skipTest("a ZoleHead library is installed on this system")
        out = self.run_probe(self.module_copy(with_library=False), LD_LIBRARY_PATH="")
        self.assertTrue(out.startswith("LibraryNotFoundError: the ZoleHead library was not found"), out)
        self.assertIn("ZOLEHEAD_LIBRARY", out)


if __name__ == "__main__":
    unittest.main()
