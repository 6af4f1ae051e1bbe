#!/usr/bin/env bash
# -----------------------------------------------------------------------------------------------
# STAND-IN ENGINE. This script is NOT the simulation engine. It exists so that the example
# workspace can be run end to end in simulation mode without the real engine installed.
# It checks the arguments it is given the way the real engine would need them, writes one short
# summary per run beside the model file, named after the combination, and exits 0. No energy is
# simulated. Replace this file with the real engine's run.sh to simulate for real.
#
# So that the study table (ensemble_collect with ../../metrics.json) has numbers to show, it
# also writes {combination}__summary.csv in the sectioned layout engines use for their summaries,
# with stand-in figures worked out from the model's fabric: the heat loss coefficient (the sum
# of area times U-value over the building elements) and a space heat demand of 55 kWh per W/K
# (about 2,300 degree days). They move with the fabric parameters and are not a simulation.
#
# Arguments: <model file> <weather file> <config name> [engine option ...]
# Environment: WORKSPACE, the workspace directory; ENSEMBLE_MODEL_NAME, the combination
# ({group}_{index}); ENSEMBLE_RESULT_DIR, the combination's result directory.
#
# The model file is in a directory of its run's own, and whatever the engine leaves there is
# kept in {result directory}/engine/outputs/ once it ends, so runs that overlap never meet.
# -----------------------------------------------------------------------------------------------
set -u

fail() {
  echo "stand-in engine: $*" >&2
  exit 2
}

[ $# -ge 3 ] || fail "usage: run.sh <model file> <weather file> <config name> [engine option ...]"
model_file=$1
weather_file=$2
config_name=$3
shift 3

[ -n "${WORKSPACE:-}" ] || fail "WORKSPACE is not set"
[ -f "$model_file" ] || fail "model file not found: $model_file"
# Some systems have a python3 that only points at an installer, hence the trial run. The one
# reading of the model checks that it is JSON and works out the figures of the summary table,
# written once every check has passed; without python3 the table shows them as missing.
table=
if python3 -c pass >/dev/null 2>&1; then
  table=$(python3 - "$model_file" <<'PY'
import json, sys
try:
    model = json.load(open(sys.argv[1], encoding="utf-8"))
except ValueError:
    sys.exit(1)

def members(value, name):
    inner = value.get(name) if isinstance(value, dict) else None
    return inner.values() if isinstance(inner, dict) else []

def number(value):
    return value if isinstance(value, (int, float)) and not isinstance(value, bool) else 0

loss = sum(number(element.get("area", 0)) * number(element.get("u_value", 0))
           for zone in members(model, "Zone")
           for element in members(zone, "BuildingElement") if isinstance(element, dict))
sys.stdout.buffer.write(("Fabric\r\n,Value,Unit\r\n"
                         f"Heat loss coefficient,{loss:.1f},W/K\r\n\r\n"
                         "Energy Demand Summary\r\n,Total,Unit\r\n"
                         f"Space heat demand,{loss * 55:.0f},kWh\r\n").encode())
PY
  ) || fail "model file is not valid JSON: $model_file"
else
  [ -s "$model_file" ] || fail "model file is empty: $model_file"
fi
[ -f "$weather_file" ] || fail "weather file not found: $weather_file"
[ -n "$config_name" ] || fail "config name is empty"

model_name=${ENSEMBLE_MODEL_NAME:-model}
summary="$(dirname "$model_file")/${model_name}__summary.txt"

{
  echo "stand-in engine run for ${model_name} (no simulation was performed)"
  echo "model file:   $model_file"
  echo "weather file: $weather_file"
  echo "config name:  $config_name"
  if [ $# -eq 0 ]; then
    echo "options:      (none)"
  else
    echo "options:      $*"
  fi
  echo "WORKSPACE:    $WORKSPACE"
  echo "result dir:   ${ENSEMBLE_RESULT_DIR:-(not given)}"
} >"$summary" || fail "cannot write $summary"

if [ -n "$table" ]; then
  # The command substitution took the last line end's "\n"; the "\r" before it is still there.
  printf '%s\n' "$table" >"$(dirname "$model_file")/${model_name}__summary.csv" ||
    fail "cannot write the summary table of ${model_name}"
fi

echo "stand-in engine: summary written for ${model_name}"
exit 0
