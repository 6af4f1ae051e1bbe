#!/bin/bash
# Stands in for the engine script (src-tauri/resources/run.sh) in the tests of what engine runs
# leave. Beside the model file it is handed (its run directory) it writes
#
#   {model}__summary.txt   the model name it was told, the SHA-256 of the model it read and the
#                          result directory it was told, one per line
#   out/deep/series.csv    a nested folder
#
# and it prints "stdout of {model}" and "stderr of {model}" to its two streams. {model} is
# ENSEMBLE_MODEL_NAME.
#
#   ENGINE_STALE_FILE   also writes a file of this name beside the model
#   ENGINE_FAIL_TEXT    a model containing this text fails with status 4, after its outputs
#   ENGINE_HANG_TEXT    a model containing this text starts a child that sleeps and waits for it;
#                       both process ids go to $ENGINE_RECORDS/{model}.pids
#   ENGINE_FAIL_TIMES   each model fails (status 5) until it has been started this many times
#                       more, counted in $ENGINE_RECORDS/{model}.attempts
here=$(dirname "$1")
name=${ENSEMBLE_MODEL_NAME-unset}
mkdir -p "$here/out/deep"
printf '%s\n%s\n%s\n' "$name" "$(sha256sum "$1" | cut -d' ' -f1)" "${ENSEMBLE_RESULT_DIR-unset}" \
  > "$here/${name}__summary.txt"
printf '1\n2\n3\n' > "$here/out/deep/series.csv"
[ -z "${ENGINE_STALE_FILE-}" ] || echo stale > "$here/$ENGINE_STALE_FILE"
echo "stdout of $name"
echo "stderr of $name" >&2
if [ -n "${ENGINE_HANG_TEXT-}" ] && grep -qF -- "$ENGINE_HANG_TEXT" "$1"; then
  sleep 600 &
  echo "$$ $!" > "$ENGINE_RECORDS/$name.pids"
  wait
fi
if [ -n "${ENGINE_FAIL_TIMES-}" ]; then
  echo attempt >> "$ENGINE_RECORDS/$name.attempts"
  [ "$(wc -l < "$ENGINE_RECORDS/$name.attempts")" -gt "$ENGINE_FAIL_TIMES" ] || exit 5
fi
if [ -n "${ENGINE_FAIL_TEXT-}" ] && grep -qF -- "$ENGINE_FAIL_TEXT" "$1"; then
  exit 4
fi
exit 0
