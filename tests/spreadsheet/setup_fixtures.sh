#!/usr/bin/env bash
# Installs the pinned workbook writer into <build>/node (npm ci, only when the
# lock file changed) and writes the fixture workbooks into <build>/fixtures.
#   tests/spreadsheet/setup_fixtures.sh <build folder>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?build folder}" && pwd)"
node_dir="$build/node"
mkdir -p "$node_dir"
if ! cmp -s "$here/package-lock.json" "$node_dir/package-lock.json" || [ ! -d "$node_dir/node_modules/xlsx" ]; then
  cp "$here/package.json" "$here/package-lock.json" "$node_dir/"
  (cd "$node_dir" && npm ci --no-audit --no-fund --loglevel=error)
fi
out="$build/fixtures/spreadsheet"
if [ ! -f "$out/done.stamp" ] || [ "$here/make_fixtures.js" -nt "$out/done.stamp" ] || [ "$here/book_patches.js" -nt "$out/done.stamp" ]; then
  rm -rf "$out"
  NODE_PATH="$node_dir/node_modules" node "$here/make_fixtures.js" "$out"
fi
