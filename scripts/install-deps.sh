#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need. Idempotent.
set -euo pipefail
packages=(
  build-essential cmake pkg-config git
  libjsoncpp-dev libcurl4-openssl-dev libcpp-httplib-dev libssl-dev
  libglib2.0-dev libgtk-3-dev libx11-dev libxrandr-dev
  libjpeg62-turbo-dev libpng-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth curl coreutils time
  # bench/compare.sh serves its folder syncs with nginx.
  nginx
  # The Windows module: mingw-w64 (posix threads), Wine to test it, JsonCpp's API over
  # nlohmann-json, and chmcmd for the HTML help file.
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 nlohmann-json3-dev fp-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
