#!/usr/bin/env python3
"""Benchmark of ensemble_probe --jobs: overlapping engine runs and parallel JSON-only batches.

Simulation: a 40-combination batch on the small model against the stand-in engine
(tests/support/stand_in_engine.sh) sleeping 0.5 s per run, with --jobs 1, 2, 4 and 8. Prints the
wall time of each against the ideal ceil(40 / N) x 0.5 s and the overhead over it (goal: within
5 %). The stand-in's records also give the largest number of runs that overlapped.

JSON-only: the 500-combination batch on the generated model (about 254 KB, as in
run_batch_bench.py) with --jobs 1 and --jobs 2, alternated; prints the median speed-up (goal on
this 2-core machine: at least 1.8x).

Usage: run_jobs_bench.py [--build-dir DIR] [--runs N] [--work-dir DIR] [--jobs 1,2,4,8]
                         [--no-simulation] [--no-json-only] [--defer-cleanup]
"""
import argparse
import glob
import json
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
ENGINE = os.path.join(ROOT, "tests", "support", "stand_in_engine.sh")
SLEEP = 0.5
COMBINATIONS = 40


def make_workspace(build_dir, root, *options):
    maker = os.path.join(build_dir, "bench", "bench_make_workspace")
    shutil.rmtree(root, ignore_errors=True)
    result = subprocess.run([maker, root, *options], check=True, capture_output=True, text=True)
    return result.stdout.strip()


def simulation_workspace(build_dir, root):
    """40 combinations (5 x 4 x 2 x 1) on the small model, a weather file, the stand-in engine."""
    config = make_workspace(build_dir, root, "--small", "--no-zone-allocations",
                            "--lists", "5,4,2,1")
    params = os.path.join(root, "input", "batch_parameters")
    os.makedirs(os.path.join(params, "weather_files"), exist_ok=True)
    with open(os.path.join(params, "weather_files", "site.json"), "w") as f:
        json.dump({"weather_file": "site.epw"}, f)
    with open(os.path.join(params, "weather_files", "site.epw"), "w") as f:
        f.write("weather\n")
    with open(config) as f:
        document = json.load(f)
    for group in document.values():
        group["weather_files"] = ["site"]
    with open(config, "w") as f:
        json.dump(document, f, indent=2)
    resources = os.path.join(root, "src-tauri", "resources")
    os.makedirs(resources, exist_ok=True)
    shutil.copy(ENGINE, os.path.join(resources, "run.sh"))
    return config


DEFERRED = []  # with --defer-cleanup: where the earlier runs' outputs wait to be deleted


def fresh(path):
    if DEFERRED and os.path.exists(path):
        os.rename(path, os.path.join(DEFERRED[0], str(len(os.listdir(DEFERRED[0])))))
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def timed(command, env=None):
    start = time.perf_counter()
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    wall = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({result.returncode}):\n"
                 + result.stderr.decode(errors="replace"))
    return wall


def most_overlapping(record_dir):
    """The largest number of stand-in runs that were running at the same moment."""
    edges = []
    for path in glob.glob(os.path.join(record_dir, "run-*.txt")):
        with open(path) as f:
            fields = dict(line.split(" ", 1) for line in f.read().splitlines() if " " in line)
        edges += [(int(fields["start"]), 1), (int(fields["stop"]), -1)]
    running = peak = 0
    for _, step in sorted(edges, key=lambda edge: (edge[0], edge[1])):
        running += step
        peak = max(peak, running)
    return peak, len(edges) // 2


def simulation(args, work):
    config = simulation_workspace(args.build_dir, os.path.join(work, "sim-ws"))
    probe = os.path.join(args.build_dir, "ensemble_probe")
    print(f"Simulation: {COMBINATIONS} combinations, stand-in engine sleeping {SLEEP} s, "
          f"best of {args.runs}")
    print("| N | wall (s) | ideal (s) | over ideal | most runs at once |")
    print("|---|---|---|---|---|")
    for jobs in args.jobs:
        walls = []
        for _ in range(args.runs):
            records = fresh(os.path.join(work, "records"))
            env = dict(os.environ, STAND_IN_SLEEP=str(SLEEP), STAND_IN_RECORD_DIR=records,
                       TMPDIR=fresh(os.path.join(work, "tmp")))
            out = fresh(os.path.join(work, "sim-out"))
            walls.append(timed([probe, "--simulation", "--jobs", str(jobs), config, out], env))
            peak, runs = most_overlapping(records)
            if runs != COMBINATIONS:
                sys.exit(f"--jobs {jobs}: {runs} engine runs, expected {COMBINATIONS}")
        ideal = math.ceil(COMBINATIONS / jobs) * SLEEP
        wall = min(walls)
        print(f"| {jobs} | {wall:.2f} | {ideal:.2f} | {(wall / ideal - 1) * 100:+.1f} % | {peak} |")


def two_at_once(probe, config, work):
    """Two separate --jobs 1 batches started together: what the machine gives two threads of
    this work that share nothing at all, the ceiling for --jobs 2."""
    outs = [fresh(os.path.join(work, f"json-out-{i}")) for i in (1, 2)]
    start = time.perf_counter()
    children = [subprocess.Popen([probe, config, out], stdout=subprocess.DEVNULL) for out in outs]
    if any(child.wait() != 0 for child in children):
        sys.exit("a batch of the pair failed")
    return time.perf_counter() - start


def json_only(args, work):
    config = make_workspace(args.build_dir, os.path.join(work, "json-ws"))
    probe = os.path.join(args.build_dir, "ensemble_probe")
    model = os.path.join(work, "json-ws", "input", "batch_parameters", "base_json", "model.json")
    walls = {1: [], 2: [], "pair": []}
    for run in range(args.runs):
        for jobs in (1, 2, "pair") if run % 2 == 0 else ("pair", 2, 1):
            subprocess.run(["sync"], check=False)
            if jobs == "pair":
                walls[jobs].append(two_at_once(probe, config, work))
                continue
            out = fresh(os.path.join(work, "json-out"))
            walls[jobs].append(timed([probe, "--jobs", str(jobs), config, out]))
    one, two = statistics.median(walls[1]), statistics.median(walls[2])
    pair = statistics.median(walls["pair"])
    print(f"JSON-only: 500 combinations, model {os.path.getsize(model)} bytes, {args.runs} runs "
          f"each, order alternated")
    print(f"  --jobs 1: median {one:.2f} s; --jobs 2: median {two:.2f} s; "
          f"speed-up {one / two:.2f}x (goal >= 1.8x on 2 cores)")
    print(f"  two separate --jobs 1 batches at once: median {pair:.2f} s, "
          f"{2 * one / pair:.2f}x the work of one in its time (the machine's ceiling for --jobs 2)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--work-dir", default=None)
    parser.add_argument("--jobs", default="1,2,4,8")
    parser.add_argument("--no-simulation", action="store_true")
    parser.add_argument("--no-json-only", action="store_true")
    # ext4 passes over the inodes freed in the last minute or so when it hands out new ones:
    # deleting the previous run's 1 000 files and folders just before a run makes the kernel's
    # share of every file created grow with what was deleted.
    parser.add_argument("--defer-cleanup", action="store_true",
                        help="move each run's output aside and delete them all at the end")
    args = parser.parse_args()
    args.build_dir = os.path.abspath(args.build_dir)
    args.jobs = [int(n) for n in args.jobs.split(",")]
    work = args.work_dir or tempfile.mkdtemp(prefix="jobs-bench-")
    if args.defer_cleanup:
        DEFERRED.append(os.path.join(work, "deferred"))
        shutil.rmtree(DEFERRED[0], ignore_errors=True)
        os.makedirs(DEFERRED[0])
    try:
        if not args.no_simulation:
            simulation(args, work)
        if not args.no_json_only:
            json_only(args, work)
    finally:
        if DEFERRED:
            shutil.rmtree(DEFERRED[0], ignore_errors=True)
        if args.work_dir is None:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
