#!/usr/bin/env python3
"""Watcher benchmark: ensemble_watch --once on synthetic output directories of finished batches.

Writes output directories of 10^4, 10^5 and 10^6 combinations with bench_make_watch_dir (the
records exactly as the batch writes them: a JSON-only batch, and a simulation batch where every
50th run failed), then times `ensemble_watch --once` on each (wall and CPU time, medians) and reads its peak memory, for this
build and, with --baseline, for another ensemble_watch alongside (the runs alternate). Then
bench_watch_tick times one live tick with nothing new, and one with a single new line (as while
a batch runs). Prints a Markdown table.

Usage: run_watch_bench.py [--build-dir DIR] [--work-dir DIR] [--sizes 10000,100000,1000000]
                          [--runs N] [--result-dirs] [--baseline OTHER_ENSEMBLE_WATCH]
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

TIME = "/usr/bin/time"


def run_measured(command):
    """Runs `command`, output discarded; returns (wall s, CPU s, peak RSS in KiB). Exit 1 is a
    verdict (something failed), not an error."""
    report = tempfile.NamedTemporaryFile(prefix="rss-", delete=False)
    report.close()
    start = time.perf_counter()
    child = subprocess.run([TIME, "-v", "-o", report.name] + command,
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    if child.returncode not in (0, 1):
        sys.exit(f"{' '.join(command)} failed ({child.returncode}):\n{child.stderr.decode()}")
    with open(report.name) as f:
        text = f.read()
    os.unlink(report.name)
    peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", text).group(1))
    cpu = sum(float(re.search(rf"{kind} time \(seconds\): ([\d.]+)", text).group(1))
              for kind in ("User", "System"))
    return wall, cpu, peak


def log_megabytes(directory):
    total = 0
    for folder, _, files in os.walk(os.path.join(directory, "logs")):
        total += sum(os.path.getsize(os.path.join(folder, name)) for name in files)
    return total / 1e6


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--work-dir", default=None)
    parser.add_argument("--sizes", default="10000,100000,1000000")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--result-dirs", action="store_true",
                        help="also make one result directory per combination")
    parser.add_argument("--baseline", default=None)
    args = parser.parse_args()
    maker = os.path.join(args.build_dir, "bench", "bench_make_watch_dir")
    ticker = os.path.join(args.build_dir, "bench", "bench_watch_tick")
    watch = os.path.join(args.build_dir, "ensemble_watch")
    work = args.work_dir or tempfile.mkdtemp(prefix="watch-bench-")
    programs = [("this build", watch)] + ([("baseline", args.baseline)] if args.baseline else [])

    print("| batch | combinations | logs (MB) | program | --once wall (s) | CPU (s) | peak (MB) |")
    print("|---|---|---|---|---|---|---|")
    ticks = []
    for size in [int(s) for s in args.sizes.split(",")]:
        for shape, options in (("JSON-only", []), ("simulation", ["--simulation", "--fail-every", "50"])):
            directory = os.path.join(work, f"{shape}-{size}")
            shutil.rmtree(directory, ignore_errors=True)
            extra = ["--result-dirs"] if args.result_dirs else []
            subprocess.run([maker, directory, "--combinations", str(size)] + options + extra,
                           check=True)
            figures = {name: [] for name, _ in programs}
            for _ in range(args.runs):
                for name, program in programs:
                    figures[name].append(run_measured([program, "--once", directory]))
            for name, _ in programs:
                wall = statistics.median(w for w, _, _ in figures[name])
                cpu = statistics.median(c for _, c, _ in figures[name])
                peak = max(p for _, _, p in figures[name]) / 1024
                print(f"| {shape} | {size:,} | {log_megabytes(directory):.0f} | {name} | "
                      f"{wall:.3f} | {cpu:.2f} | {peak:.1f} |", flush=True)
            for extra_tick in ([], ["--growing"]):  # the second one appends to the log
                ticks.append((shape, size, subprocess.run(
                    [ticker, directory, "200"] + extra_tick, check=True, capture_output=True,
                    text=True).stdout))
            shutil.rmtree(directory, ignore_errors=True)
    print()
    for shape, size, line in ticks:
        print(f"- {shape} {size:,}: {line.strip()}")
    if not args.work_dir:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
