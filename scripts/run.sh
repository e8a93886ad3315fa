#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, installs the program folder into dist/ and starts
# the program. Without a display it runs under Xvfb and saves a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
prefix=${PREFIX:-$PWD/dist}
cmake --install "${BUILD_DIR:-build}" --prefix "$prefix" >/dev/null
echo "Program folder: $prefix"

# The local stand-in for the courier platform and the marketplace, unless one already runs.
sandbox_pid=""
if ! (exec 3<>/dev/tcp/127.0.0.1/27801) 2>/dev/null; then
  "${BUILD_DIR:-build}/sandbox/brisfold-sandbox" --quiet --initial-orders 3 --order-interval 60 &
  sandbox_pid=$!
  sleep 1
fi
cat <<'TEXT'

Demo credentials
  Sign-in (courier platform):  demo@brisfold.example  /  demo1234
  "Configurar aiqfome":        cantina.bella          /  aiqfome123
Orders arrive in the sandbox at once and then about every minute; tick
"Agendar automático" to have couriers booked on their own.

TEXT

if [ -n "${DISPLAY:-}" ]; then
  "$prefix/Brisfold" || true
  [ -n "$sandbox_pid" ] && kill "$sandbox_pid" 2>/dev/null
  exit 0
fi

display=:77
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb $sandbox_pid 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display "$prefix/Brisfold" &
program=$!
sleep ${SCREENSHOT_DELAY:-4}
shot="$prefix/screenshot.png"
DISPLAY=$display import -window root "$shot"
echo "Screenshot of the running program: $shot"
if [ -n "${BRISFOLD_KEEP_RUNNING:-}" ]; then
  echo "Brisfold runs on $display; press Ctrl+C to stop."
  wait $program
else
  kill $program 2>/dev/null || true
fi
