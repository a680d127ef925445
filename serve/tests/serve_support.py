"""Shared helpers for the catalog server's tests: starting `zolehead serve`
on a free port, reading its address and token, and talking to it with
urllib (standard library only)."""
import json
import os
import subprocess
import time
import urllib.error
import urllib.parse
import urllib.request

BIN = os.environ.get("ZOLEHEAD_BIN", "zolehead")
SAMPLES = os.environ.get("ZOLEHEAD_SAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "samples"))


class Server:
    """A running `zolehead serve ARGS`; use as a context manager."""

    def __init__(self, args, timeout=60, cwd=None):
        self.process = subprocess.Popen([BIN, "serve"] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        cwd=cwd)
        line = self.process.stdout.readline().decode("ascii").strip()
        if not line:
            self.process.wait(timeout=10)
            raise RuntimeError("zolehead serve printed no address: " + self.process.stderr.read().decode())
        self.url = line
        parsed = urllib.parse.urlsplit(line)
        self.base = "%s://%s" % (parsed.scheme, parsed.netloc)
        self.host = parsed.netloc
        self.port = parsed.port
        self.token = urllib.parse.parse_qs(parsed.query)["token"][0]
        self.timeout = timeout

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()

    def request(self, path, body=None, token=True, headers=None, method=None, raw_body=None):
        """Returns (status, headers, parsed JSON or text). A dict `body` is sent as JSON."""
        sent = dict(headers or {})
        if token is True:
            sent.setdefault("X-ZoleHead-Token", self.token)
        elif token:
            sent["X-ZoleHead-Token"] = token
        data = raw_body
        if body is not None:
            data = json.dumps(body).encode("utf-8")
            sent.setdefault("Content-Type", "application/json")
        request = urllib.request.Request(self.base + path, data=data, headers=sent,
                                         method=method or ("POST" if data is not None else "GET"))
        try:
            with urllib.request.urlopen(request, timeout=self.timeout) as response:
                status, got, payload = response.status, response.headers, response.read()
        except urllib.error.HTTPError as error:
            status, got, payload = error.code, error.headers, error.read()
        kind = got.get("Content-Type", "")
        if kind.startswith("application/json") and payload:
            return status, got, json.loads(payload.decode("utf-8"))
        return status, got, payload.decode("utf-8", "replace")

    def wait_for_scan(self, version=1, timeout=120):
        """Waits until the catalog has reached `version` and no scan runs; returns the status."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            status, _, data = self.request("/api/status")
            if status == 200 and data["version"] >= version and not data["scan"]["running"]:
                return data
            time.sleep(0.05)
        raise AssertionError("the scan did not end within %s s" % timeout)

    def all_rows(self, **query):
        """Every row of a view, in view order."""
        rows, offset = [], 0
        while True:
            status, _, data = self.request("/api/rows", dict(query, offset=offset, limit=1000))
            assert status == 200, data
            rows += data["rows"]
            offset += len(data["rows"])
            if offset >= data["matched"] or not data["rows"]:
                return rows
