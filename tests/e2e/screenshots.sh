#!/usr/bin/env bash
# Takes screenshots of the real program while the end-to-end test drives it:
# the program showing a Cyrillic workbook, during a conversion of a large one
# and at its end. Needs a built tree with the e2e books (ctest -R e2e).
#   tests/e2e/screenshots.sh [build folder] [output folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$(mkdir -p "${2:-$build/screenshots}" && cd "${2:-$build/screenshots}" && pwd)"
rm -f "$out"/*.png "$out"/*.request
. "$root/scripts/wine-env.sh" "$build"
export X2Z_BINARY_DIR="$build" X2Z_SOURCE_DIR="$root" X2Z_SHOT_DIR="$out"
timeout 300 "$build/wine-run.sh" "$build/tests/test_e2e.exe" --gtest_also_run_disabled_tests \
  --gtest_filter='*DISABLED_Screenshots' >"$out/test.log" 2>&1 &
test_pid=$!
while kill -0 "$test_pid" 2>/dev/null; do
  for request in "$out"/*.request; do
    [ -e "$request" ] || continue
    import -window root "${request%.request}.png"
    rm -f "$request"
  done
  sleep 0.2
done
wait "$test_pid" && status=0 || status=$?
ls "$out"/*.png 2>/dev/null || true
exit "$status"
