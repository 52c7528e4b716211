#!/usr/bin/env bash
# Configures and builds one target into its folder.
#   scripts/build.sh [win32|win64] [cmake --build options...]
# win32 (build-win32/) is the product, xls2zalbiro.exe for 32-bit Windows,
# with the test programs that run 32-bit too (through the run32 emulation).
# win64 (build/) is the same code for 64-bit Windows, with every test and the
# benchmarks: the fast build, native to Wine here.
set -euo pipefail
cd "$(dirname "$0")/.."
arch="${1:-win64}"
[ $# -gt 0 ] && shift
case "$arch" in
  win32) dir=build-win32; tc=cmake/mingw32.cmake; tests=ON ;;
  win64) dir=build;       tc=cmake/mingw64.cmake; tests=ON ;;
  *) echo "unknown target: $arch" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$tc" -DCMAKE_BUILD_TYPE=Release -DX2Z_TESTS=$tests >/dev/null
cmake --build "$dir" -j"$(nproc)" "$@"
