#!/usr/bin/env python3
"""The catalog server's HTTP interface, endpoint by endpoint, through urllib:
what it answers, and what it refuses (token, Host, Origin, paths leading
out of the served folders, bodies too large or not JSON), and what editing
writes: each answer checked against the file on disk as the tool reads it."""
import base64
import hashlib
import json
import os
import re
import shutil
import socket
import subprocess
import tempfile
import time
import unittest
import zipfile

from make_collection import KEYWORDS, write_collection
from serve_support import BIN, Server

GENERATED = 300
OUTSIDE_TITLE = "SECRET-OUTSIDE"


def sjis(text):
    return text.encode("cp932")


def make_tree(top):
    """col/ (generated), extra/ (special cases) and outside/ (never served) under `top`.
    Returns the generated files' expectations."""
    generated = write_collection(os.path.join(top, "col"), GENERATED)
    extra = os.path.join(top, "extra")
    outside = os.path.join(top, "outside")
    os.makedirs(extra)
    os.makedirs(outside)
    with open(os.path.join(outside, "secret.zole"), "wb") as f:
        f.write(b"*Title '" + OUTSIDE_TITLE.encode() + b"'\n")
    with open(os.path.join(extra, "eof.zole"), "wb") as f:
        f.write(sjis("曲名：雪のひとひら\n作曲：森田\n") + b"\x1a" + sjis("コメント：読まれない\n"))
    with open(os.path.join(extra, "lossy.zole"), "wb") as f:
        f.write(sjis("曲名：") + b"ab\x85\x40cd\n" + sjis("作曲：山田\n"))
    with open(os.fsencode(os.path.join(extra, "sjis-")) + b"\x8b\xc8.zole", "wb") as f:
        f.write(sjis("曲名：名前がShift_JIS\n"))
    os.symlink(os.path.join("..", "outside", "secret.zole"), os.path.join(extra, "link-out.zole"))
    os.symlink(os.path.join("..", "outside"), os.path.join(extra, "outdir"))
    os.mkfifo(os.path.join(extra, "fifo"))
    return generated


def folded(value):
    return value.encode("utf-8").lower()  # bytes.lower() folds ASCII letters only, as the server does


class CatalogTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.top = tempfile.mkdtemp(prefix="zolehead-serve-")
        cls.generated = make_tree(cls.top)
        cls.server = Server(["-r", "col", "extra", "--port", "0", "-j", "2"], cwd=cls.top)
        cls.status = cls.server.wait_for_scan()
        cls.rows = cls.server.all_rows()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.top)

    def row_by_path(self, path):
        return next(r for r in self.rows if r["path"] == path)

    def expected_view(self, terms=(), sort=None, descending=False):
        """The generated files a view shows, as paths, worked out here."""
        items = [("col/" + path, fields) for path, fields in self.generated]
        for term in terms:
            needle = term.encode("utf-8").lower()
            items = [(p, f) for p, f in items
                     if needle in p.encode().lower() or any(needle in folded(v) for v, _ in f.values())]
        if sort is None:
            return [p for p, _ in (reversed(items) if descending else items)]
        key = (lambda item: folded(item[0])) if sort == "path" else (lambda item: folded(item[1].get(sort, ("",))[0]))
        filled = [i for i in items if key(i)]
        empty = [i for i in items if not key(i)]
        return [p for p, _ in sorted(filled, key=key, reverse=descending) + empty]

    def view_paths(self, **query):
        return [r["path"] for r in self.server.all_rows(**query) if r["path"].startswith("col/")]

    # --- /api/status

    def test_status_counts_the_scan(self):
        special = 5  # eof, link-out, lossy, outdir/secret, the Shift_JIS name
        self.assertEqual(self.status["files"], GENERATED + special)
        self.assertEqual(self.status["errors"], 2)  # the two links leading out
        self.assertEqual(self.status["scan"]["skipped"], 1)  # the FIFO
        self.assertEqual([f["keyword"] for f in self.status["fields"]], KEYWORDS)
        self.assertEqual(self.status["fields"][0]["label"], "曲名")
        self.assertTrue(self.status["editable"])

    # --- /api/rows

    def test_every_generated_file_reads_as_written(self):
        for path, fields in self.generated:
            row = self.row_by_path("col/" + path)
            got = {KEYWORDS[i]: (f[0], f[1]) for i, f in enumerate(row["fields"]) if f is not None}
            self.assertEqual(got, fields, path)
            self.assertNotIn("error", row)

    def test_rows_come_in_walk_order_by_default(self):
        expected = ["col/" + p for p, _ in self.generated]
        self.assertEqual([r["path"] for r in self.rows[:GENERATED]], expected)
        self.assertEqual([r["path"] for r in self.rows[GENERATED:]],
                         ["extra/eof.zole", "extra/link-out.zole", "extra/lossy.zole", "extra/outdir/secret.zole",
                          "extra/sjis-\ufffd\ufffd.zole"])

    def test_filters(self):
        cases = [
            ("one Japanese term", "山田太郎", ["山田太郎"]),
            ("ASCII letter case is ignored", "MOONLIGHT", ["moonlight"]),
            ("terms must all match", "山田太郎 ロック", ["山田太郎", "ロック"]),
            ("an ideographic space separates terms", "山田太郎\u3000ロック", ["山田太郎", "ロック"]),
            ("the path matches too", "song-00004", ["song-00004"]),
            ("a value's digits", "1998", ["1998"]),
            ("nothing matches", "zzzz-none", ["zzzz-none"]),
        ]
        for label, text, terms in cases:
            with self.subTest(label):
                expected = self.expected_view(terms)
                if label != "nothing matches":
                    self.assertTrue(expected, "the case must select something")
                self.assertEqual(self.view_paths(filter=text), expected)

    def test_a_filter_does_not_match_across_two_fields(self):
        # Title "… 12" followed by Genre: "12ポップス" spans two values.
        status, _, data = self.server.request("/api/rows", {"filter": "3ポップス"})
        self.assertEqual(status, 200)
        self.assertEqual(data["matched"], 0)

    def test_sorts(self):
        cases = [
            ("title ascending", "Title", False),
            ("title descending", "Title", True),
            ("year, empty last", "ComposedYear", False),
            ("year descending, empty still last", "ComposedYear", True),
            ("keyword in any case", "composer", False),
            ("path descending", "path", True),
        ]
        for label, sort, descending in cases:
            with self.subTest(label):
                key = "Composer" if sort == "composer" else sort
                self.assertEqual(self.view_paths(sort=sort, descending=descending),
                                 self.expected_view(sort=key, descending=descending))

    def test_sort_and_filter_together(self):
        self.assertEqual(self.view_paths(filter="ポップス", sort="Title", descending=True),
                         self.expected_view(["ポップス"], "Title", True))

    def test_windows_of_a_view(self):
        whole = self.server.all_rows(sort="Genre")
        for offset, limit in [(0, 7), (7, 7), (290, 50), (len(whole), 10), (10 ** 6, 5)]:
            with self.subTest(offset=offset, limit=limit):
                status, _, data = self.server.request("/api/rows", {"sort": "Genre", "offset": offset, "limit": limit})
                self.assertEqual(status, 200)
                self.assertEqual(data["rows"], whole[offset:offset + limit])
                self.assertEqual(data["matched"], len(whole))

    def test_special_rows(self):
        link = self.row_by_path("extra/link-out.zole")
        self.assertEqual(link["error"], "not inside the served folders")
        self.assertEqual(link["fields"], [None] * 16)
        self.assertEqual(self.row_by_path("extra/outdir/secret.zole")["error"], "not inside the served folders")
        self.assertNotIn(OUTSIDE_TITLE, json.dumps(self.rows))
        lossy = self.row_by_path("extra/lossy.zole")
        self.assertEqual(lossy["fields"][0], ["ab\ufffdcd", "A", True])
        self.assertEqual(lossy["fields"][2], ["山田", "A"])
        eof = self.row_by_path("extra/eof.zole")
        self.assertIsNone(eof["fields"][15])  # the comment lies after the end mark
        name = self.row_by_path("extra/sjis-\ufffd\ufffd.zole")
        self.assertTrue(name["path_lossy"])
        self.assertEqual(name["fields"][0], ["名前がShift_JIS", "A"])

    # --- /api/file

    def test_detail_of_a_generated_file(self):
        path, fields = self.generated[1]  # CR LF line ends
        status, _, detail = self.server.request("/api/file", {"path": "col/" + path})
        self.assertEqual(status, 200)
        got = {f["keyword"]: (f["value"], f["form"]) for f in detail["fields"] if f["form"]}
        self.assertEqual(got, fields)
        self.assertEqual([f["label"] for f in detail["fields"]][:3], ["曲名", "ジャンル", "作曲"])
        # One header line per field, in order, each marked with its field; then the blank line and music.
        header = [line for line in detail["lines"] if line["fields"]]
        self.assertEqual([line["fields"] for line in header], [[k] for k in KEYWORDS if k in fields])
        self.assertEqual([line["number"] for line in header], list(range(1, len(fields) + 1)))
        self.assertIn(fields["Title"][0], detail["lines"][0]["text"])
        self.assertEqual(detail["line_count"], len(fields) + 4)
        self.assertIsNone(detail["end_mark_line"])

    def test_detail_of_the_special_files(self):
        status, _, eof = self.server.request("/api/file", {"path": "extra/eof.zole"})
        self.assertEqual(status, 200)
        self.assertEqual(eof["end_mark_line"], 3)
        self.assertEqual(eof["line_count"], 2)
        self.assertEqual([line["text"] for line in eof["lines"]], ["曲名：雪のひとひら", "作曲：森田"])
        status, _, lossy = self.server.request("/api/file", {"path": "extra/lossy.zole"})
        self.assertEqual(status, 200)
        self.assertTrue(lossy["fields"][0]["lossy"])
        self.assertTrue(lossy["lines"][0]["lossy"])

    def test_detail_by_row_for_a_name_that_is_not_utf8(self):
        name = self.row_by_path("extra/sjis-\ufffd\ufffd.zole")
        status, _, detail = self.server.request("/api/file", {"row": name["row"], "version": self.status["version"]})
        self.assertEqual(status, 200)
        self.assertEqual(detail["fields"][0]["value"], "名前がShift_JIS")
        self.assertTrue(detail["path_lossy"])
        status, _, data = self.server.request("/api/file", {"row": name["row"], "version": self.status["version"] + 7})
        self.assertEqual(status, 409, data)
        status, _, data = self.server.request("/api/file", {"row": 10 ** 6, "version": self.status["version"]})
        self.assertEqual(status, 404, data)

    def test_paths_are_judged_by_where_they_lead(self):
        os.symlink(os.path.join("..", "outside", "secret.zole"), os.path.join(self.top, "col", "late-link.zole"))
        os.mkdir(os.path.join(self.top, "col", "folder"))
        cases = [
            ("a file inside", "col/" + self.generated[0][0], 200),
            ("an absolute path inside", os.path.join(self.top, "col", self.generated[0][0]), 200),
            ("dot-dot back inside", "col/d0000/../" + self.generated[0][0], 200),
            ("dot-dot out of the folders", "col/../outside/secret.zole", 403),
            ("dot-dot far out", "../../../../../../etc/passwd", 403),
            ("an absolute path outside", "/etc/passwd", 403),
            ("a link to a file outside", "extra/link-out.zole", 403),
            ("a link to a folder outside", "extra/outdir/secret.zole", 403),
            ("a link made after the scan", "col/late-link.zole", 403),
            ("missing, inside", "col/no-such.zole", 404),
            ("missing, outside: no hint that it is missing", "outside/no-such.zole", 403),
            ("missing, behind a link leading out", "extra/outdir/no-such.zole", 403),
            ("a folder inside", "col/folder", 422),
            ("a FIFO inside is judged, never opened", "extra/fifo", 422),
            ("a NUL in the path", "col/\u0000x", 403),
        ]
        for label, path, expected in cases:
            with self.subTest(label):
                status, _, data = self.server.request("/api/file", {"path": path})
                self.assertEqual(status, expected, data)
                if status != 200:
                    self.assertIn("error", data)
                    self.assertNotIn(OUTSIDE_TITLE, json.dumps(data))


class RefusalTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.top = tempfile.mkdtemp(prefix="zolehead-serve-")
        write_collection(os.path.join(cls.top, "col"), 12)
        cls.server = Server(["-r", "col", "--port", "0"], cwd=cls.top)
        cls.server.wait_for_scan()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.top)

    def test_the_page_needs_no_token_and_allows_only_its_own_script(self):
        status, headers, page = self.server.request("/", token=False)
        self.assertEqual(status, 200)
        self.assertTrue(headers["Content-Type"].startswith("text/html"))
        policy = headers["Content-Security-Policy"]
        self.assertIn("default-src 'none'", policy)
        self.assertIn("frame-ancestors 'none'", policy)
        self.assertNotIn("unsafe-inline", policy)
        self.assertNotIn("http", policy)  # no other origin
        for tag, directive in (("script", "script-src"), ("style", "style-src")):
            bodies = re.findall(r"<%s>(.*?)</%s>" % (tag, tag), page, re.S)
            self.assertEqual(len(bodies), 1)
            digest = base64.b64encode(hashlib.sha256(bodies[0].encode("utf-8")).digest()).decode()
            self.assertIn("%s 'sha256-%s'" % (directive, digest), policy)
        self.assertNotIn(self.server.token, page)
        self.assertEqual(headers["X-Frame-Options"], "DENY")
        self.assertEqual(headers["Referrer-Policy"], "no-referrer")

    def test_the_token(self):
        wrong = "0" * len(self.server.token)
        cases = [
            ("no token", "/api/status", None, False, 403),
            ("a wrong token", "/api/status", None, wrong, 403),
            ("the token cut short", "/api/status", None, self.server.token[:-1], 403),
            ("the token in the query only", "/api/status?token=" + self.server.token, None, False, 403),
            ("no token on rows", "/api/rows", {}, False, 403),
            ("no token on a file", "/api/file", {"path": "col/d0000/song-000000.zole"}, False, 403),
            ("no token on rescan", "/api/rescan", {}, False, 403),
            ("no token, no such endpoint: no hint", "/api/nothing", None, False, 403),
            ("the right token", "/api/status", None, True, 200),
        ]
        for label, path, body, token, expected in cases:
            with self.subTest(label):
                status, _, data = self.server.request(path, body, token=token)
                self.assertEqual(status, expected, data)
                if expected == 403:
                    self.assertIn("token", data["error"])

    def test_two_token_headers_are_refused(self):
        import http.client
        connection = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=30)
        connection.putrequest("GET", "/api/status")
        connection.putheader("X-ZoleHead-Token", self.server.token)
        connection.putheader("X-ZoleHead-Token", "0" * 48)
        connection.endheaders()
        self.assertEqual(connection.getresponse().status, 403)
        connection.close()

    def test_the_host_header(self):
        port = self.server.port
        cases = [
            ("a rebound name", "evil.example:%d" % port, 403),
            ("localhost on another port", "localhost:%d" % (port + 1 if port < 65535 else port - 1), 403),
            ("a name that starts like localhost", "localhost.evil.example:%d" % port, 403),
            ("no port", "127.0.0.1", 403),
            ("localhost", "localhost:%d" % port, 200),
            ("LOCALHOST in capitals", "LOCALHOST:%d" % port, 200),
            ("the address", "127.0.0.1:%d" % port, 200),
        ]
        for label, host, expected in cases:
            for path in ("/", "/api/status"):
                with self.subTest(label, path=path):
                    status, _, _ = self.server.request(path, headers={"Host": host})
                    self.assertEqual(status, expected)

    def test_the_origin_header(self):
        port = self.server.port
        cases = [
            ("another site", "http://evil.example", 403),
            ("another local port", "http://127.0.0.1:%d" % (port - 1), 403),
            ("a sandboxed frame", "null", 403),
            ("this server", "http://127.0.0.1:%d" % port, 200),
            ("this server by name", "http://localhost:%d" % port, 200),
        ]
        for label, origin, expected in cases:
            with self.subTest(label):
                status, _, _ = self.server.request("/api/rows", {}, headers={"Origin": origin})
                self.assertEqual(status, expected)

    def test_bodies(self):
        big = b'{"filter": "' + b"x" * (1 << 20) + b'"}'
        cases = [
            ("not JSON", "/api/rows", b"{filter", "application/json", 400, "not valid JSON"),
            ("cut short", "/api/rows", b'{"filter": "a', "application/json", 400, "not valid JSON"),
            ("not UTF-8", "/api/rows", b'{"filter": "\xff"}', "application/json", 400, "not valid JSON"),
            ("an array", "/api/rows", b"[]", "application/json", 400, "object"),
            ("deeply nested", "/api/rows", b"[" * 100000 + b"]" * 100000, "application/json", 400, ""),
            ("an unknown member", "/api/rows", b'{"filtre": "x"}', "application/json", 400, "filtre"),
            ("a wrong type", "/api/rows", b'{"offset": "7"}', "application/json", 400, "offset"),
            ("a negative offset", "/api/rows", b'{"offset": -1}', "application/json", 400, "offset"),
            ("a limit of 0", "/api/rows", b'{"limit": 0}', "application/json", 400, "limit"),
            ("a limit too high", "/api/rows", b'{"limit": 1001}', "application/json", 400, "limit"),
            ("an unknown sort", "/api/rows", b'{"sort": "Titel"}', "application/json", 400, "sort"),
            ("a filter too long", "/api/rows", b'{"filter": "' + b"y" * 1025 + b'"}', "application/json", 400, "filter"),
            ("a file with neither path nor row", "/api/file", b"{}", "application/json", 400, "path"),
            ("a file with both", "/api/file", b'{"path": "a", "row": 1, "version": 1}', "application/json", 400, "path"),
            ("a row without version", "/api/file", b'{"row": 1}', "application/json", 400, "version"),
            ("an empty path", "/api/file", b'{"path": ""}', "application/json", 400, "path"),
            ("rescan with members", "/api/rescan", b'{"now": true}', "application/json", 400, "now"),
            ("not sent as JSON", "/api/rows", b"{}", "text/plain", 415, "application/json"),
            ("a form post", "/api/rows", b"filter=x", "application/x-www-form-urlencoded", 415, "application/json"),
            ("too large", "/api/rows", big, "application/json", 413, "larger"),
        ]
        for label, path, body, kind, expected, words in cases:
            with self.subTest(label):
                status, _, data = self.server.request(path, raw_body=body, headers={"Content-Type": kind})
                self.assertEqual(status, expected, data)
                self.assertIn(words, data["error"])
        # Still answering after all of that.
        self.assertEqual(self.server.request("/api/status")[0], 200)

    def test_methods_and_endpoints(self):
        cases = [
            ("rows by GET", "GET", "/api/rows", 405, "POST"),
            ("status by POST", "POST", "/api/status", 405, "GET, HEAD"),
            ("the page by POST", "POST", "/", 405, "GET, HEAD"),
            ("status by DELETE", "DELETE", "/api/status", 405, "GET, HEAD"),
            ("rescan by PUT", "PUT", "/api/rescan", 405, "POST"),
            ("no such endpoint", "GET", "/api/nothing", 404, None),
            ("a trailing slash", "GET", "/api/status/", 404, None),
            ("status by HEAD", "HEAD", "/api/status", 200, None),
        ]
        for label, method, path, expected, allow in cases:
            with self.subTest(label):
                status, headers, _ = self.server.request(path, method=method,
                                                         raw_body=b"" if method in ("POST", "PUT") else None)
                self.assertEqual(status, expected)
                if allow:
                    self.assertEqual(headers["Allow"], allow)

    def test_answers_carry_no_policy_holes(self):
        _, headers, _ = self.server.request("/api/status")
        self.assertEqual(headers["X-Content-Type-Options"], "nosniff")
        self.assertEqual(headers["Cache-Control"], "no-store")
        self.assertIn("default-src 'none'", headers["Content-Security-Policy"])
        self.assertIsNone(headers.get("Access-Control-Allow-Origin"))


class RescanTest(unittest.TestCase):
    def test_a_rescan_picks_up_what_changed_on_disk(self):
        with tempfile.TemporaryDirectory(prefix="zolehead-serve-") as top:
            col = os.path.join(top, "col")
            generated = write_collection(col, 30)
            with Server(["-r", col, "--port", "0"]) as server:
                first = server.wait_for_scan()
                self.assertEqual(first["files"], 30)
                changed = os.path.join(col, generated[3][0])
                with open(changed, "wb") as f:
                    f.write(sjis("曲名：書き換えた\n"))
                os.remove(os.path.join(col, generated[4][0]))
                with open(os.path.join(col, "d0000", "zz-new.zole"), "wb") as f:
                    f.write(b"*Title 'Brand New'\n")
                status, _, data = server.request("/api/rescan", {})
                self.assertEqual(status, 202, data)
                after = server.wait_for_scan(first["version"] + 1)
                self.assertEqual(after["files"], 30)
                rows = {r["path"]: r for r in server.all_rows()}
                self.assertEqual(rows[changed]["fields"][0], ["書き換えた", "A"])
                self.assertEqual(rows[changed]["fields"][1], None)
                self.assertNotIn(os.path.join(col, generated[4][0]), rows)
                self.assertEqual(rows[os.path.join(col, "d0000", "zz-new.zole")]["fields"][0], ["Brand New", "B"])
                server.wait_for_scan(first["version"] + 1)
                status, _, data = server.request("/api/rescan", method="POST", raw_body=b"")
                self.assertEqual(status, 202, data)  # an empty body will do


def on_disk(path):
    """The file's fields as the tool reads them now: {keyword: [value, form]}."""
    done = subprocess.run([BIN, "--jsonl", path], capture_output=True, timeout=30)
    return {k: [v["value"], v["form"]] for k, v in json.loads(done.stdout)["fields"].items()}


def as_row(fields):
    return [fields.get(k) for k in KEYWORDS]


class EditTest(unittest.TestCase):
    """Edits through /api/edit, in a collection of its own: col/ (generated,
    with a zip archive and a link leading out) and outside/."""

    @classmethod
    def setUpClass(cls):
        cls.top = tempfile.mkdtemp(prefix="zolehead-serve-edit-")
        cls.generated = write_collection(os.path.join(cls.top, "col"), 40)
        outside = os.path.join(cls.top, "outside")
        os.makedirs(outside)
        cls.secret = os.path.join(outside, "secret.zole")
        with open(cls.secret, "wb") as f:
            f.write(b"*Title '" + OUTSIDE_TITLE.encode() + b"'\n")
        os.symlink(os.path.join("..", "outside", "secret.zole"), os.path.join(cls.top, "col", "link-out.zole"))
        with zipfile.ZipFile(os.path.join(cls.top, "col", "pack.zip"), "w") as pack:
            pack.writestr("inner.zole", sjis("曲名：箱の中\n"))
        cls.server = Server(["-r", "-z", "col", "--port", "0"], cwd=cls.top)
        cls.status = cls.server.wait_for_scan()
        cls.rows = {r["path"]: r for r in cls.server.all_rows()}

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.top)

    def path(self, n):
        return "col/" + self.generated[n][0]

    def edit(self, body, expected=200):
        status, _, data = self.server.request("/api/edit", body)
        self.assertEqual(status, expected, data)
        return data

    def assert_row_is_the_file(self, path):
        """The catalog's row for `path` is what the tool reads on disk."""
        row = next(r for r in self.server.all_rows(filter=path) if r["path"] == path)
        self.assertEqual([f[:2] if f else None for f in row["fields"]], as_row(on_disk(os.path.join(self.top, path))))

    def test_a_cell_edit_answers_with_the_file_as_it_reads_after(self):
        path = self.path(0)
        before = on_disk(os.path.join(self.top, path))
        data = self.edit({"items": [{"path": path, "set": {"作曲": "新しい人"}, "remove": ["Title"]}]})
        result, = data["results"]
        self.assertEqual(result["status"], "edited")
        self.assertEqual(result["row"], self.rows[path]["row"])
        after = on_disk(os.path.join(self.top, path))
        self.assertEqual(after["Composer"][0], "新しい人")
        self.assertNotIn("Title", after)
        self.assertEqual({k: v for k, v in after.items() if k not in ("Composer", "Title")},
                         {k: v for k, v in before.items() if k not in ("Composer", "Title")})
        self.assertEqual([f[:2] if f else None for f in result["now"]["fields"]], as_row(after))
        self.assert_row_is_the_file(path)
        # The same again changes nothing on disk.
        stamp = os.stat(os.path.join(self.top, path)).st_mtime_ns
        again = self.edit({"items": [{"path": path, "set": {"Composer": "新しい人"}}]})
        self.assertEqual(again["results"][0]["status"], "unchanged")
        self.assertEqual(os.stat(os.path.join(self.top, path)).st_mtime_ns, stamp)

    def test_one_field_set_on_many_rows(self):
        chosen = [self.path(n) for n in (3, 4, 5, 6)]
        rows = [self.rows[p]["row"] for p in chosen]
        data = self.edit({"version": self.status["version"], "items": [{"rows": rows, "set": {"Genre": "一括"}}]})
        self.assertEqual(data["counts"], {"edited": 4, "unchanged": 0, "refused": 0, "failed": 0})
        self.assertEqual([r["row"] for r in data["results"]], rows)
        for path in chosen:
            self.assertEqual(on_disk(os.path.join(self.top, path))["Genre"][0], "一括")
            self.assert_row_is_the_file(path)
        untouched = self.path(7)
        self.assertNotEqual(on_disk(os.path.join(self.top, untouched))["Genre"][0], "一括")

    def test_refusals_write_nothing_and_say_why(self):
        target = self.path(10)
        cases = [
            ("a character code page 932 lacks", {"path": target, "set": {"Title": "Caf\u00e9"}},
             "refused", "bad-value", "code page 932"),
            ("a line break in a value", {"path": target, "set": {"Title": "two\nlines"}}, "refused", "bad-value", ""),
            ("longer than a field holds", {"path": target, "set": {"Comment": "長" * 100}}, "refused", "bad-value", ""),
            ("a link leading out", {"path": "col/link-out.zole", "set": {"Title": "x"}},
             "refused", "outside-served-folders", "not inside"),
            ("dot-dot out of the folders", {"path": "col/../outside/secret.zole", "set": {"Title": "x"}},
             "refused", "outside-served-folders", "not inside"),
            ("an absolute path outside", {"path": self.secret, "set": {"Title": "x"}},
             "refused", "outside-served-folders", "not inside"),
            ("an entry inside an archive", {"path": "col/pack.zip!/inner.zole", "set": {"Title": "x"}},
             "refused", "inside-archive", "inside an archive"),
            ("a file that is not there", {"path": "col/none.zole", "set": {"Title": "x"}}, "failed", "not-found", ""),
        ]
        with open(self.secret, "rb") as f:
            secret = f.read()
        with open(os.path.join(self.top, target), "rb") as f:
            before = f.read()
        for label, item, status, problem, words in cases:
            with self.subTest(label):
                result, = self.edit({"items": [item]})["results"]
                self.assertEqual((result["status"], result["problem"]), (status, problem), result)
                self.assertIn(words, result["reason"])
                self.assertNotIn(OUTSIDE_TITLE, json.dumps(result))
        with open(os.path.join(self.top, target), "rb") as f:
            self.assertEqual(f.read(), before)
        with open(self.secret, "rb") as f:
            self.assertEqual(f.read(), secret)
        self.assertEqual(sorted(os.listdir(os.path.join(self.top, "col", "d0000"))),
                         sorted(os.path.basename(p) for p, _ in self.generated))  # no temporary file left

    def test_an_archive_entry_is_shown_and_explained(self):
        entry = self.rows["col/pack.zip!/inner.zole"]
        self.assertTrue(entry["archive"])
        self.assertEqual(entry["fields"][0], ["箱の中", "A"])
        status, _, detail = self.server.request("/api/file", {"path": "col/pack.zip!/inner.zole"})
        self.assertEqual(status, 200, detail)
        self.assertTrue(detail["archive"])
        self.assertEqual(detail["lines"][0]["text"], "曲名：箱の中")
        self.assertEqual(detail["explain"]["fields"][0]["entries"][0]["value"], "箱の中")

    def test_the_detail_tells_the_story_and_the_warnings(self):
        path = "col/d0000/zz-twice.zole"
        with open(os.path.join(self.top, path), "wb") as f:
            f.write(sjis("曲名：一つ目\n曲名：二つ目\n"))
        status, _, detail = self.server.request("/api/file", {"path": path})
        self.assertEqual(status, 200, detail)
        title = detail["explain"]["fields"][0]
        self.assertEqual([(e["line"], e["value"]) for e in title["entries"]], [(1, "一つ目"), (2, "二つ目")])
        self.assertEqual([(w["line"], w["code"]) for w in detail["lint"]["warnings"]], [(2, "repeated-label")])
        self.assertEqual((detail["fields"][0]["value"], detail["fields"][0]["form"]), ("", "A"))  # emptied
        os.remove(os.path.join(self.top, path))

    def test_requests_the_edit_endpoint_refuses(self):
        version = self.status["version"]
        title = {"set": {"Title": "x"}}
        cases = [
            ("no items", {}, 400, "items"),
            ("empty items", {"items": []}, 400, "items"),
            ("no change", {"items": [{"path": self.path(1)}]}, 400, "set"),
            ("an unknown field", {"items": [{"path": self.path(1), "set": {"Titel": "x"}}]}, 400, "Titel"),
            ("a field named twice", {"items": [{"path": self.path(1), "set": {"Title": "x"}, "remove": ["曲名"]}]},
             400, "twice"),
            ("a value that is not text", {"items": [{"path": self.path(1), "set": {"Title": 7}}]}, 400, "string"),
            ("an unknown form", {"items": [dict(title, path=self.path(1), form="C")]}, 400, "form"),
            ("both a path and rows", {"version": version, "items": [dict(title, path=self.path(1), rows=[1])]},
             400, "one of"),
            ("rows without a version", {"items": [dict(title, rows=[1])]}, 400, "version"),
            ("a negative row", {"version": version, "items": [dict(title, rows=[-1])]}, 400, "rows"),
            ("too many files", {"version": version, "items": [dict(title, rows=list(range(1001)))]}, 400, "1000"),
            ("a value far too long", {"items": [{"path": self.path(1), "set": {"Title": "x" * 5000}}]}, 400, "longer"),
            ("an unknown member", {"items": [dict(title, path=self.path(1))], "dry": True}, 400, "dry"),
            ("rows of another catalog", {"version": version + 5, "items": [dict(title, rows=[1])]}, 409, "scanned"),
            ("a row past the end", {"version": version, "items": [dict(title, rows=[10 ** 6])]}, 404, "row"),
        ]
        with open(os.path.join(self.top, self.path(1)), "rb") as f:
            before = f.read()
        for label, body, expected, words in cases:
            with self.subTest(label):
                status, _, data = self.server.request("/api/edit", body)
                self.assertEqual(status, expected, data)
                self.assertIn(words, data["error"])
        with open(os.path.join(self.top, self.path(1)), "rb") as f:
            self.assertEqual(f.read(), before)

    def test_an_edit_needs_the_token_and_this_site(self):
        body = {"items": [{"path": self.path(2), "set": {"Title": "forged"}}]}
        cases = [
            ("no token", dict(token=False), 403),
            ("a wrong token", dict(token="0" * len(self.server.token)), 403),
            ("another site", dict(headers={"Origin": "http://evil.example"}), 403),
            ("a rebound name", dict(headers={"Host": "evil.example:%d" % self.server.port}), 403),
            ("a form post", dict(headers={"Content-Type": "text/plain"}), 415),
        ]
        for label, options, expected in cases:
            with self.subTest(label):
                status, _, _ = self.server.request("/api/edit", body, **options)
                self.assertEqual(status, expected)
        self.assertNotEqual(on_disk(os.path.join(self.top, self.path(2)))["Title"][0], "forged")


class ReadOnlyTest(unittest.TestCase):
    def test_read_only_refuses_every_edit(self):
        with tempfile.TemporaryDirectory(prefix="zolehead-serve-") as top:
            generated = write_collection(os.path.join(top, "col"), 5)
            target = os.path.join(top, "col", generated[0][0])
            with open(target, "rb") as f:
                before = f.read()
            with Server(["-r", "col", "--port", "0", "--read-only"], cwd=top) as server:
                status = server.wait_for_scan()
                self.assertFalse(status["editable"])
                cases = [
                    ("by path", {"items": [{"path": "col/" + generated[0][0], "set": {"Title": "x"}}]}),
                    ("by rows", {"version": status["version"], "items": [{"rows": [0, 1], "remove": ["Title"]}]}),
                    ("a malformed body too", {"items": "x"}),
                ]
                for label, body in cases:
                    with self.subTest(label):
                        code, _, data = server.request("/api/edit", body)
                        self.assertEqual(code, 403, data)
                        self.assertIn("read-only", data["error"])
                # Reading is unaffected.
                self.assertEqual(server.request("/api/file", {"path": "col/" + generated[0][0]})[0], 200)
            with open(target, "rb") as f:
                self.assertEqual(f.read(), before)


class CommandLineTest(unittest.TestCase):
    def test_a_taken_port_gives_another(self):
        with tempfile.TemporaryDirectory(prefix="zolehead-serve-") as top:
            write_collection(os.path.join(top, "col"), 3)
            holder = socket.socket()
            holder.bind(("127.0.0.1", 0))
            holder.listen(1)
            taken = holder.getsockname()[1]
            try:
                with Server(["-r", os.path.join(top, "col"), "--port", str(taken)]) as server:
                    self.assertNotEqual(server.port, taken)
                    self.assertTrue(server.url.startswith("http://127.0.0.1:%d/?token=" % server.port))
                    self.assertEqual(server.request("/api/status")[0], 200)
            finally:
                holder.close()

    def test_options_that_cannot_be_served(self):
        with tempfile.TemporaryDirectory(prefix="zolehead-serve-") as top:
            cases = [
                ("a folder without -r", [top], "-r"),
                ("a missing root", ["-r", os.path.join(top, "missing")], "No such file"),
                ("the wildcard address", ["-r", top, "--listen", "0.0.0.0"], "0.0.0.0"),
                ("the IPv6 wildcard", ["-r", top, "--listen", "::"], "::"),
                ("a name, not an address", ["-r", top, "--listen", "localhost"], "numeric"),
                ("a port out of range", ["-r", top, "--port", "70000"], "70000"),
            ]
            for label, args, words in cases:
                with self.subTest(label):
                    done = subprocess.run([BIN, "serve"] + args, capture_output=True, timeout=30)
                    self.assertEqual(done.returncode, 2)
                    self.assertEqual(done.stdout, b"")
                    self.assertIn(words, done.stderr.decode())

    def test_a_signal_stops_it_cleanly(self):
        with tempfile.TemporaryDirectory(prefix="zolehead-serve-") as top:
            write_collection(os.path.join(top, "col"), 3)
            server = Server(["-r", os.path.join(top, "col"), "--port", "0"])
            server.wait_for_scan()
            server.process.terminate()
            self.assertEqual(server.process.wait(timeout=20), 0)
            server.stop()

    def test_without_its_server_module_the_tool_says_so(self):
        # The tool loads the server from beside itself in a build tree: a copy
        # alone, or beside a file that is no module, cannot serve and says why.
        with tempfile.TemporaryDirectory(prefix="zolehead-serve-") as top:
            tool = os.path.join(top, "zolehead")
            shutil.copy2(shutil.which(BIN) or BIN, tool)
            write_collection(os.path.join(top, "col"), 1)
            module = os.path.join(top, "zolehead-serve.so")
            for label, module_bytes, words in [("no module", None, "No such file"),
                                               ("not a module", b"not an ELF file", "zolehead-serve.so")]:
                with self.subTest(label):
                    if module_bytes is not None:
                        with open(module, "wb") as f:
                            f.write(module_bytes)
                    done = subprocess.run([tool, "serve", "-r", os.path.join(top, "col"), "--port", "0"],
                                          capture_output=True, timeout=30)
                    self.assertEqual(done.returncode, 1)
                    self.assertEqual(done.stdout, b"")
                    message = done.stderr.decode()
                    self.assertIn("cannot load the catalog server", message)
                    self.assertIn(module, message)
                    self.assertIn(words, message)

    def test_every_option_of_serve_help_is_in_the_man_page(self):
        help_text = subprocess.run([BIN, "serve", "--help"], capture_output=True, timeout=30).stdout.decode()
        options = set(re.findall(r"(?<![\w-])(--[a-z][a-z-]*|-[a-zA-Z])\b", help_text))
        self.assertIn("--listen", options)
        with open(os.environ["ZOLEHEAD_MAN_PAGE"], encoding="utf-8") as f:
            page = f.read().replace("\\-", "-")
        missing = sorted(o for o in options if not re.search(r"\.(?:B|BR|BI|TP)\b[^\n]*%s\b" % re.escape(o), page))
        self.assertEqual(missing, [])
        self.assertIn("serve", subprocess.run([BIN, "--help"], capture_output=True, timeout=30).stdout.decode())


if __name__ == "__main__":
    unittest.main()
