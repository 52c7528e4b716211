#!/usr/bin/env bash
# Writes the workbooks of the end-to-end tests into <build>/fixtures/e2e with
# the writer that the spreadsheet fixtures installed into <build>/node.
#   tests/e2e/setup_books.sh <build folder>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?build folder}" && pwd)"
out="$build/fixtures/e2e"
if [ ! -f "$out/done.stamp" ] || [ "$here/make_books.js" -nt "$out/done.stamp" ] || [ "$here/../spreadsheet/book_patches.js" -nt "$out/done.stamp" ]; then
  rm -rf "$out"
  NODE_PATH="$build/node/node_modules" node "$here/make_books.js" "$out"
fi
