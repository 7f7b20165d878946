#!/usr/bin/env bash
# wine_links.sh WINE_RUN TEST_PROGRAM: plants Unix links in an image folder, each pointing
# at a file outside it, and runs the Windows test program's WineLinks cases under Wine on
# that folder, twice: with links at a work name and at the list file's temporary name
# (another picture is stored, so the list is written), then with a link at the journal's
# name. Checks that every target is as it was and every link still there.
set -euo pipefail
wine_run="$1"
program="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/folder" "$scratch/outside"
for name in work list-temp journal; do
  printf 'keep me: %s\n' "$name" > "$scratch/outside/$name"
done
ln -s "$scratch/outside/work" "$scratch/folder/a.__t"
ln -s "$scratch/outside/list-temp" "$scratch/folder/rvt_orv_files.lst.tmp"
folder="Z:$(printf '%s' "$scratch/folder" | tr '/' '\\')"
ORVELLA_PLANTED_FOLDER="$folder" ORVELLA_PLANTED_ROUND=list "$wine_run" "$program" \
  --gtest_filter='WineLinks.*'
# The first round's journal (its list could not be written) makes way for the link, and
# b.jpg goes, so that the second round must download it again.
rm -f "$scratch/folder/rvt_orv_files.lst.jnl" "$scratch/folder/b.jpg"
ln -s "$scratch/outside/journal" "$scratch/folder/rvt_orv_files.lst.jnl"
ORVELLA_PLANTED_FOLDER="$folder" ORVELLA_PLANTED_ROUND=journal "$wine_run" "$program" \
  --gtest_filter='WineLinks.*'
status=0
for name in work list-temp journal; do
  if [ "$(cat "$scratch/outside/$name" 2>/dev/null)" != "keep me: $name" ]; then
    echo "wine_links.sh: the target of the link at $name changed or is gone" >&2
    status=1
  fi
done
for link in a.__t rvt_orv_files.lst.tmp rvt_orv_files.lst.jnl; do
  [ -L "$scratch/folder/$link" ] || { echo "wine_links.sh: the link $link is gone" >&2; status=1; }
done
exit "$status"
