#!/usr/bin/env bash
# Configures with the CMake preset "dev" and builds into build/ (or $BUILD_DIR). BUILD_TYPE overrides
# the preset's build type; extra arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --preset dev -B "$build" ${BUILD_TYPE:+"-DCMAKE_BUILD_TYPE=$BUILD_TYPE"} "$@"
cmake --build "$build" -j"$(nproc)"
