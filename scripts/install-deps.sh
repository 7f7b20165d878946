#!/usr/bin/env bash
# install-deps.sh [PROFILE]: installs the Debian packages a job needs. Idempotent.
#   demo     building the module, orvella-host and orvella-artd, and the demo's virtual
#            screen (scripts/demo.sh)
#   package  the demo's, plus the settings dialogs (GTK), the Windows cross build and the
#            packaging tools (scripts/package.sh)
#   all      everything: the above, the tests and the benchmarks (scripts/test.sh; default)
set -euo pipefail
profile="${1:-all}"
demo=(
  build-essential cmake pkg-config
  libjsoncpp-dev libcurl4-openssl-dev libcpp-httplib-dev libssl-dev
  libglib2.0-dev libx11-dev libxrandr-dev libjpeg62-turbo-dev
  xvfb xauth curl coreutils
)
package=(
  "${demo[@]}" libgtk-3-dev file dpkg-dev
  # The Windows module: mingw-w64 (posix threads), JsonCpp's API over nlohmann-json, and
  # chmcmd for the HTML help file.
  g++-mingw-w64-x86-64-posix mingw-w64-tools nlohmann-json3-dev fp-utils
  # The Debian package's checks: lintian, hardening-check (devscripts), and the manual
  # pages formatted as man shows them.
  lintian devscripts man-db groff-base bash-completion
)
all=(
  "${package[@]}" git time libpng-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # bench/compare.sh serves its folder syncs with nginx.
  nginx
  # Wine runs the Windows module's tests.
  wine64
  # The list road's fuzz target: clang with its libFuzzer runtime.
  clang libclang-rt-14-dev
)
case "$profile" in
  demo) packages=("${demo[@]}") ;;
  package) packages=("${package[@]}") ;;
  all) packages=("${all[@]}") ;;
  *)
    echo "install-deps.sh: unknown profile '$profile' (demo, package or all)" >&2
    exit 2
    ;;
esac
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
