#!/usr/bin/env bash
# Source this file: it prepares the Wine prefix of a build folder and a display.
#   . scripts/wine-env.sh BUILD_DIR
# Exports WINEPREFIX, WINEARCH, WINEDEBUG, WINEDLLOVERRIDES, LC_ALL and DISPLAY;
# starts Xvfb when no display is set and keeps one wineserver alive across
# the test programs (start-up costs a second a process otherwise).
x2z_build="$(cd "${1:?build folder}" && pwd)"
export WINEPREFIX="$x2z_build/wineprefix"
export WINEARCH=win64
export WINELOADER=/usr/lib/wine/wine64
x2z_wine() { /usr/lib/wine/wine64 "$@"; }
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ru_RU.UTF-8

# A display: the caller's, else the virtual one this build folder started
# before (still alive), else a new one, remembered for the next shell.
x2z_display_file="$x2z_build/.xvfb-display"
if [ -z "${DISPLAY:-}" ] || ! xdotool getdisplaygeometry >/dev/null 2>&1; then
  if [ -f "$x2z_display_file" ] && DISPLAY="$(cat "$x2z_display_file")" xdotool getdisplaygeometry >/dev/null 2>&1; then
    export DISPLAY="$(cat "$x2z_display_file")"
  else
    for n in $(seq 90 140); do
      if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
        export X2Z_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
        echo "$DISPLAY" > "$x2z_display_file"
        break
      fi
    done
  fi
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  x2z_wine wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # Without a window manager Wine waits about 2 s on every window close
  # unless its windows are unmanaged.
  x2z_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
fi
wineserver -p >/dev/null 2>&1 </dev/null || true
# Start Wine's own services now, with no terminal or pipe of ours: started by
# the first test program instead, they would inherit its output pipe and keep
# the test runner waiting for an end of file that never comes.
x2z_wine wineboot >/dev/null 2>&1 </dev/null || true

x2z_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${X2Z_XVFB_PID:-}" ]; then
    kill "$X2Z_XVFB_PID" >/dev/null 2>&1 || true
    rm -f "$x2z_display_file"
  fi
}
