#!/usr/bin/env bash
# Runs the engine benchmark on the fixture workbooks (one process per file,
# so each peak is its own). Needs a test build with its fixtures:
#   scripts/build.sh win64 && tests/spreadsheet/setup_fixtures.sh build
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh build >/dev/null
fx=build/fixtures/spreadsheet
for f in rows10k.xlsx big100000.xlsx rows10k.xls big60000.xls; do
  timeout 300 build/wine-run.sh build/bench/spreadsheet_bench.exe "$fx/$f" > /tmp/x2z-bench.log 2>&1 || true
  grep -v '^[0-9a-f]*:\(fixme\|err\|warn\)' /tmp/x2z-bench.log
done
timeout 600 build/wine-run.sh build/bench/spreadsheet_bench.exe "$fx/big100000.xlsx" 1000000 > /tmp/x2z-bench.log 2>&1 || true
grep -v '^[0-9a-f]*:\(fixme\|err\|warn\)' /tmp/x2z-bench.log
for f in big100000.xlsx big60000.xls; do
  timeout 300 build/wine-run.sh build/bench/save_bench.exe "$fx/$f" "build/fixtures/saved-bench-$f" > /tmp/x2z-bench.log 2>&1 || true
  grep -v '^[0-9a-f]*:\(fixme\|err\|warn\)' /tmp/x2z-bench.log
done
