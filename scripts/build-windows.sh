#!/usr/bin/env bash
# build-windows.sh [DIR]: cross-builds the Windows module (Orvella.rpl, a 64-bit DLL),
# the reference host, the test suites and the stop-latency benchmark with mingw-w64 into DIR
# (default build-win).
# The tests run under Wine: (cd DIR && ctest).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build-win}"
launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" "${launcher[@]}" \
  -DCMAKE_BUILD_TYPE=Release -DORVELLA_BUILD_BENCH=ON |
  { grep -E '^-- (JsonCpp|cpp-httplib) ' || true; }  # the libraries compiled from Debian's sources
cmake --build "$dir" -j"$(nproc)" ${ORVELLA_TARGETS:+--target $ORVELLA_TARGETS}
