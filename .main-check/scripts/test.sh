#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine (as root), builds and runs every test:
# a normal build, an AddressSanitizer + UndefinedBehaviorSanitizer build, the
# threading tests under ThreadSanitizer, and the Windows build's suites under Wine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

run() {  # run NAME DIR SANITIZER [ctest args...]
  local name="$1" dir="$2" sanitize="$3"
  shift 3
  echo "== $name build"
  "$root/scripts/build.sh" "$dir" "$sanitize"
  echo "== $name tests"
  (cd "$dir" && ctest --output-on-failure --timeout 600 "$@")
}

run normal "$root/build" ""
run asan "$root/build-asan" address
run tsan "$root/build-tsan" thread -L threading

# The Windows module, cross-built with mingw-w64; its suites run under Wine in a prefix of
# their own.
echo "== windows build"
"$root/scripts/build-windows.sh" "$root/build-win"
echo "== windows tests (Wine)"
wineprefix="$(mktemp -d)/wine"
(cd "$root/build-win" && WINEPREFIX="$wineprefix" WINEDEBUG=-all \
  ctest --output-on-failure --timeout 600 -j"$(nproc)")
