#!/bin/sh
# check_zip.sh BUILD_DIR VERSION: the Windows ZIP holds the module, its help and the
# install text at its top, as they go into the plug-in folder.
set -eu
build="$1"
version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
(cd "$build" && cpack -G ZIP -B "$work/cpack" > "$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; echo "check_zip: cpack failed" >&2; exit 1; }
zip="$build/packages/Orvella-$version-windows-x64.zip"
listing="$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort | tr '\n' ' ')"
expected="INSTALL.txt LICENSE.txt Orvella.chm Orvella.rpl licenses/JsonCpp.txt \
licenses/mingw-w64.txt licenses/xxHash.txt "
[ "$listing" = "$expected" ] || { echo "check_zip: $zip holds: $listing" >&2; exit 1; }
# The notices of the libraries linked into the module are theirs.
cmake -E tar xf "$zip" licenses
grep -q "Baptiste Lepilleur" licenses/JsonCpp.txt &&
  grep -q "Yann Collet" licenses/xxHash.txt &&
  grep -q "winpthreads" licenses/mingw-w64.txt ||
  { echo "check_zip: a library's notice is not what it should be" >&2; exit 1; }
# What a Windows user needs to know: the module is 64-bit only, a downloaded help file
# must be unblocked, and removing it includes the account's registry key.
cmake -E tar xf "$zip" INSTALL.txt
for needed in "64-bit" "Unblock-File" 'reg delete "HKCU\Software\Halvenworks\OrvellaPlugin" /f'; do
  grep -qF "$needed" INSTALL.txt || { echo "check_zip: INSTALL.txt does not say $needed" >&2; exit 1; }
done
echo "check_zip: $(basename "$zip") holds $listing"
