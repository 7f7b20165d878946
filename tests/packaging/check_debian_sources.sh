#!/usr/bin/env bash
# check_debian_sources.sh CMAKE CACHE_DIR: the Windows build takes the pinned Debian source
# packages only as pinned. A copy of the cache unpacks with Debian's patches applied; a file
# changed by one byte, or missing, stops the configuration with a message saying so.
set -euo pipefail
cmake="$1"
cache="$2"
script="$(cd "$(dirname "$0")" && pwd)/unpack_debian_source.cmake"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

unpack() {  # unpack NAME CACHE: runs the unpacking in a fresh folder; its output in $work/out
  rm -rf "$work/bin" && mkdir "$work/bin"
  (cd "$work/bin" && "$cmake" -DPACKAGE="$1" -DORVELLA_DEBIAN_SOURCES="$2" -P "$script") \
    > "$work/out" 2>&1
}
# CMake wraps its messages: the output read as one line.
said() { tr -s ' \n' '  ' < "$work/out" | grep -qF "$1"; }
fail() { echo "check_debian_sources: $*" >&2; cat "$work/out" >&2; exit 1; }

cp -r "$cache" "$work/good"
unpack cpp-httplib "$work/good" || fail "the pinned cpp-httplib does not unpack"
header="$work/bin/debian-sources/cpp-httplib/source/httplib.h"
grep -q 'define CPPHTTPLIB_VERSION "0.11.4"' "$header" || fail "no cpp-httplib 0.11.4 header"
# Debian's one patch (CVE-2023-26130) replaces every header emplace of the client.
grep -q 'req.set_header("Host", host_and_port_);' "$header" || fail "Debian's patch is not applied"
unpack libjsoncpp "$work/good" || fail "the pinned libjsoncpp does not unpack"
[ -f "$work/bin/debian-sources/libjsoncpp/source/src/lib_json/json_reader.cpp" ] ||
  fail "no JsonCpp sources"

cp -r "$cache" "$work/changed"
tarball="$(ls "$work/changed"/libjsoncpp_*.orig.tar.*)"
printf '\x01' | dd of="$tarball" bs=1 seek=100 count=1 conv=notrunc status=none
! unpack libjsoncpp "$work/changed" || fail "a changed upstream tarball was unpacked"
said "has the SHA-256" || fail "the refusal does not name the checksum"

cp -r "$cache" "$work/missing"
rm "$work/missing"/cpp-httplib_*.dsc
! unpack cpp-httplib "$work/missing" || fail "a package with a missing file was unpacked"
said "is missing: run scripts/install-deps.sh" || fail "the refusal does not say what to run"
echo "check_debian_sources: pinned packages unpack patched; changed and missing files are refused"
