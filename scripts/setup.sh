#!/usr/bin/env bash
# Installs what Brisfold needs to build, test and run on Debian 12. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev
  libsqlitecpp-dev libsqlite3-dev sqlite3
  libcurl4-openssl-dev libssl-dev openssl ca-certificates
  rapidjson-dev libicu-dev libcpp-httplib-dev
  libasound2-dev libqrencode-dev libspdlog-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth imagemagick x11-utils curl openbox xdotool trayer sox
  poppler-utils zbar-tools cups-daemon cups-client printer-driver-cups-pdf
  fonts-noto-color-emoji fonts-dejavu-core
  clang libclang-rt-14-dev clang-format valgrind
)

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
