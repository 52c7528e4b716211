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

if [ -z "${DISPLAY:-}" ] || ! xdotool getdisplaygeometry >/dev/null 2>&1; then
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      export X2Z_XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
      break
    fi
  done
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
  [ -n "${X2Z_XVFB_PID:-}" ] && kill "$X2Z_XVFB_PID" >/dev/null 2>&1 || true
}
