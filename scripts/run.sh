#!/usr/bin/env bash
# Installs what is missing, builds the program, makes the sample bill of
# quantities and starts the program on it under Wine: the shipped 32-bit
# program, through the run32 emulation (X2Z_RUN64=1: the 64-bit build).
#   scripts/run.sh                      # the sample: "sample.xlsx?list.txt?"
#   scripts/run.sh "book.xls?list.txt?" # any command line (the estimating
#                                       # program passes "workbook?listfile?")
# On a desktop the program's window opens there. Without a display a virtual
# one is started; screenshots of both pages are taken and their paths printed
# (X2Z_SCREENSHOTS=1 takes them on a given display as well).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
scripts/install.sh
if [ "${X2Z_RUN64:-}" = 1 ]; then
  scripts/build.sh win64 --target xls2zalbiro
  exe="$root/build/app/xls2zalbiro.exe"
else
  scripts/build.sh win32 --target xls2zalbiro
  exe="$root/build-win32/app/xls2zalbiro.exe"
fi

sample="$root/build/sample"
mkdir -p "$sample"
if [ $# -eq 0 ]; then
  # The sample workbook comes from tools/sample/sample.json through the pinned
  # npm package xlsx; nothing of it is kept in the repository.
  node_dir="$root/build/node-sample"
  if ! cmp -s tools/sample/package-lock.json "$node_dir/package-lock.json" 2>/dev/null \
      || [ ! -d "$node_dir/node_modules/xlsx" ]; then
    mkdir -p "$node_dir"
    cp tools/sample/package.json tools/sample/package-lock.json "$node_dir/"
    (cd "$node_dir" && npm ci --no-audit --no-fund --silent)
  fi
  NODE_PATH="$node_dir/node_modules" node tools/sample/make_sample.js "$sample/sample.xlsx" >/dev/null
  cmdline="sample.xlsx?list.txt?"
else
  cmdline="$1"
fi

had_display="${DISPLAY:-}"
. scripts/wine-env.sh build
trap x2z_env_stop EXIT
# Relative paths of the command line are taken from the sample folder.
if [ "${X2Z_RUN64:-}" = 1 ]; then
  (cd "$sample" && exec /usr/lib/wine/wine64 "$exe" "$cmdline") &
else
  RUN32_DISPLAY="$DISPLAY" scripts/run32-exec.sh "$root/build-win32/wineprefix" "$sample" wine "$exe" "$cmdline" &
fi
pid=$!
if [ -z "$had_display" ] || [ "$had_display" != "$DISPLAY" ] || [ "${X2Z_SCREENSHOTS:-}" = 1 ]; then
  # The first 32-bit start also makes its Wine prefix: wait for the window.
  for _ in $(seq 240); do
    xdotool search --name "Перевод XLS" >/dev/null 2>&1 && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  # Emulated, the first paint of the workbook takes a while.
  sleep 10
  shot="$root/build/screenshot-convert.png"
  import -window root "$shot"
  echo "screenshot of the convert page: $shot"
  # The options page: a click on its tab (the second one).
  win=$(xdotool search --name "Перевод XLS" 2>/dev/null | head -1 || true)
  if [ -n "$win" ]; then
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool mousemove $((X + 150)) $((Y + 40)) click 1 >/dev/null 2>&1 || true
    sleep 1
    shot="$root/build/screenshot-options.png"
    import -window root "$shot"
    echo "screenshot of the options page: $shot"
  fi
  # Nobody can answer on a virtual display: close what the program shows.
  for _ in 1 2 3; do xdotool key --clearmodifiers Return >/dev/null 2>&1 || true; sleep 1; done
  if [ "${X2Z_RUN64:-}" = 1 ]; then
    kill "$pid" >/dev/null 2>&1 || true
  else
    # The emulated program's processes end with their prefix's server.
    WINEPREFIX="$root/build-win32/wineprefix" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  fi
fi
wait "$pid" || true
if [ -f "$sample/list.txt" ]; then echo "list file: $sample/list.txt"; fi
