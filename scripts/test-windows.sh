#!/usr/bin/env bash
# Cross-builds the Win32 layer of the platform with MinGW-w64 and runs its tests under Wine in a
# throw-away prefix. Installs the Debian packages it needs. BRISFOLD_WINDOWS_LINK_ONLY=1 only builds.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++-mingw-w64-x86-64-posix cmake googletest)
[ "${BRISFOLD_WINDOWS_LINK_ONLY:-0}" = 1 ] || packages+=(wine wine64 xvfb xauth)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build="${BUILD_DIR_WINDOWS:-build-windows}"
cmake -S windows -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/windows/mingw-toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j"$(nproc)"
[ "${BRISFOLD_WINDOWS_LINK_ONLY:-0}" = 1 ] && exit 0

# A fresh prefix per run: the tests write the Run keys, and nothing of the user's Wine is touched.
WINEPREFIX="$(mktemp -d)"
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineboot --init >/dev/null 2>&1 || true
wineserver -w

# Xvfb gives Wine a window station for the window test; without it that test is skipped.
run=(ctest --test-dir "$build" --output-on-failure --timeout 300)
if command -v xvfb-run >/dev/null 2>&1; then
  env -u DISPLAY -u WAYLAND_DISPLAY xvfb-run -a "${run[@]}"
else
  env -u DISPLAY -u WAYLAND_DISPLAY "${run[@]}"
fi
