#!/bin/sh
# check_package.sh BUILD_DIR VERSION: the installed tree and the Debian package as a user
# gets them. `cmake --install` into a temporary prefix and a run from there; then the
# package: its files, its declared dependencies, and a run from its unpacked contents.
set -eu
build="$1"
version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "check_package: $*" >&2; exit 1; }

# The installed orvella-host finds the installed module.
cmake --install "$build" --prefix "$work/prefix" > /dev/null
expected="Orvella v$version
module: $work/prefix/lib/orvella/Orvella.rpl"
got="$("$work/prefix/bin/orvella-host" version)" || fail "installed orvella-host version failed"
[ "$got" = "$expected" ] || fail "installed orvella-host version said: $got"
[ "$("$work/prefix/bin/orvella-host" --version)" = "orvella-host $version" ] ||
  fail "orvella-host --version"
for file in lib/orvella/help/index.html share/doc/orvella/help/index.html \
  share/doc/orvella/README.md share/doc/orvella/copyright \
  lib/systemd/user/orvella-sync.service lib/systemd/user/orvella-sync.timer; do
  [ -f "$work/prefix/$file" ] || fail "cmake --install did not install $file"
done

# The package.
(cd "$build" && cpack -G DEB -B "$work/cpack" > "$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb="$(ls "$build"/packages/orvella_"$version"_*.deb)"
dpkg-deb -c "$deb" | awk '{print $6}' > "$work/contents"
for file in ./usr/bin/orvella-host ./usr/bin/orvella-artd ./usr/lib/orvella/Orvella.rpl \
  ./usr/lib/orvella/help/index.html ./usr/lib/systemd/user/orvella-sync.timer \
  ./usr/lib/systemd/user/orvella-sync.service ./usr/share/doc/orvella/copyright \
  ./usr/share/doc/orvella/README.md; do
  grep -qx "$file" "$work/contents" || fail "the package lacks $file"
done
depends="$(dpkg-deb -f "$deb" Depends)"
for package in libc6 libcurl4 libglib2.0-0 libjsoncpp25 libxrandr2; do
  echo "$depends" | grep -q "\\b$package\\b" || fail "the package does not depend on $package: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
dpkg-deb -x "$deb" "$work/root"
got="$("$work/root/usr/bin/orvella-host" version)" || fail "the packaged orvella-host failed"
[ "$got" = "Orvella v$version
module: $work/root/usr/lib/orvella/Orvella.rpl" ] || fail "the packaged orvella-host said: $got"
grep -q '^ExecStart=orvella-host --quiet sync$' "$work/root/usr/lib/systemd/user/orvella-sync.service" ||
  fail "the unit does not run orvella-host sync"
echo "check_package: $(basename "$deb") and the installed tree are complete"
