#!/usr/bin/env python3
"""Checks that two ensemble_probe binaries produce the same bytes.

Runs each binary on the same generated workspaces (the realistic and the small model) and on
any extra configuration given, into the same output path one after the other, then compares
every file they wrote and their console output byte for byte. Timestamps are the only text
allowed to differ.

Usage: compare_outputs.py OLD_BINARY NEW_BINARY [--build-dir DIR] [--config PATH ...]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

TIMESTAMP = re.compile(rb'\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ')


def run(binary, config, out, simulation):
    shutil.rmtree(out, ignore_errors=True)
    command = [binary] + (["--simulation"] if simulation else []) + [config, out]
    result = subprocess.run(command, capture_output=True)
    return result.returncode, result.stdout, result.stderr


def masked(data):
    return TIMESTAMP.sub(b"<timestamp>", data)


def tree(root):
    files = {}
    for directory, _, names in os.walk(root):
        for name in names:
            path = os.path.join(directory, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, root)] = f.read()
    return files


def compare(old, new, config, work, simulation=False):
    out = os.path.join(work, "out")
    results = []
    for binary in (old, new):
        code, stdout, stderr = run(binary, config, out, simulation)
        results.append((code, masked(stdout), masked(stderr), tree(out)))
    (code_a, out_a, err_a, files_a), (code_b, out_b, err_b, files_b) = results
    problems = []
    if code_a != code_b:
        problems.append(f"exit status {code_a} != {code_b}")
    if out_a != out_b:
        problems.append("standard output differs")
    if err_a != err_b:
        problems.append("standard error differs")
    if files_a.keys() != files_b.keys():
        problems.append(f"file sets differ: {sorted(files_a.keys() ^ files_b.keys())[:5]}")
    for name in sorted(files_a.keys() & files_b.keys()):
        if masked(files_a[name]) != masked(files_b[name]):
            problems.append(f"{name} differs")
    label = f"{config}{' (simulation)' if simulation else ''}"
    print(f"{'OK  ' if not problems else 'DIFF'} {label}: {len(files_a)} files, "
          f"{len(out_a)} bytes of output")
    for problem in problems[:10]:
        print(f"     {problem}")
    return not problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--build-dir", default=os.path.join(os.path.dirname(__file__), "..", "..",
                                                            "build"))
    parser.add_argument("--config", action="append", default=[])
    args = parser.parse_args()
    maker = os.path.join(os.path.abspath(args.build_dir), "bench", "bench_make_workspace")
    old, new = os.path.abspath(args.old), os.path.abspath(args.new)
    work = tempfile.mkdtemp(prefix="compare-outputs-")
    try:
        configs = []
        for name, options in (("realistic", ["--lists", "2,2,3,2"]),
                              ("small", ["--small", "--lists", "3,3,3,3"])):
            root = os.path.join(work, name)
            made = subprocess.run([maker, root, *options], check=True, capture_output=True,
                                  text=True)
            configs.append(made.stdout.strip())
        ok = all([compare(old, new, config, work) for config in configs + args.config])
        sys.exit(0 if ok else 1)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
