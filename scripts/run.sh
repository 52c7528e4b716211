#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it under Wine.
#   scripts/run.sh ["book.xls?list.txt?"]
# The argument is the program's command line (the estimating program passes
# "workbook?listfile?"). Without a desktop display a virtual one is started,
# a screenshot of the screen is taken after a few seconds and its path printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install.sh
scripts/build.sh win64 --target xls2zalbiro
had_display="${DISPLAY:-}"
. scripts/wine-env.sh build
trap x2z_env_stop EXIT
cmdline="${1-}"
x2z_wine build/app/xls2zalbiro.exe "$cmdline" &
pid=$!
if [ -z "$had_display" ]; then
  sleep 4
  shot="$PWD/build/screenshot.png"
  import -window root "$shot"
  echo "screenshot: $shot"
  # Nobody can answer on a virtual display: close what the program shows.
  for _ in 1 2 3; do xdotool key --clearmodifiers Return >/dev/null 2>&1 || true; sleep 1; done
  kill "$pid" >/dev/null 2>&1 || true
fi
wait "$pid" || true
