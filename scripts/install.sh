#!/usr/bin/env bash
# Installs what the build and the tests need, when it is missing. Idempotent:
# with everything present it only checks and returns within seconds.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# The i386 architecture and wine32 run the 32-bit product where the host can
# execute 32-bit code; wine64 runs the 64-bit test build everywhere.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
for p in wine wine64 wine32:i386 g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686 \
         g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 libz-mingw-w64-dev cmake make googletest xvfb xdotool imagemagick locales \
         libreoffice-calc-nogui; do
  have_pkg "$p" || need+=("$p")
done
# Node.js makes the fixture workbooks; a machine may carry its own build with npm inside.
command -v node >/dev/null 2>&1 || need+=(nodejs)
command -v npm >/dev/null 2>&1 || need+=(npm)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Wine uses code page 1251 only when the ru_RU.UTF-8 locale is generated.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# The shipped program is 32-bit: the tests run it, and the 32-bit test
# programs, through the shared run32 emulation (the kernel of these machines
# may execute no 32-bit code). Its set-up is idempotent and quick once done.
run32="${X2Z_RUN32_DIR:-$(cd "$(dirname "$0")/../.." && pwd)/shared/run32}"
if [ -x "$run32/setup.sh" ]; then
  if ! RUN32_SKIP_TEST=1 "$run32/setup.sh" >/tmp/x2z-run32-setup.log 2>&1; then
    echo "run32 set-up failed; see /tmp/x2z-run32-setup.log" >&2
    exit 1
  fi
else
  echo "no run32 at $run32: the 32-bit program cannot be tested here" >&2
  exit 1
fi
