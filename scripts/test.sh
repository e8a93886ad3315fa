#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs all tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Layout first: a few seconds, rather than a failure after the long build.
scripts/check-format.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j2 --timeout 300
# The same tests under the address, undefined-behaviour and thread sanitizers.
scripts/test-sanitizers.sh
# Each fuzz target for a few seconds on its seed corpus.
scripts/fuzz.sh 5
# The Win32 side of the platform layer: cross-built with MinGW-w64, tested under Wine.
scripts/test-windows.sh
