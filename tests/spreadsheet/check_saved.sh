#!/usr/bin/env bash
# Reads the books test_spreadsheet saved with the fixtures' independent reader.
#   tests/spreadsheet/check_saved.sh <build folder>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?build folder}" && pwd)"
NODE_PATH="$build/node/node_modules" node "$here/check_saved.js" "$build/fixtures/saved"
