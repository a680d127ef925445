"""edit() through the editor: the bytes it writes are the tool's, what it
reports matches the file, dry runs and refusals write nothing, failures carry
errno and filename, and threads editing different files do not meet."""
import concurrent.futures
import errno
import os
import pathlib
import shutil
import subprocess
import unittest

import zolehead
from support import TOOL, TempDirTest, requires_tool, sjis

SONG = sjis("曲名：桜\r\nジャンル：Pop\r\n") + b"*Composer 'Kato'\r\nA t120 cdefg\r\n"
FORM_B_SONG = b"*Title 'Sakura'\n*Genre 'Pop'\nA t120 cdefg\n"


class EditTest(TempDirTest):
    def test_edits_read_back(self):
        # (label, original, edit arguments, the fields read afterwards: keyword -> (text, form))
        cases = [
            ("str value, existing form A entry", SONG, dict(set={"Title": "夏の風"}),
             {"Title": ("夏の風", "A"), "Genre": ("Pop", "A"), "Composer": ("Kato", "B")}),
            ("keyword in any case", SONG, dict(set={"genre": "Rock"}),
             {"Title": ("桜", "A"), "Genre": ("Rock", "A"), "Composer": ("Kato", "B")}),
            ("Japanese label", SONG, dict(set={"作曲": "加藤"}),
             {"Title": ("桜", "A"), "Genre": ("Pop", "A"), "Composer": ("加藤", "B")}),
            ("bytes taken as they are", SONG, dict(set={"Title": sjis("春")}),
             {"Title": ("春", "A"), "Genre": ("Pop", "A"), "Composer": ("Kato", "B")}),
            ("remove", SONG, dict(remove=["Genre", "Composer"]), {"Title": ("桜", "A")}),
            ("a single name to remove", SONG, dict(remove="Composer"),
             {"Title": ("桜", "A"), "Genre": ("Pop", "A")}),
            ("new entry in the file's main form (B)", FORM_B_SONG, dict(set={"Lyricist": "Mori"}),
             {"Title": ("Sakura", "B"), "Genre": ("Pop", "B"), "Lyricist": ("Mori", "B")}),
            ("new entry in form A when asked", FORM_B_SONG, dict(set={"Lyricist": "森"}, form="a"),
             {"Title": ("Sakura", "B"), "Genre": ("Pop", "B"), "Lyricist": ("森", "A")}),
            ("set and remove at once", SONG, dict(set={"Title": "Fuyu"}, remove=["Genre"]),
             {"Title": ("Fuyu", "A"), "Composer": ("Kato", "B")}),
        ]
        for label, original, arguments, expected in cases:
            with self.subTest(label):
                path = self.write(original)
                result = zolehead.edit(path, **arguments)
                self.assertEqual(result.status, "edited")
                self.assertEqual(result.path, path)
                header = zolehead.read(path)
                self.assertEqual({k: (f.text, f.form) for k, f in header.items()}, expected)
                for change in result.fields:
                    self.assertTrue(change.changed)
                    self.assertEqual(change.after, header.get(change.field))
                self.assertTrue(result.lines)
                self.assertIn(b"A t120 cdefg", pathlib.Path(path).read_bytes())  # the music is kept

    def test_report_before_and_after(self):
        path = self.write(SONG)
        result = zolehead.edit(path, set={"Title": "夏"}, remove=["Lyricist"])
        title, lyricist = result.fields
        self.assertEqual(title, zolehead.FieldChange("Title", "set", True, zolehead.Field("桜", sjis("桜"), "A"),
                                                     zolehead.Field("夏", sjis("夏"), "A")))
        self.assertEqual(lyricist, zolehead.FieldChange("Lyricist", "remove", False, None, None))
        self.assertEqual(result.lines, (zolehead.LineChange(1, "曲名：桜", "曲名：夏"),))

    def test_dry_run_and_unchanged_write_nothing(self):
        for label, arguments, status in [
            ("dry run", dict(set={"Title": "夏"}, dry_run=True), "would-edit"),
            ("already so", dict(set={"Title": "桜", "Genre": "Pop"}), "unchanged"),
            ("removing what is absent", dict(remove=["Comment"]), "unchanged"),
        ]:
            with self.subTest(label):
                path = self.write(SONG)
                before = os.stat(path)
                result = zolehead.edit(path, **arguments)
                self.assertEqual(result.status, status)
                self.assertEqual(pathlib.Path(path).read_bytes(), SONG)
                self.assertEqual(os.stat(path).st_ino, before.st_ino)  # not even replaced
                self.assertEqual(os.listdir(self.dir), ["song.zole"])

    def test_backup_keeps_the_original(self):
        path = self.write(SONG)
        first = zolehead.edit(path, set={"Title": "一"}, backup=True)
        second = zolehead.edit(path, set={"Title": "二"}, backup=True)
        self.assertEqual(first.backup_path, path + ".bak")
        self.assertEqual(second.backup_path, path + ".bak.2")
        self.assertEqual(pathlib.Path(first.backup_path).read_bytes(), SONG)
        self.assertEqual(zolehead.read(second.backup_path)["Title"].text, "一")
        self.assertEqual(zolehead.read(path)["Title"].text, "二")

    def test_bytes_path_gives_bytes_back(self):
        path = os.fsencode(self.write(SONG, "曲.zole"))
        result = zolehead.edit(path, set={"Title": "x"}, backup=True)
        self.assertEqual(result.path, path)
        self.assertEqual(result.backup_path, path + b".bak")

    def test_refusals_write_nothing(self):
        nul_file = b"*Title 'a'\n\x00\x01\x02"
        cases = [
            # (label, file bytes, how to prepare the path, edit arguments, problem)
            ("no code page 932 form", SONG, None, dict(set={"Title": "😀"}), "bad-value"),
            ("lone surrogate", SONG, None, dict(set={"Title": "a\udc80"}), "bad-value"),
            ("line break in a value", SONG, None, dict(set={"Title": "a\nb"}), "bad-value"),
            ("bytes with a line break", SONG, None, dict(set={"Title": b"a\r\nb"}), "bad-value"),
            ("value too long", SONG, None, dict(set={"Title": "x" * 200}), "bad-value"),
            ("binary content", nul_file, None, dict(set={"Title": "b"}), "not-zole-text"),
            ("second hard link", SONG, "hardlink", dict(set={"Title": "b"}), "hard-links"),
            ("a directory", None, "directory", dict(set={"Title": "b"}), "not-regular-file"),
            ("inside an archive", None, "archive", dict(set={"Title": "b"}), "inside-archive"),
            ("larger than an editor holds", None, "huge", dict(set={"Title": "b"}), "too-large"),
        ]
        for label, data, prepare, arguments, problem in cases:
            with self.subTest(label):
                shutil.rmtree(self.dir)
                os.mkdir(self.dir)
                path = self.write(data if data is not None else SONG)
                if prepare == "hardlink":
                    os.link(path, path + ".other")
                elif prepare == "directory":
                    path = os.path.join(self.dir, "folder")
                    os.mkdir(path)
                elif prepare == "archive":
                    path = path + "!/inner.zole"
                elif prepare == "huge":
                    os.truncate(path, 17 << 20)
                listing = sorted(os.listdir(self.dir))
                with self.assertRaises(zolehead.EditRefused) as caught:
                    zolehead.edit(path, **arguments)
                error = caught.exception
                self.assertIsInstance(error, OSError)
                self.assertEqual(error.problem, problem)
                self.assertEqual(error.filename, path)
                self.assertTrue(error.strerror)
                self.assertIn(problem, str(error))
                self.assertEqual(sorted(os.listdir(self.dir)), listing)  # no temporary left
                if data is not None and prepare != "huge":
                    self.assertEqual(pathlib.Path(os.path.join(self.dir, "song.zole")).read_bytes(), data)

    def test_failures_carry_errno(self):
        missing = os.path.join(self.dir, "missing.zole")
        with self.assertRaises(zolehead.EditError) as caught:
            zolehead.edit(missing, set={"Title": "x"})
        self.assertNotIsInstance(caught.exception, zolehead.EditRefused)
        self.assertEqual((caught.exception.errno, caught.exception.filename), (errno.ENOENT, missing))
        self.assertEqual(caught.exception.problem, "cannot-open")

    @unittest.skipIf(os.geteuid() == 0, "root writes anywhere")
    def test_read_only_directory_fails_cleanly(self):
        path = self.write(SONG)
        os.chmod(self.dir, 0o555)
        self.addCleanup(os.chmod, self.dir, 0o755)
        with self.assertRaises(zolehead.EditError) as caught:
            zolehead.edit(path, set={"Title": "x"})
        self.assertEqual(caught.exception.errno, errno.EACCES)
        self.assertEqual(pathlib.Path(path).read_bytes(), SONG)

    def test_bad_arguments(self):
        path = self.write(SONG)
        cases = [
            ("unknown field", dict(set={"Tempo": "x"}), ValueError),
            ("field named twice", dict(set={"Title": "x"}, remove=["曲名"]), ValueError),
            ("field named twice in two cases", dict(set={"title": "x", "TITLE": "y"}), ValueError),
            ("nothing to do", dict(), ValueError),
            ("bad form", dict(set={"Title": "x"}, form="C"), ValueError),
            ("value of another type", dict(set={"Title": 3}), TypeError),
            ("name of another type", dict(remove=[3]), TypeError),
        ]
        for label, arguments, error in cases:
            with self.subTest(label):
                with self.assertRaises(error):
                    zolehead.edit(path, **arguments)
                self.assertEqual(pathlib.Path(path).read_bytes(), SONG)

    @requires_tool
    def test_same_bytes_as_the_tool(self):
        cases = [
            ("set in form A", SONG, {"Title": "夏の風"}, "auto"),
            ("set half-width katakana", SONG, {"Comment": "ｶﾗｵｹ"}, "auto"),
            ("add to a form B file", FORM_B_SONG, {"Artist": "Band"}, "auto"),
            ("add in form B to a form A file", SONG, {"Lyricist": "森"}, "b"),
            ("a quote in a form B value", FORM_B_SONG, {"Title": "it's"}, "auto"),
            ("several fields, one added", SONG, {"Title": "冬", "Comment": "c", "Genre": "Jazz"}, "auto"),
        ]
        for label, original, values, form in cases:
            with self.subTest(label):
                ours, tools = self.write(original, "ours.zole"), self.write(original, "tools.zole")
                zolehead.edit(ours, set=values, form=form)
                subprocess.run([TOOL, "set", "--no-progress", "--form", form] +
                               ["%s=%s" % item for item in values.items()] + ["--", tools],
                               check=True, stdout=subprocess.DEVNULL)
                self.assertEqual(pathlib.Path(ours).read_bytes(), pathlib.Path(tools).read_bytes())

    def test_threads_edit_different_files(self):
        paths = [self.write(SONG, "song%02d.zole" % n) for n in range(16)]

        def edit_many(index):
            for round_ in range(5):
                zolehead.edit(paths[index], set={"Title": "曲%d-%d" % (index, round_), "Comment": str(round_)})
            return index

        with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
            self.assertEqual(sorted(pool.map(edit_many, range(len(paths)))), list(range(len(paths))))
        for index, path in enumerate(paths):
            header = zolehead.read(path)
            self.assertEqual((header["Title"].text, header["Comment"].text), ("曲%d-4" % index, "4"))
            self.assertEqual(header["Genre"].text, "Pop")
        self.assertEqual(len(os.listdir(self.dir)), len(paths))  # no temporaries left behind


if __name__ == "__main__":
    unittest.main()
