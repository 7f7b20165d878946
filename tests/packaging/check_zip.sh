#!/bin/sh
# check_zip.sh BUILD_DIR VERSION: the Windows ZIP holds the module, its help and the
# install text at its top, as they go into the plug-in folder.
set -eu
build="$1"
version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G ZIP -B "$work/cpack" > "$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; echo "check_zip: cpack failed" >&2; exit 1; }
zip="$build/packages/Orvella-$version-windows-x64.zip"
listing="$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')"
[ "$listing" = "INSTALL.txt LICENSE.txt Orvella.chm Orvella.rpl " ] ||
  { echo "check_zip: $zip holds: $listing" >&2; exit 1; }
echo "check_zip: $(basename "$zip") holds $listing"
