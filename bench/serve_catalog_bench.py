#!/usr/bin/python3
"""The catalog page at scale, measured in the browser with performance.now():
`zolehead serve` over a generated collection (100,000 files by default), the
page in headless Chromium.

    bench/serve_catalog_bench.py [--files N] [--tree DIR] [--bin build/cli/zolehead] [--rounds 3]

Reports, each as the median (and worst) of its rounds:
  - scan: the server's own scan time, and its memory once the catalog is built;
  - usable after the scan: from the moment a rescan ends (the server's clock,
    reported in /api/status) to the first complete drawing of the new rows
    in the page (the browser's clock; both are this machine's clock);
  - cold load: navigation start to the first complete drawing of the rows;
  - filter keystroke: an input event in the filter box to the table drawn for
    that text, one character at a time over several words;
  - sort: a click on a column header to the table drawn in that order;
  - jump: scrolling to the middle of the table to its rows drawn.
Times are not judged: this is a benchmark, not a test. Selenium comes from
Debian (python3-selenium), hence /usr/bin/python3.
"""
import argparse
import json
import os
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "serve", "tests"))

from make_collection import write_collection  # noqa: E402
from serve_support import Server  # noqa: E402
import serve_support  # noqa: E402

from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402

CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--disable-dev-shm-usage", "--window-size=1400,900"]

# Resolves with the time from `act` to the first complete drawing that
# satisfies `test` (a function of the event's detail) being on screen.
MEASURE = """
const [act, test, done] = [arguments[0], arguments[1], arguments[arguments.length - 1]];
const check = new Function('detail', 'return ' + test);
const start = performance.now();
// The time runs until the frame with the new rows has been laid out and
// painted: the task after the next animation frame.
const listener = (event) => {
  if (!check(event.detail)) return;
  document.removeEventListener('catalog-rendered', listener);
  requestAnimationFrame(() => setTimeout(() => done(performance.now() - start), 0));
};
document.addEventListener('catalog-rendered', listener);
new Function(act)();
"""

TYPE = """
const box = document.getElementById('filter');
box.value = %s;
box.dispatchEvent(new Event('input', {bubbles: true}));
"""

WORDS = ["山田太郎", "moonlight", "1998", "ロック", "song-0999"]


def rss_kib(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def summary(values):
    ordered = sorted(values)
    p90 = ordered[min(len(ordered) - 1, int(0.9 * len(ordered)))]
    return "%6.1f ms median, %6.1f ms 90th percentile, %6.1f ms worst (%d)" % (
        statistics.median(values), p90, max(values), len(values))


def load_average():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--files", type=int, default=100000)
    parser.add_argument("--tree", help="where the collection is (written there once, kept)")
    parser.add_argument("--bin", default=os.path.join(HERE, "..", "build", "cli", "zolehead"))
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--json", help="also write the figures here")
    args = parser.parse_args()

    tree = args.tree or os.path.join(tempfile.gettempdir(), "zolehead-serve-bench-%d" % args.files)
    marker = os.path.join(tree, ".complete")
    if not os.path.exists(marker):
        print("writing %d files under %s ..." % (args.files, tree), flush=True)
        write_collection(os.path.join(tree, "col"), args.files)
        open(marker, "w").close()
    serve_support.BIN = args.bin

    figures = {"files": args.files, "usable_after_scan_ms": [], "cold_load_ms": [], "keystroke_ms": [],
               "sort_ms": [], "jump_ms": [], "scan_s": []}
    figures["load_before"] = load_average()
    with Server(["-r", "col", "--port", "0"], cwd=tree, timeout=120) as server:
        status = server.wait_for_scan(timeout=1200)
        figures["scan_s"].append(status["scan"]["seconds"])
        figures["server_rss_kib"] = rss_kib(server.process.pid, "VmRSS")
        figures["server_peak_kib"] = rss_kib(server.process.pid, "VmHWM")
        figures["catalog_bytes"] = status["memory_bytes"]

        options = webdriver.ChromeOptions()
        for flag in CHROMIUM_FLAGS:
            options.add_argument(flag)
        profile = tempfile.mkdtemp(prefix="zolehead-bench-chromium-")
        options.add_argument("--user-data-dir=" + profile)
        options.binary_location = "/usr/bin/chromium"
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        driver.set_script_timeout(600)
        try:
            for _ in range(args.rounds):
                # Cold load: a fresh document, the catalog already scanned.
                driver.get(server.url if _ == 0 else server.base + "/")
                loaded = driver.execute_async_script("""
                  const done = arguments[arguments.length - 1];
                  const look = () => {
                    const mark = performance.getEntriesByName('catalog-first-rows')[0];
                    if (mark) done(mark.startTime); else setTimeout(look, 5);
                  };
                  look();
                """)
                figures["cold_load_ms"].append(loaded)

                # Usable after a scan ends: rescan, then compare the server's end with the page's drawing.
                version = driver.execute_script("return fetch('/api/status', {headers: {'X-ZoleHead-Token': "
                                                "sessionStorage.getItem('zolehead-token')}}).then(r => r.json())"
                                                ".then(s => s.version)")
                drawn_at = driver.execute_async_script("""
                  const [version, done] = [arguments[0], arguments[arguments.length - 1]];
                  document.addEventListener('catalog-rendered', function seen(event) {
                    if (event.detail.version <= version) return;
                    document.removeEventListener('catalog-rendered', seen);
                    done(performance.timeOrigin + performance.now());
                  });
                  document.getElementById('rescan').click();
                """, version)
                finished = server.wait_for_scan(version + 1, timeout=1200)
                figures["scan_s"].append(finished["scan"]["seconds"])
                figures["usable_after_scan_ms"].append(drawn_at - finished["scan"]["finished_at_ms"])

                for word in WORDS:
                    for n in range(1, len(word) + 1):
                        text = json.dumps(word[:n])
                        figures["keystroke_ms"].append(driver.execute_async_script(
                            MEASURE, TYPE % text, "detail.filter === %s" % text))
                driver.execute_async_script(MEASURE, TYPE % '""', 'detail.filter === ""')

                for key in ("Title", "Composer", "path"):
                    figures["sort_ms"].append(driver.execute_async_script(
                        MEASURE, "document.querySelector('#head button[data-key=\"%s\"]').click()" % key,
                        "detail.sort === %s" % json.dumps(key)))
                figures["jump_ms"].append(driver.execute_async_script(
                    MEASURE, "const s = document.getElementById('scroller'); s.scrollTop = s.scrollHeight / 2;",
                    "detail.rows > 0"))
        finally:
            driver.quit()

    figures["load_after"] = load_average()
    print("load average %.1f before, %.1f after, on %d processors" % (figures["load_before"], figures["load_after"],
                                                                     os.cpu_count()))
    print("files: %d; scan %.1f s (median of %d); server RSS %.0f MiB (peak %.0f MiB); catalog %.0f MiB" % (
        args.files, statistics.median(figures["scan_s"]), len(figures["scan_s"]), figures["server_rss_kib"] / 1024,
        figures["server_peak_kib"] / 1024, figures["catalog_bytes"] / 2 ** 20))
    for name in ("usable_after_scan_ms", "cold_load_ms", "keystroke_ms", "sort_ms", "jump_ms"):
        print("%-22s %s" % (name, summary(figures[name])))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(figures, f, indent=1)


if __name__ == "__main__":
    main()
