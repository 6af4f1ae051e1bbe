#!/usr/bin/env bash
# Checks the Windows release as a user gets it: makes the .zip (scripts/package windows),
# unpacks it below C:\ of the Wine prefix and runs the programs from there with nothing of
# MinGW on the path: each one's --version, the example batch from the unpacked share folder and
# the monitor's view of it; and no program imports a DLL that Windows does not ship.
#
# Usage: run_release.sh SOURCE_DIR   (WINEPREFIX an initialised prefix; WINE the loader)
# Prints one line per check and ends with "release: N passed, M failed".
set -uo pipefail
root=$1
wine=${WINE:-/usr/lib/wine/wine64}
passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then passed=$((passed + 1)); echo "PASS $what"; else failed=$((failed + 1)); echo "FAIL $what"; fi
}
finish() {
  echo "release: $passed passed, $failed failed"
  exit 0
}

"$root/scripts/package" windows || { failed=1; finish; }
version=$(sed -n 's/^project(ensemble_probe VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name="ensemble-probe-$version-windows-x86_64"
zip="$root/out/packages/$name.zip"
echo "$(stat -c %s "$zip") bytes in $(basename "$zip")"
release_dir="$WINEPREFIX/drive_c/release"
rm -rf "$release_dir"
mkdir -p "$release_dir"
(cd "$release_dir" && cmake -E tar xf "$zip") || { failed=1; finish; }
top="C:\\release\\$name"
unix_top="$release_dir/$name"

# The programs run with the prefix's own path only.
run() { env -u WINEPATH WINEDEBUG=-all "$wine" "$@" 2>&1 < /dev/null | tr -d '\r'; }

# Everything a Windows machine has; MinGW's runtime DLLs (libstdc++, libgcc, libwinpthread) are not.
system_dlls_only() {
  local imports
  imports=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z')
  ! grep -qvE '^(kernel32|msvcrt|user32|advapi32|shell32|ws2_32|bcrypt|ntdll|ole32|api-ms-win-.*)\.dll$' \
    <<< "$imports" || { echo "  $1 imports: $imports"; return 1; }
}

version_is() { [ "$(run "$1" --version)" = "$2 $version" ]; }

count=0
for exe in "$unix_top"/bin/*.exe; do
  program=$(basename "$exe" .exe)
  count=$((count + 1))
  check "$program.exe imports only system DLLs" system_dlls_only "$exe"
  check "$program.exe --version" version_is "$top\\bin\\$program.exe" "$program"
done
check "the .zip holds the four programs" test "$count" -ge 4
check "the .zip holds the README" test -f "$unix_top/share/ensemble_probe/README.md"

example_batch() {
  local out
  out=$(run "$top\\bin\\ensemble_probe.exe" \
    "$top\\share\\ensemble_probe\\examples\\workspace\\input\\configs\\demo_batch.json" \
    "C:\\release\\out") || { echo "$out"; return 1; }
  tail -n 1 <<< "$out"
  [ "$(find "$release_dir/out" -path '*/result_*/*.json' | wc -l)" -eq 6 ]
}
check "the example batch (JSON-only) from the unpacked share folder" example_batch
check "ensemble_watch.exe --once on it" run "$top\\bin\\ensemble_watch.exe" --once "C:\\release\\out"
check "ensemble_collect.exe tables it" run "$top\\bin\\ensemble_collect.exe" \
  --metrics "$top\\share\\ensemble_probe\\examples\\workspace\\metrics.json" \
  "$top\\share\\ensemble_probe\\examples\\workspace\\input\\configs\\demo_batch.json" \
  "C:\\release\\out"
check "the table has a written row per combination" \
  test "$(grep -c ',written,' "$release_dir/out/study_demo_batch.csv")" -eq 6
rm -rf "$release_dir"
finish
