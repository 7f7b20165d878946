#!/usr/bin/env bash
# stop_latency.sh [BUILD_DIR [WINDOWS_BUILD_DIR]]: how long requests take to end once asked
# to stop, at each stall point (connect, headers, body, drip), as Markdown tables: the Linux
# module from BUILD_DIR (default build-bench, configured as a Release build when it has no
# cache), then the Windows module under Wine from WINDOWS_BUILD_DIR (default build-win) when
# that build exists. Goal: every entry under one second. RUNS (default 3) sets the runs per
# cell.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"
winbuild="${2:-$root/build-win}"
runs="${RUNS:-3}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
# The benchmark is made of the tests' loopback servers.
if ! grep -q '^ORVELLA_BUILD_TESTS:BOOL=ON' "$build/CMakeCache.txt"; then
  cmake "$build" -DORVELLA_BUILD_TESTS=ON > /dev/null
fi
cmake --build "$build" -j2 --target stop_latency Orvella > /dev/null
echo "Linux ($(uname -m), libcurl):"
echo
"$build/bench/stop_latency" "$runs"
if [ -f "$winbuild/CMakeCache.txt" ]; then
  cmake --build "$winbuild" -j2 --target stop_latency Orvella > /dev/null
  echo
  echo "Windows module under Wine ($("$root/cmake/wine-run.sh" --version 2>/dev/null || echo wine), WinINet):"
  echo
  "$root/cmake/wine-run.sh" "$winbuild/bench/stop_latency.exe" "$runs"
fi
