#!/usr/bin/env python3
"""Macro benchmark: ensemble_probe (JSON-only mode) against bench/batch_peer.py.

Builds a workspace with the realistic model (about 250 KB) and a 500-combination batch
("controls", "heat_source_wet", "simplified_fabric", "tariff" and zone allocations), then runs
both programs side by side, alternating their order, several times. Prints the per-combination
wall time of each, their ratio (medians) and each program's peak memory. With --memory it also
compares the peak memory of a 1 000- and a 100 000-combination batch on the small model.

Usage: run_batch_bench.py [--build-dir DIR] [--runs N] [--work-dir DIR] [--memory] [--no-speed]
                          [--defer-cleanup] [--baseline OTHER_ENSEMBLE_PROBE ...]
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

HERE = os.path.dirname(os.path.abspath(__file__))
PEER = os.path.join(os.path.dirname(HERE), "batch_peer.py")
TIME = "/usr/bin/time"


def run_measured(command):
    """Runs `command` with its output discarded; returns (wall s, CPU s, peak RSS in KiB)."""
    report = tempfile.NamedTemporaryFile(prefix="rss-", delete=False)
    report.close()
    use_time = os.access(TIME, os.X_OK)
    wrapped = [TIME, "-v", "-o", report.name] + command if use_time else command
    start = time.perf_counter()
    child = subprocess.Popen(wrapped, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    errors = child.stderr.read().decode(errors="replace")
    if child.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({child.returncode}):\n{errors}")
    if use_time:
        with open(report.name) as f:
            peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", f.read()).group(1))
    else:
        peak = usage.ru_maxrss
    os.unlink(report.name)
    return wall, usage.ru_utime + usage.ru_stime, peak


def make_workspace(build_dir, root, *options):
    maker = os.path.join(build_dir, "bench", "bench_make_workspace")
    shutil.rmtree(root, ignore_errors=True)
    result = subprocess.run([maker, root, *options], check=True, capture_output=True, text=True)
    return result.stdout.strip()


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    return path


def speed(args, work):
    config = make_workspace(args.build_dir, os.path.join(work, "ws"))
    combinations = 5 * 4 * 5 * 5
    probe = os.path.join(args.build_dir, "ensemble_probe")
    commands = {
        "ensemble_probe": lambda out: [probe, config, out],
        "batch_peer.py": lambda out: [sys.executable, PEER, config, out],
    }
    for baseline in args.baseline:
        path = os.path.abspath(baseline)
        commands[os.path.basename(path)] = lambda out, path=path: [path, config, out]
    walls = {name: [] for name in commands}
    cpus = {name: [] for name in commands}
    peaks = {name: [] for name in commands}
    names = list(commands)
    trash = os.path.join(work, "deferred")
    for run in range(args.runs):
        for name in names if run % 2 == 0 else reversed(names):
            out = os.path.join(work, "out")
            if args.defer_cleanup and os.path.exists(out):
                os.makedirs(trash, exist_ok=True)
                os.rename(out, os.path.join(trash, f"{run}-{name}"))
            out = fresh(out)
            subprocess.run(["sync"], check=False)
            wall, cpu, peak = run_measured(commands[name](out))
            walls[name].append(wall)
            cpus[name].append(cpu)
            peaks[name].append(peak)
        if not args.defer_cleanup:
            fresh(os.path.join(work, "out"))
    fresh(trash)
    print(f"Batch: {combinations} combinations, model "
          f"{os.path.getsize(os.path.join(work, 'ws/input/batch_parameters/base_json/model.json'))}"
          f" bytes, {args.runs} runs each, order alternated")
    for name in names:
        per = [w / combinations * 1000 for w in walls[name]]
        cpu = statistics.median(cpus[name]) / combinations * 1000
        print(f"  {name:24s} per combination: median {statistics.median(per):7.3f} ms "
              f"(min {min(per):.3f}, max {max(per):.3f}), CPU {cpu:.3f} ms; "
              f"peak RSS {max(peaks[name]) / 1024:.1f} MiB")
    ratio = statistics.median(walls["batch_peer.py"]) / statistics.median(walls["ensemble_probe"])
    per_run = [p / e for p, e in zip(walls["batch_peer.py"], walls["ensemble_probe"])]
    print(f"  ratio peer/probe (median walls): {ratio:.2f}x; per run: "
          + ", ".join(f"{r:.2f}" for r in per_run))
    for name in names[2:]:
        gain = statistics.median(walls[name]) / statistics.median(walls["ensemble_probe"])
        print(f"  {name}/ensemble_probe (median walls): {gain:.2f}x")


def memory(args, work):
    probe = os.path.join(args.build_dir, "ensemble_probe")
    results = {}
    for label, lists in (("1 000", "10,10,10,1"), ("100 000", "10,10,10,100")):
        config = make_workspace(args.build_dir, os.path.join(work, "small"), "--small",
                                "--lists", lists)
        out = fresh(os.path.join(work, "out-memory"))
        wall, _, peak = run_measured([probe, config, out])
        fresh(out)
        results[label] = peak
        print(f"  {label:>7s} combinations (small model): peak RSS {peak} KiB, wall {wall:.1f} s")
    growth = results["100 000"] / results["1 000"] - 1
    print(f"  growth 1 000 -> 100 000: {growth * 100:+.1f}% (target within 10%)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default=os.path.join(HERE, "..", "..", "build"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work-dir", default=None)
    parser.add_argument("--memory", action="store_true")
    parser.add_argument("--no-speed", action="store_true")
    # ext4 passes over inodes freed in the last minute or so when it hands out new ones, so
    # deleting the previous run's 1 000 files and folders just before a run adds a kernel cost
    # per file created that grows with what was deleted.
    parser.add_argument("--defer-cleanup", action="store_true",
                        help="move each run's output aside and delete them all at the end")
    parser.add_argument("--baseline", action="append", default=[],
                        help="another ensemble_probe binary to time side by side (repeatable)")
    args = parser.parse_args()
    args.build_dir = os.path.abspath(args.build_dir)
    work = args.work_dir or tempfile.mkdtemp(prefix="batch-bench-")
    try:
        if not args.no_speed:
            speed(args, work)
        if args.memory:
            memory(args, work)
    finally:
        if args.work_dir is None:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
