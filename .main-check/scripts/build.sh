#!/usr/bin/env bash
# build.sh [DIR] [SANITIZER]: configures and builds the tree into DIR (default build).
# SANITIZER is empty, "address" (ASan + UBSan) or "thread" (TSan).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
sanitize="${2:-}"
type=RelWithDebInfo
[ -z "$sanitize" ] || type=Debug
# A compiler cache, where the machine has one, makes rebuilds of other trees cheap.
launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE="$type" -DORVELLA_SANITIZE="$sanitize" "${launcher[@]}" \
  -DORVELLA_BUILD_BENCH="$([ -z "$sanitize" ] && echo ON || echo OFF)" > /dev/null
cmake --build "$dir" -j"$(nproc)" ${ORVELLA_TARGETS:+--target $ORVELLA_TARGETS}
