#!/usr/bin/env python3
"""The Python package against the zolehead tool on the benchmark collection.

  bench/python_bench.py BUILD_DIR [--files N] [--bytes B] [--runs R] [--tree DIR]

BUILD_DIR holds bench/zolehead_make_corpus, cli/zolehead and the package in
python/ (configure it with -DZOLEHEAD_BUILD_BENCHMARKS=ON). Run it with the
interpreter the package was built for (/usr/bin/python3). Two comparisons,
medians of R runs in alternating order, page cache warm:

  scan      `for path, header in zolehead.scan(tree, recursive=True, jobs=2)`
            against `zolehead --jsonl -j 2 -r --no-progress tree >/dev/null`
            (target: at most 1.2 times the tool's time)
  threads   four Python threads each calling read() over a quarter of the
            files against one thread reading them all
            (target: at least 1.6 times faster on 2 processors)

Wall times depend on the machine being otherwise idle: the load average is
printed with the figures. Targets are judged only at 10,000 files or more.
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import threading
import time


def cpu_seconds(who):
    usage = resource.getrusage(who)
    return usage.ru_utime + usage.ru_stime


def timed(call):
    """(wall seconds, processor seconds of this process and its children)."""
    cpu = cpu_seconds(resource.RUSAGE_SELF) + cpu_seconds(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    call()
    wall = time.perf_counter() - start
    return wall, cpu_seconds(resource.RUSAGE_SELF) + cpu_seconds(resource.RUSAGE_CHILDREN) - cpu


def read_in_threads(zolehead, paths, threads):
    """Each thread reads its contiguous share of `paths`; all start together."""
    share = (len(paths) + threads - 1) // threads
    start = threading.Barrier(threads + 1)

    def reader(part):
        start.wait()
        for path in part:
            zolehead.read(path)

    workers = [threading.Thread(target=reader, args=(paths[i * share:(i + 1) * share],)) for i in range(threads)]
    for worker in workers:
        worker.start()
    start.wait()
    for worker in workers:
        worker.join()


def median_pair(results):
    return statistics.median(r[0] for r in results), statistics.median(r[1] for r in results)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", help="build directory with the tool, the package and zolehead_make_corpus")
    parser.add_argument("--files", type=int, default=10000)
    parser.add_argument("--bytes", type=int, default=20480, help="size of each file")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--tree", help="generate into (or reuse) this directory instead of a temporary one")
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    sys.path.insert(0, os.path.join(build, "python"))
    import zolehead

    tool = os.path.join(build, "cli", "zolehead")
    with tempfile.TemporaryDirectory(prefix="zolehead-pybench-") as scratch:
        tree = os.path.abspath(args.tree or scratch)
        if not (os.path.isdir(tree) and os.listdir(tree)):
            os.makedirs(tree, exist_ok=True)
            subprocess.run([os.path.join(build, "bench", "zolehead_make_corpus"), tree, str(args.files),
                            str(args.bytes)], check=True)
        paths = [path for path, _ in zolehead.scan(tree, recursive=True)]
        tool_command = [tool, "--jsonl", "-j", "2", "-r", "--no-progress", tree]

        def run_tool():
            subprocess.run(tool_command, stdout=subprocess.DEVNULL, check=True)

        def run_scan():
            for _ in zolehead.scan(tree, recursive=True, jobs=2):
                pass

        def one_thread():
            read_in_threads(zolehead, paths, 1)

        def four_threads():
            read_in_threads(zolehead, paths, 4)

        for warm in (run_tool, run_scan, one_thread):
            warm()
        timings = {name: [] for name in ("tool", "scan", "one", "four")}
        for run in range(args.runs):
            pairs = [("tool", run_tool), ("scan", run_scan), ("one", one_thread), ("four", four_threads)]
            for name, call in pairs if run % 2 == 0 else reversed(pairs):
                timings[name].append(timed(call))

    load = os.getloadavg()
    print(f"{len(paths)} files of {args.bytes} bytes, {os.cpu_count()} processors, "
          f"load average {load[0]:.2f} {load[1]:.2f} {load[2]:.2f}, medians of {args.runs} runs")
    print(f"{'':34}{'wall ms':>10}{'cpu ms':>10}")
    names = {"tool": "zolehead --jsonl -j 2 -r", "scan": "zolehead.scan(jobs=2)",
             "one": "read() in 1 thread", "four": "read() in 4 threads"}
    medians = {name: median_pair(results) for name, results in timings.items()}
    for name, (wall, cpu) in medians.items():
        print(f"{names[name]:34}{wall * 1000:10.1f}{cpu * 1000:10.1f}")
    scan_ratio = medians["scan"][0] / medians["tool"][0]
    speedup = medians["one"][0] / medians["four"][0]
    judged = len(paths) >= 10000
    verdict = (lambda ok: ("met" if ok else "MISSED") if judged else "not judged (small run)")
    print(f"scan / tool:          {scan_ratio:.2f} times the time (target <= 1.2): {verdict(scan_ratio <= 1.2)}")
    print(f"4 threads vs 1:       {speedup:.2f} times faster (target >= 1.6): {verdict(speedup >= 1.6)}")


if __name__ == "__main__":
    main()
