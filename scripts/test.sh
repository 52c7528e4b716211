#!/usr/bin/env bash
# Installs what is missing, builds the product and the test build, and runs
# every test under Wine and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install.sh
scripts/build.sh win64
scripts/build.sh win32
start=$SECONDS
rc64=0
(
  . scripts/wine-env.sh build
  trap x2z_env_stop EXIT
  ctest --test-dir build --output-on-failure --no-tests=error -j1 "$@"
) || rc64=$?
echo "64-bit tests: $((SECONDS - start)) s"
# The shipped 32-bit program end to end and the 32-bit test programs, on
# the fixtures the 64-bit run wrote.
start=$SECONDS
rc32=0
ctest --test-dir build-win32 --output-on-failure --no-tests=error -j1 "$@" || rc32=$?
echo "32-bit tests: $((SECONDS - start)) s"
[ "$rc64" -eq 0 ] && [ "$rc32" -eq 0 ]
