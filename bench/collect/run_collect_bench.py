#!/usr/bin/env python3
"""ensemble_collect on synthetic finished batches: wall time, CPU time and peak memory.

Cases: 10^4 and 10^5 rows with a sectioned summary CSV per row (three lookups each), and 10^4
rows that also have a time-series CSV of 500 KB per row (a sum over one column). Each output
directory is made by make_study.py and read once before the measured run, so every case reads
from the page cache. The flat-memory claim shows as nearly equal peaks for 10^4 and 10^5 rows.

Usage: run_collect_bench.py [--build-dir DIR] [--work-dir DIR] [--rows 10000,100000]
                            [--series-rows 10000] [--series-kb 500] [--report]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
TIME = "/usr/bin/time"


def run_measured(command):
    """Runs `command`; returns (wall s, CPU s, peak RSS in MiB, its standard output)."""
    report = tempfile.NamedTemporaryFile(prefix="rss-", delete=False)
    report.close()
    start = time.perf_counter()
    done = subprocess.run([TIME, "-v", "-o", report.name] + command, capture_output=True,
                          text=True)
    wall = time.perf_counter() - start
    with open(report.name) as f:
        text = f.read()
    os.unlink(report.name)
    if done.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({done.returncode}):\n{done.stderr}")
    peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", text).group(1))
    user = float(re.search(r"User time \(seconds\): ([\d.]+)", text).group(1))
    system = float(re.search(r"System time \(seconds\): ([\d.]+)", text).group(1))
    return wall, user + system, peak / 1024, done.stdout


def warm(directory):
    """Reads every file once so that the measured run finds them in the page cache."""
    subprocess.run(["sh", "-c", f"find '{directory}' -type f -exec cat {{}} + > /dev/null"],
                   check=True)


def measure(collect, work, rows, series_kb, report):
    study = os.path.join(work, f"study_{rows}_{series_kb}")
    shutil.rmtree(study, ignore_errors=True)
    made = subprocess.run([sys.executable, os.path.join(HERE, "make_study.py"), study, str(rows)]
                          + (["--series", str(series_kb)] if series_kb else []),
                          check=True, capture_output=True, text=True).stdout.split()
    config, metrics = made[0], made[1]
    warm(os.path.join(study, "out"))
    command = [collect, "--metrics", metrics]
    if report:
        command += ["--report", os.path.join(study, "report.html")]
    wall, cpu, peak, out = run_measured(command + [config, os.path.join(study, "out")])
    wrote = [line for line in out.splitlines() if " Wrote " in line][0]
    shutil.rmtree(study, ignore_errors=True)
    return wall, cpu, peak, wrote


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build"))
    parser.add_argument("--work-dir", default=tempfile.gettempdir())
    parser.add_argument("--rows", default="10000,100000")
    parser.add_argument("--series-rows", type=int, default=10000)
    parser.add_argument("--series-kb", type=int, default=500)
    parser.add_argument("--report", action="store_true", help="also write the HTML report")
    args = parser.parse_args()
    collect = os.path.join(args.build_dir, "ensemble_collect")
    cases = [(int(rows), 0) for rows in args.rows.split(",")]
    if args.series_rows:
        cases.append((args.series_rows, args.series_kb))
    print("| rows | time series per row | wall (s) | CPU (s) | peak memory (MiB) |")
    print("|---|---|---|---|---|")
    for rows, series_kb in cases:
        wall, cpu, peak, wrote = measure(collect, args.work_dir, rows, series_kb, args.report)
        series = f"{series_kb} KB" if series_kb else "none"
        print(f"| {rows} | {series} | {wall:.2f} | {cpu:.2f} | {peak:.1f} |", flush=True)
        print(f"  {wrote}", file=sys.stderr)


if __name__ == "__main__":
    main()
