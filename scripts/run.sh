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

if [ -n "${DISPLAY:-}" ]; then
  exec "$prefix/Brisfold"
fi

display=:77
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
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
