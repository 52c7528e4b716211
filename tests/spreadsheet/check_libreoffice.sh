#!/usr/bin/env bash
# Opens the books test_spreadsheet saved in LibreOffice (headless) and checks
# the written cells.   tests/spreadsheet/check_libreoffice.sh <build folder>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?build folder}" && pwd)"
if ! command -v soffice >/dev/null 2>&1; then
  echo "LibreOffice is not installed (scripts/install.sh installs it)" >&2
  exit 1
fi
exec node "$here/check_libreoffice.js" "$build/fixtures/saved" "$build/libreoffice-check"
