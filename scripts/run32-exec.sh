#!/usr/bin/env bash
# Runs a command in which Wine's 32-bit loader works, on hosts whose kernel
# executes no 32-bit code: through the shared run32 emulation, with the test
# settings of the 64-bit runs (code page 1251 with a decimal comma, no
# offers to install Mono or Gecko, unmanaged windows).
#   scripts/run32-exec.sh PREFIX WORKDIR COMMAND [ARGS...]
# Inside COMMAND, `wine x.exe` starts 32-bit and 64-bit programs alike.
# X2Z_RUN32_DIR names the run32 folder (default: shared/run32 beside the
# project); RUN32_HOME where its emulator lives (its default /tmp/run32).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
run32="${X2Z_RUN32_DIR:-$here/../../shared/run32}"
prefix="${1:?prefix}"
workdir="${2:?workdir}"
shift 2
mkdir -p "$prefix"
prefix="$(cd "$prefix" && pwd)"
export LC_ALL=ru_RU.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
exec "$run32/run32.sh" -p "$prefix" "$workdir" bash -c '
  # Without a window manager Wine waits about 2 s on every window close
  # unless its windows are unmanaged.
  if ! grep -q "^\"Managed\"=\"N\"" "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine64 reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  fi
  exec "$@"' run32-exec "$@"
