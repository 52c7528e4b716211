#!/usr/bin/env bash
# Installs what is missing, builds the product and the test build, and runs
# every test under Wine and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install.sh
scripts/build.sh win32 --target xls2zalbiro
scripts/build.sh win64
. scripts/wine-env.sh build
trap x2z_env_stop EXIT
ctest --test-dir build --output-on-failure --no-tests=error -j1 "$@"
