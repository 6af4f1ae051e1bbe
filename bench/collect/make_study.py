#!/usr/bin/env python3
"""Writes a synthetic finished batch for ensemble_collect's benchmark.

A workspace with one configuration (group "g", two parameter lists whose product is N) and an
output directory as a simulation batch leaves it: per combination a variant file, an outcome
record that matches it, and below engine/outputs a sectioned summary CSV (about 2 KB); with
--series KB also a time-series CSV of about that size. One combination in 50 has no outcome
record and a failed simulation in the error log; one in 100 has no variant file. The numbers
are made up from the combination index; nothing is simulated.

Usage: make_study.py DIR N [--series KB]
Prints the configuration path and the metrics file path.
"""
import argparse
import hashlib
import json
import os

RECORD = """{{
  "format": 1,
  "config_name": "study",
  "model_name": "{model}",
  "variant_sha256": "{sha}",
  "weather_file": "/ws/weather_files/site.epw",
  "weather_sha256": "{weather}",
  "engine_options": [],
  "fingerprint": "{weather}",
  "completed_at": "2026-12-06T10:00:00Z",
  "duration_s": {duration:.3f},
  "attempts": 1
}}"""

SUMMARY = """Energy Demand Summary
,Total,Peak,Units
Space heat demand,{heat:.2f},{peak:.3f},kWh
Water heat demand,{water:.2f},0.8,kWh
Lighting,{light:.2f},0.2,kWh

Delivered Energy
Fuel,Heating,Water,Lighting,Total
Electricity,{e1:.2f},{e2:.2f},{light:.2f},{etotal:.2f}
Net import,{e1:.2f},{e2:.2f},{light:.2f},{etotal:.2f}

Emissions
Source,kgCO2
Grid,{co2:.1f}
"""

METRICS = {"metrics": [
    {"name": "heat_demand", "file": "*__summary.csv", "section": "Energy Demand Summary",
     "row": "Space heat demand", "column": "Total"},
    {"name": "import_kwh", "file": "*__summary.csv", "row": "Net import", "column": 4},
    {"name": "co2", "file": "*__summary.csv", "section": "Emissions", "row": "Grid",
     "column": "kgCO2"},
]}
SERIES_METRIC = {"name": "pump_kwh_sum", "file": "*__results.csv", "column": "pump: energy",
                 "reduce": "sum"}


def series_text(kilobytes):
    header = "timestep,outdoor: temperature,zone: temperature,pump: energy,boiler: energy," \
             "lighting: energy,notes\n"
    units = "-,C,C,kWh,kWh,kWh,-\n"
    lines = [header, units]
    size = len(header) + len(units)
    step = 0
    while size < kilobytes * 1024:
        line = "%d,%.2f,%.2f,%.4f,%.4f,%.4f,ok\n" % (
            step, 5 + (step % 24) * 0.3, 19.5 + (step % 7) * 0.1, 0.01 * (step % 13),
            0.2 + 0.001 * (step % 97), 0.05 * (step % 3))
        lines.append(line)
        size += len(line)
        step += 1
    return "".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dir")
    parser.add_argument("n", type=int)
    parser.add_argument("--series", type=int, default=0, metavar="KB")
    args = parser.parse_args()
    root = os.path.abspath(args.dir)
    first = 100 if args.n >= 100 else 1
    second = args.n // first
    config_dir = os.path.join(root, "ws", "input", "configs")
    os.makedirs(config_dir, exist_ok=True)
    config_path = os.path.join(config_dir, "study.json")
    with open(config_path, "w") as f:
        json.dump({"g": {"base_json": ["house"], "weather_files": ["site"],
                         "fabric": ["fabric_%03d" % i for i in range(first)],
                         "tariff": ["tariff_%05d" % i for i in range(second)]}}, f)
    metrics = dict(METRICS)
    if args.series:
        metrics = {"metrics": METRICS["metrics"] + [SERIES_METRIC]}
    metrics_path = os.path.join(root, "metrics.json")
    with open(metrics_path, "w") as f:
        json.dump(metrics, f, indent=1)
    series = series_text(args.series) if args.series else ""
    out = os.path.join(root, "out")
    errors = []
    weather = hashlib.sha256(b"weather").hexdigest()
    for index in range(first * second):
        model = "g_%d" % index
        result = os.path.join(out, "result_study_" + model)
        if index % 100 == 99:
            continue
        outputs = os.path.join(result, "engine", "outputs")
        os.makedirs(outputs)
        variant = ('{"index": %d, "padding": "%s"}\n' % (index, "x" * 2000)).encode()
        with open(os.path.join(result, "g.json"), "wb") as f:
            f.write(variant)
        if index % 50 == 7:
            errors.append(json.dumps({
                "timestamp": "2026-12-06T10:00:00Z", "job_id": "native_test",
                "config_name": "study", "error_code": "SIMULATION_FAILED",
                "error_message": "Simulation failed. Exit code: Some(1)", "model_name": model,
                "combination_index": index, "total_combinations": first * second,
                "additional_data": {}}, separators=(",", ":")))
            continue
        with open(os.path.join(result, "simulation_outcome.json"), "w") as f:
            f.write(RECORD.format(model=model, sha=hashlib.sha256(variant).hexdigest(),
                                  weather=weather, duration=0.5 + (index % 10) * 0.01))
        heat = 4000 + (index // second) * 13.7 + (index % second) * 0.9
        e1 = heat / 3.1
        with open(os.path.join(outputs, model + "__summary.csv"), "w") as f:
            f.write(SUMMARY.format(heat=heat, peak=heat / 2000, water=1800 + index % 7,
                                   light=300 + index % 5, e1=e1, e2=600.0,
                                   etotal=e1 + 900 + index % 5, co2=e1 * 0.2))
        if series:
            with open(os.path.join(outputs, model + "__results.csv"), "w") as f:
                f.write(series)
    os.makedirs(os.path.join(out, "logs", "errors"), exist_ok=True)
    with open(os.path.join(out, "logs", "errors", "batch_errors_native_test.jsonl"), "w") as f:
        f.write("".join(line + "\n" for line in errors))
    print(config_path)
    print(metrics_path)


if __name__ == "__main__":
    main()
