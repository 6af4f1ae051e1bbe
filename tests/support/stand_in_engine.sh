#!/bin/bash
# Stands in for the engine script (src-tauri/resources/run.sh) in the tests and benchmarks of
# overlapping runs. Each run leaves a record of what it was given and when it ran:
#
#   $STAND_IN_RECORD_DIR/run-<pid>.txt         "start <us>", "pid <pid>", "child <pid>", one
#                                              "arg <word>" line per argument ($0 first),
#                                              "WORKSPACE=<value>", then "stop <us>" at the end
#   $STAND_IN_RECORD_DIR/run-<pid>.model.json  a copy of the model it was handed
#
#   STAND_IN_RECORD_DIR   where the records go (default: runs/ beside this script)
#   STAND_IN_SLEEP        seconds the run takes, in a child process (default 0)
#   STAND_IN_FAIL_TEXT    a run whose model contains this text fails ...
#   STAND_IN_FAIL_STATUS  ... with this exit status (default 3)
#
# Times are microseconds since the epoch, taken without starting a process.
here=$(dirname "$0")
dir=${STAND_IN_RECORD_DIR:-$here/runs}
mkdir -p "$dir"
record="$dir/run-$$"
now() { local t=$EPOCHREALTIME; echo "${t//[.,]/}"; }
{
  echo "start $(now)"
  echo "pid $$"
  printf 'arg %s\n' "$0" "$@"
  echo "WORKSPACE=${WORKSPACE-unset}"
} > "$record.txt"
cp "$1" "$record.model.json"
sleep "${STAND_IN_SLEEP:-0}" &
echo "child $!" >> "$record.txt"
wait $!
echo "stop $(now)" >> "$record.txt"
echo "stand-in engine finished"
if [ -n "${STAND_IN_FAIL_TEXT-}" ] && grep -qF -- "$STAND_IN_FAIL_TEXT" "$record.model.json"; then
  echo "stand-in engine failed on request" >&2
  exit "${STAND_IN_FAIL_STATUS:-3}"
fi
exit 0
