#!/usr/bin/env python3
"""Benchmark of ensemble_probe --simulation --jobs N against xargs -P N on the same engine runs.

Both start the stand-in engine (tests/support/stand_in_engine.sh, sleeping 0.5 s) 40 times, N at
a time, with the same shell, arguments and engine variables: xargs on 40 ready-made model files
(the variants of the same 40-combination batch, written beforehand by a JSON-only run), which is
what a user would script by hand; ensemble_probe on the batch itself, building each variant,
writing its records and keeping the engine's outputs. The two alternate (xargs first in even
rounds, the probe first in odd ones) so that a change in the machine's load reaches both; the
table gives the median wall time of each, their ratio (goal: at most 1.02 for every N) and the
load average while it ran.

Usage: xargs_bench.py [--build-dir DIR] [--runs N] [--jobs 1,2,4,8] [--work-dir DIR]
"""
import argparse
import glob
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_jobs_bench  # noqa: E402  (the workspace and the timing are shared)

COMBINATIONS = run_jobs_bench.COMBINATIONS
SLEEP = run_jobs_bench.SLEEP


def ready_made_models(probe, config, work):
    """The batch's 40 variants, each in a folder of its own as the probe's runs have them."""
    out = run_jobs_bench.fresh(os.path.join(work, "variants"))
    run_jobs_bench.timed([probe, config, out])
    models = sorted(glob.glob(os.path.join(out, "result_*", "*.json")))
    if len(models) != COMBINATIONS:
        sys.exit(f"the JSON-only run wrote {len(models)} variants, expected {COMBINATIONS}")
    placed = []
    for index, model in enumerate(models, 1):
        folder = run_jobs_bench.fresh(os.path.join(work, "models", f"run-{index}"))
        shutil.copy(model, os.path.join(folder, "temp_model.json"))
        placed.append(os.path.join(folder, "temp_model.json"))
    return placed


def engine_environment(work, records, workspace, result_dir=None):
    env = dict(os.environ, STAND_IN_SLEEP=str(SLEEP), STAND_IN_RECORD_DIR=records,
               TMPDIR=run_jobs_bench.fresh(os.path.join(work, "tmp")))
    if result_dir is not None:
        # What the probe adds for each run; xargs cannot vary them, so one value serves all.
        env.update(WORKSPACE=workspace, ENSEMBLE_MODEL_NAME="sweep_1", ENSEMBLE_RESULT_DIR=result_dir)
    return env


def run_xargs(jobs, models, workspace, work):
    records = run_jobs_bench.fresh(os.path.join(work, "records"))
    script = os.path.join(workspace, "src-tauri", "resources", "run.sh")
    weather = os.path.join(workspace, "input", "batch_parameters", "weather_files", "site.epw")
    env = engine_environment(work, records, workspace,
                             run_jobs_bench.fresh(os.path.join(work, "xargs-out")))
    listing = os.path.join(work, "models.txt")
    with open(listing, "w") as f:
        f.write("\n".join(models) + "\n")
    command = ["xargs", "-a", listing, "-d", "\n", "-P", str(jobs), "-n", "1", "-I", "{}",
               "/bin/bash", script, "{}", weather, "bench"]
    return run_jobs_bench.timed(command, env), records


def run_probe(jobs, probe, config, work):
    records = run_jobs_bench.fresh(os.path.join(work, "records"))
    env = engine_environment(work, records, None)
    out = run_jobs_bench.fresh(os.path.join(work, "sim-out"))
    return run_jobs_bench.timed([probe, "--simulation", "--jobs", str(jobs), config, out],
                                env), records


def checked(result, label):
    wall, records = result
    _, runs = run_jobs_bench.most_overlapping(records)
    if runs != COMBINATIONS:
        sys.exit(f"{label}: {runs} engine runs, expected {COMBINATIONS}")
    return wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default=os.path.join(run_jobs_bench.ROOT, "build"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--jobs", default="1,2,4,8")
    parser.add_argument("--work-dir", default=None)
    args = parser.parse_args()
    build_dir = os.path.abspath(args.build_dir)
    jobs_list = [int(n) for n in args.jobs.split(",")]
    probe = os.path.join(build_dir, "ensemble_probe")
    work = os.path.abspath(args.work_dir or tempfile.mkdtemp(prefix="xargs-bench-"))
    try:
        # Relative paths, as a user in the workspace's parent folder would give them.
        os.chdir(work)
        config = run_jobs_bench.simulation_workspace(build_dir, os.path.join(work, "ws"))
        config = os.path.relpath(config, work)
        models = ready_made_models(probe, config, work)
        print(f"{COMBINATIONS} runs of the stand-in engine sleeping {SLEEP} s; medians of "
              f"{args.runs} alternated runs")
        print("| N | xargs (s) | probe (s) | probe / xargs | load average |")
        print("|---|---|---|---|---|")
        for jobs in jobs_list:
            walls = {"xargs": [], "probe": []}
            loads = []
            for run in range(args.runs):
                order = ("xargs", "probe") if run % 2 == 0 else ("probe", "xargs")
                for which in order:
                    if which == "xargs":
                        result = run_xargs(jobs, models, "ws", work)
                    else:
                        result = run_probe(jobs, probe, config, work)
                    walls[which].append(checked(result, f"{which} -P/--jobs {jobs}"))
                loads.append(os.getloadavg()[0])
            xargs, ours = statistics.median(walls["xargs"]), statistics.median(walls["probe"])
            print(f"| {jobs} | {xargs:.2f} | {ours:.2f} | {ours / xargs:.3f} | "
                  f"{min(loads):.1f} to {max(loads):.1f} |", flush=True)
    finally:
        if args.work_dir is None:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
