#!/usr/bin/env python3
"""End-to-end checks of sharded batches on a real (one-node) Slurm cluster.

Usage: run_slurm_e2e.py BUILD_DIR SOURCE_DIR [CASE ...]

SLURM_CONF must name the configuration of a running cluster (scripts/test-slurm starts one).
Every case works in its own folder below SLURM_E2E_WORK (default: a new temporary folder) and
ends the jobs it submitted. CASE words pick the cases whose names contain one of them. Prints
one line per case and ends with "N passed, M failed"; the exit status is 1 when any case failed.
"""

import collections
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

JOB_SECONDS = 240


class Run:
    def __init__(self, code, out, err):
        self.code = code
        self.out = out
        self.err = err

    def __repr__(self):
        return f"exit {self.code}\nstdout: {self.out!r}\nstderr: {self.err!r}"


def run(command, env=None, cwd=None, timeout=120):
    full_env = dict(os.environ)
    full_env.update(env or {})
    done = subprocess.run([str(word) for word in command], env=full_env, cwd=cwd,
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    return Run(done.returncode, done.stdout.decode("utf-8", "replace"),
               done.stderr.decode("utf-8", "replace"))


def expect_eq(actual, expected, what):
    if actual != expected:
        raise AssertionError(f"{what}:\n  expected {expected!r}\n  actual   {actual!r}")


def expect_true(condition, what):
    if not condition:
        raise AssertionError(what)


# ---------------------------------------------------------------------------------------------
# Slurm

def job_states(job_id):
    """{array task id: state} of every task of the job that the controller still knows."""
    shown = run(["scontrol", "-o", "show", "job", job_id])
    expect_eq(shown.code, 0, f"scontrol show job {job_id}: {shown.err}")
    states = {}
    for line in shown.out.splitlines():
        task = re.search(r"\bArrayTaskId=(\d+)\b", line)
        state = re.search(r"\bJobState=(\w+)", line)
        if task and state:
            states[int(task.group(1))] = state.group(1)
    return states


def wait_for_job(job_id, seconds=JOB_SECONDS):
    """Waits until no task of the job is pending, running or completing; returns job_states."""
    deadline = time.monotonic() + seconds
    while True:
        queued = run(["squeue", "-h", "-j", job_id, "-o", "%i %T"])
        if queued.code == 0 and not queued.out.strip():
            return job_states(job_id)
        if time.monotonic() > deadline:
            run(["scancel", job_id])
            raise AssertionError(f"job {job_id} still queued after {seconds} s:\n{queued.out}")
        time.sleep(0.5)


def release_requeued(task):
    """A requeued task is held back two minutes before it may start again; start it now."""
    expect_eq(run(["scontrol", "requeue", task]).code, 0, f"scontrol requeue {task}")
    update = run(["scontrol", "update", f"JobId={task}", "StartTime=now"])
    expect_eq(update.code, 0, f"scontrol update {task}: {update.err}")


def wait_while_queued(job_id, condition, what, seconds=JOB_SECONDS):
    """Waits for condition() while the job has tasks queued or running."""
    deadline = time.monotonic() + seconds
    while not condition():
        if not run(["squeue", "-h", "-j", job_id, "-o", "%i"]).out.strip():
            raise AssertionError(f"job {job_id} ended before {what}: {job_states(job_id)}")
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.1)


def expect_states(job_id, expected, output):
    """Waits for the job; on other end states shows what the tasks printed."""
    states = wait_for_job(job_id)
    if states != expected:
        printed = "".join(f"--- {path.name}\n{path.read_text()[-2000:]}"
                          for path in sorted((output / "slurm").glob(f"job_{job_id}_*.out")))
        raise AssertionError(f"states of job {job_id}:\n  expected {expected!r}\n"
                             f"  actual   {states!r}\n{printed}")


# ---------------------------------------------------------------------------------------------
# The pass

class Pass:
    def __init__(self, build_dir, source_dir, work_dir):
        self.build = pathlib.Path(build_dir).resolve()
        self.source = pathlib.Path(source_dir).resolve()
        self.work = pathlib.Path(work_dir)
        self.probe = self.build / "ensemble_probe"
        self.submit_script = self.source / "scripts" / "slurm" / "submit"
        self.passed = 0
        self.failed = []
        self.jobs = []
        self.reference = None

    def folder(self, name):
        path = self.work / name
        shutil.rmtree(path, ignore_errors=True)
        path.mkdir(parents=True)
        return path

    def submit(self, args, env=None, cwd=None):
        """Runs the submit command; returns (its Run, the job id or None)."""
        submitted = run([self.submit_script, *args], env=env, cwd=cwd)
        lines = submitted.out.splitlines()
        job_id = lines[-1] if submitted.code == 0 and lines else None
        if job_id is not None:
            self.jobs.append(job_id)
        return submitted, job_id

    def run(self, cases):
        for case in cases:
            name = case.__name__.removeprefix("case_")
            started = time.monotonic()
            try:
                case(self)
                self.passed += 1
                print(f"PASS {name} ({time.monotonic() - started:.1f}s)", flush=True)
            except Exception as error:  # a failed case must not stop the pass
                self.failed.append(name)
                detail = str(error) if isinstance(error, AssertionError) else \
                    traceback.format_exc()
                print(f"FAIL {name}: {detail}", flush=True)
            finally:
                # Nothing a case submitted may hold the node for the next one.
                for job_id in self.jobs:
                    run(["scancel", job_id])
                self.jobs.clear()
        print(f"{self.passed} passed, {len(self.failed)} failed")
        return not self.failed


def case_array_job_runs_every_task(t):
    # The cluster itself: a plain three-task array, before anything of ours is involved.
    folder = t.folder("plain_array")
    submitted = run(["sbatch", "--parsable", "--array=0-2", f"--output={folder}/task_%a.txt",
                     "--wrap", "echo task $SLURM_ARRAY_TASK_ID of $SLURM_ARRAY_TASK_COUNT"])
    expect_eq(submitted.code, 0, f"sbatch: {submitted.err}")
    job_id = submitted.out.strip().split(";")[0]
    t.jobs.append(job_id)
    expect_eq(wait_for_job(job_id), {0: "COMPLETED", 1: "COMPLETED", 2: "COMPLETED"}, "states")
    for task in range(3):
        expect_eq((folder / f"task_{task}.txt").read_text(), f"task {task} of 3\n", f"task {task}")


# A stand-in ensemble_probe: records its arguments, one per line, and what Slurm gave the task.
RECORDING_PROBE = """#!/usr/bin/env bash
record="$(dirname "$0")/record_${SLURM_ARRAY_TASK_ID}_${SLURM_RESTART_COUNT:-0}.txt"
{ printf '%s\\n' "$@"; echo "cpus=$SLURM_CPUS_PER_TASK name=$SLURM_JOB_NAME"; } > "$record"
[ "${SLURM_ARRAY_TASK_ID}_${SLURM_RESTART_COUNT:-0}" != "$FAIL_TASK" ] || exit 3
"""


def recording_probe(folder):
    probe = folder / "probe"
    probe.write_text(RECORDING_PROBE)
    probe.chmod(0o755)
    config = folder / "it's a study" / "input" / "configs" / "batch.json"
    config.parent.mkdir(parents=True)
    config.write_text("{}")
    return probe, config


def records(folder):
    """{(task, restart): (arguments, Slurm line)} of every run of the recording probe."""
    found = {}
    for path in folder.glob("record_*_*.txt"):
        task, restart = map(int, path.stem.split("_")[1:])
        lines = path.read_text().splitlines()
        found[(task, restart)] = (lines[:-1], lines[-1])
    return found


def case_submit_runs_one_shard_per_task(t):
    rows = [
        # (shards, ensemble_probe options, sbatch options, cpus, job name, time limit)
        (3, ["--simulation", "--jobs", "2", "--keep-going"], ["--job-name=study", "--time=7"],
         2, "study", "00:07:00"),
        (2, ["--jobs=1"], [], 1, "probe_batch", "UNLIMITED"),
        (1, [], ["--time", "1:00:00"], 1, "probe_batch", "01:00:00"),
    ]
    for number, (shards, options, sbatch, cpus, name, limit) in enumerate(rows):
        folder = t.folder(f"submit_{number}")
        probe, config = recording_probe(folder)
        # Relative paths as a user types them; the tasks get them made absolute.
        relative_config = config.relative_to(folder)
        extra = ["--", *sbatch] if sbatch else []
        submitted, job_id = t.submit([str(shards), relative_config, "out dir", *options, *extra],
                                     env={"ENSEMBLE_PROBE": str(probe)}, cwd=folder)
        expect_eq(submitted.code, 0, f"row {number}: submit {submitted!r}")
        expect_true(re.fullmatch(r"\d+", job_id), f"row {number}: last line {job_id!r}")
        expect_eq(wait_for_job(job_id), {k: "COMPLETED" for k in range(shards)}, "states")
        output = folder / "out dir"
        expected = {(k, 0): ([*options, "--shard", f"{k}/{shards}", str(config), str(output)],
                             f"cpus={cpus} name={name}") for k in range(shards)}
        expect_eq(records(folder), expected, f"row {number}: arguments per task")
        shown = run(["scontrol", "-o", "show", "job", job_id]).out
        expect_eq(set(re.findall(r"\bTimeLimit=(\S+)", shown)), {limit}, f"row {number}: limit")
        expect_true((folder / "out dir.sbatch").is_file(), "job script beside the output")
        expect_eq(sorted(p.name for p in (output / "slurm").iterdir()),
                  sorted(f"job_{job_id}_shard_{k}.out" for k in range(shards)), "task logs")


def case_requeued_task_resumes_its_shard(t):
    rows = [
        # (ensemble_probe options, the options of the rerun)
        (["--simulation"], ["--simulation", "--resume"]),
        # Already resuming: the rerun keeps the one --resume.
        (["--resume"], ["--resume"]),
    ]
    for number, (options, rerun_options) in enumerate(rows):
        folder = t.folder(f"requeue_{number}")
        probe, config = recording_probe(folder)
        submitted, job_id = t.submit(["2", config, folder / "out", *options],
                                     env={"ENSEMBLE_PROBE": str(probe), "FAIL_TASK": "1_0"})
        expect_eq(submitted.code, 0, f"submit {submitted!r}")
        expect_eq(wait_for_job(job_id), {0: "COMPLETED", 1: "FAILED"}, "states after failure")
        release_requeued(f"{job_id}_1")
        expect_eq(wait_for_job(job_id), {0: "COMPLETED", 1: "COMPLETED"}, "states after rerun")
        tail = [str(config), str(folder / "out")]
        expect_eq({key: arguments for key, (arguments, _) in records(folder).items()}, {
            (0, 0): [*options, "--shard", "0/2", *tail],
            (1, 0): [*options, "--shard", "1/2", *tail],
            (1, 1): [*rerun_options, "--shard", "1/2", *tail],
        }, f"row {number}: runs")


def case_submit_refuses_bad_input(t):
    folder = t.folder("refused")
    probe, config = recording_probe(folder)
    usage = ("Usage: submit SHARDS CONFIG_PATH OUTPUT_DIR [ensemble_probe options...] "
             "[-- sbatch options...]\n")
    rows = [
        ([], {}, usage),
        (["3", config], {}, usage),
        (["0", config, "out"], {}, "submit: SHARDS must be a whole number from 1, got '0'\n"),
        (["a", config, "out"], {}, "submit: SHARDS must be a whole number from 1, got 'a'\n"),
        (["-1", config, "out"], {}, "submit: SHARDS must be a whole number from 1, got '-1'\n"),
        (["3", folder / "none.json", "out"], {},
         f"submit: configuration file not found: {folder / 'none.json'}\n"),
        (["3", config, "out", "--jobs", "x"], {},
         "submit: --jobs must be a whole number from 1, got 'x'\n"),
        (["3", config, "out", "--jobs=0"], {},
         "submit: --jobs must be a whole number from 1, got '0'\n"),
        (["3", config, "out", "--jobs", "auto"], {},
         "submit: --jobs must be a whole number from 1, got 'auto'\n"),
        (["3", config, "out", "--shard", "1/3"], {},
         "submit: the shard of each task is set here; do not pass --shard\n"),
        (["3", config, "out"], {"ENSEMBLE_PROBE": str(folder / "missing")},
         f"submit: ensemble_probe not found at {folder / 'missing'} "
         "(build it, or set ENSEMBLE_PROBE)\n"),
    ]
    for args, env, message in rows:
        full_env = {"ENSEMBLE_PROBE": str(probe), **env}
        submitted, job_id = t.submit(args, env=full_env, cwd=folder)
        expect_eq((submitted.code, submitted.out, submitted.err, job_id), (1, "", message, None),
                  f"submit {args}")
    expect_true(not (folder / "out.sbatch").exists(), "no job script for refused input")
    # sbatch's own refusal fails the command, with sbatch's reason on standard error.
    submitted, job_id = t.submit(["2", config, "out", "--", "--partition=no_such_partition"],
                                 env={"ENSEMBLE_PROBE": str(probe)}, cwd=folder)
    expect_eq((submitted.code, job_id), (1, None), f"refused by sbatch: {submitted!r}")
    expect_true("invalid partition" in submitted.err.lower(), f"sbatch's reason: {submitted!r}")
    expect_true(submitted.err.endswith(f"submit: sbatch failed for {folder / 'out.sbatch'}\n"),
                f"submit's line: {submitted!r}")


# ---------------------------------------------------------------------------------------------
# Real batches of the example workspace, in simulation mode with its stand-in engine

def copy_workspace(t, folder, engine_delay=0):
    workspace = folder / "workspace"
    shutil.copytree(t.source / "examples" / "workspace", workspace,
                    ignore=shutil.ignore_patterns("engine_runs"))
    if engine_delay:
        # A slower engine, so that a shard can be caught between two combinations.
        engine = workspace / "src-tauri" / "resources" / "run.sh"
        engine.rename(engine.with_name("stand_in.sh"))
        engine.write_text(f'#!/usr/bin/env bash\nsleep {engine_delay}\n'
                          f'exec bash "$(dirname "$0")/stand_in.sh" "$@"\n')
        engine.chmod(0o755)
    return workspace / "input" / "configs" / "demo_batch.json"


def variant_files(output):
    """{relative path: bytes} of the variant files under the output directory."""
    return {str(path.relative_to(output)): path.read_bytes()
            for path in sorted(output.glob("result_*/*.json"))
            if path.name != "simulation_outcome.json"}


def events(log):
    return [json.loads(line) for line in log.read_text().splitlines()] if log.exists() else []


def shard_log(output, index, count):
    return (output / "logs" / "processing" /
            f"batch_processing_native_test_shard_{index}_of_{count}.log")


def reference_run(t):
    """The single-process run: its variants and its combinations in batch order."""
    if t.reference is None:
        folder = t.folder("reference")
        config = copy_workspace(t, folder)
        output = folder / "out"
        done = run([t.probe, "--simulation", config, output])
        expect_eq(done.code, 0, f"single-process run: {done.err}")
        log = output / "logs" / "processing" / "batch_processing_native_test.log"
        models = [e["model_name"] for e in events(log) if e["event_type"] == "MODEL_START"]
        t.reference = (variant_files(output), models)
    return t.reference


def successes(output, count):
    """Counter of model names simulated successfully, over every shard's log."""
    return collections.Counter(e["model_name"] for k in range(count)
                               for e in events(shard_log(output, k, count))
                               if e["event_type"] == "SIMULATION_SUCCESS")


def case_shards_together_match_the_single_process_run(t):
    variants, models = reference_run(t)
    expect_eq(len(models), 6, "combinations of the example batch")
    folder = t.folder("sharded")
    config = copy_workspace(t, folder)
    output = folder / "out"
    submitted, job_id = t.submit(["3", config, output, "--simulation"],
                                 env={"ENSEMBLE_PROBE": str(t.probe)})
    expect_eq(submitted.code, 0, f"submit {submitted!r}")
    expect_states(job_id, {0: "COMPLETED", 1: "COMPLETED", 2: "COMPLETED"}, output)

    expect_eq(variant_files(output), variants, "variant files of all shards")
    expect_eq(successes(output, 3), collections.Counter(models), "successes over all shards")
    for k in range(3):
        log = events(shard_log(output, k, 3))
        # Numbered across groups: the second group's first combination is number 4, shard 1.
        expect_eq([e["model_name"] for e in log if e["event_type"] == "MODEL_START"],
                  models[k::3], f"combinations of shard {k}")
        expect_eq({e["job_id"] for e in log}, {f"native_test_shard_{k}_of_3"}, f"job id {k}")
        expect_eq(log[-1]["event_type"], "BATCH_COMPLETE", f"shard {k} completed")
        expect_true((output / f"progress_native_test_shard_{k}_of_3.json").is_file(),
                    f"progress file of shard {k}")
    expect_true(not (output / "logs" / "errors").exists(), "no error log")
    expect_eq(sorted(p.name for p in output.glob("*native_test.*")), [], "unsharded files")
    # The monitor reads the shards' records as one batch.
    watched = run([t.build / "ensemble_watch", "--once", "--json", output])
    expect_eq(watched.code, 0, f"ensemble_watch: {watched!r}")
    summary = json.loads(watched.out)
    expect_eq((summary["state"], summary["counts"]["total"], summary["counts"]["succeeded"],
               len(summary["ended_job_ids"])), ("complete", 6, 6, 3), "the monitor's totals")


def case_cancelled_shard_resumes_without_redoing_finished_work(t):
    variants, models = reference_run(t)
    folder = t.folder("cancelled")
    config = copy_workspace(t, folder, engine_delay=3)
    output = folder / "out"
    env = {"ENSEMBLE_PROBE": str(t.probe)}
    submitted, job_id = t.submit(["3", config, output, "--simulation"], env=env)
    expect_eq(submitted.code, 0, f"submit {submitted!r}")
    # Shard 1 has two combinations; cancel it while the engine runs on the second.
    wait_while_queued(job_id, lambda: successes(output, 3)[models[1]] == 1,
                      "shard 1's first combination")
    expect_eq(run(["scancel", f"{job_id}_1"]).code, 0, "scancel")
    expect_states(job_id, {0: "COMPLETED", 1: "CANCELLED", 2: "COMPLETED"}, output)
    cancelled = events(shard_log(output, 1, 3))
    expect_eq([e["event_type"] for e in cancelled if e["model_name"] == models[4]],
              ["MODEL_START"], "the combination under way when the shard was cancelled")

    submitted, rerun_id = t.submit(["3", config, output, "--simulation", "--resume", "--",
                                    "--array=1"], env=env)
    expect_eq(submitted.code, 0, f"resubmit {submitted!r}")
    expect_states(rerun_id, {1: "COMPLETED"}, output)
    rerun = events(shard_log(output, 1, 3))[len(cancelled):]
    expect_eq([(e["event_type"], e["model_name"]) for e in rerun
               if e["event_type"] in ("RESUME_SKIP", "SIMULATION_SUCCESS")],
              [("RESUME_SKIP", models[1]), ("SIMULATION_SUCCESS", models[4])], "the rerun")
    expect_eq(successes(output, 3), collections.Counter(models), "successes over all shards")
    expect_eq(variant_files(output), variants, "variant files of all shards")


CASES = [
    case_array_job_runs_every_task,
    case_submit_runs_one_shard_per_task,
    case_requeued_task_resumes_its_shard,
    case_submit_refuses_bad_input,
    case_shards_together_match_the_single_process_run,
    case_cancelled_shard_resumes_without_redoing_finished_work,
]


def main():
    build_dir, source_dir, wanted = sys.argv[1], sys.argv[2], sys.argv[3:]
    if "SLURM_CONF" not in os.environ:
        print("SLURM_CONF is not set: start a cluster first (scripts/test-slurm)")
        return 1
    work = os.environ.get("SLURM_E2E_WORK") or tempfile.mkdtemp(prefix="ensemble-slurm-e2e.")
    t = Pass(build_dir, source_dir, work)
    cases = [c for c in CASES if not wanted or any(w in c.__name__ for w in wanted)]
    return 0 if t.run(cases) else 1


if __name__ == "__main__":
    sys.exit(main())
