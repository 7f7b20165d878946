#!/usr/bin/env bash
# Runs a Windows program under Wine with a private prefix and no Wine debug output.
# WINEPREFIX may be set by the caller; otherwise a prefix in the temporary folder is
# made once per user and reused (creating one takes several seconds).
set -euo pipefail
wine=""
for candidate in "${ORVELLA_WINE:-}" /usr/lib/wine/wine64 wine64 wine; do
  [ -n "$candidate" ] && command -v "$candidate" > /dev/null 2>&1 && { wine="$candidate"; break; }
done
[ -n "$wine" ] || { echo "wine-run.sh: no wine64 found (apt-get install wine64)" >&2; exit 127; }
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/orvella-wine-$(id -u)}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No debugger on a crash: winedbg would attach and hold the test's output open instead of
# letting the program end with its failure.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Serialise the first start: concurrent tests would each try to build the prefix.
  mkdir -p "$WINEPREFIX"
  exec 9> "$WINEPREFIX.lock"
  flock 9
  [ -f "$WINEPREFIX/system.reg" ] || "$wine" cmd /c exit > /dev/null 2>&1 || true
  flock -u 9
fi
# A program that shows windows needs a Wine server started with a display: one that an
# earlier program started without one (the other tests) is waited out first.
if [ -n "${DISPLAY:-}" ]; then
  server="$(dirname "$(command -v "$wine")")/wineserver"
  [ -x "$server" ] && "$server" -w 2> /dev/null || true
fi
# Wine now and then ends a program before its first instruction, silently: a loader failure
# prints nothing with the debug channels off (a missing DLL ends with status 53, for one).
# A program that printed nothing and failed is started once more, with a line saying so; a
# program that printed anything keeps its result, so a failing test still fails, and one
# that fails silently every time fails the second time too.
out="$(mktemp)"
err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
run_once() {
  status=0
  "$wine" "$@" > "$out" 2> "$err" || status=$?
}
run_once "$@"
if [ "$status" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "wine-run.sh: $1 ended with status $status without printing anything; started again" >&2
  run_once "$@"
fi
cat "$out"
cat "$err" >&2
exit "$status"
