#!/usr/bin/env bash
# sync_compare.sh [--idle-seconds N] [--images N] [BUILD_DIR]: the download engine beside
# well-known tools, in one run, with ratios:
#   - folder sync of 200 images of about 1 MB from orvella-artd: `orvella-host sync`
#     (module load, feed query, downloads, list file) against one `curl` process fetching
#     the same URLs in sequence (goal: at most 1.15 times curl's time), and the sync's
#     peak memory against a sync of 20 images (goal: flat, ratio near 1);
#   - the list file of 100,000 entries written and read back by the engine against a
#     plain write / getline loop over the same lines (goal: at most 2 times);
#   - the idle worker: CPU time of `orvella-host run` between passes, read from /proc
#     over N seconds (default 60; goal: none).
# BUILD_DIR (default build-bench) is configured as a Release build when it has no cache.
# Needs GNU time (/usr/bin/time, package "time") for the peak memory.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
idle_seconds=60
images=200
build="$root/build-bench"
while (($#)); do
  case "$1" in
    --idle-seconds) idle_seconds="$2"; shift 2 ;;
    --images) images="$2"; shift 2 ;;
    *) build="$1"; shift ;;
  esac
done
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
cmake --build "$build" -j2 --target engine_bench Orvella orvella-host orvella-artd > /dev/null
host="$build/bin/orvella-host"
artd="$build/bin/orvella-artd"

work="$(mktemp -d)"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s%N; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
csv_field() {
  printf '%s\n' "$1" | awk -F, -v pat="$2" -v col="$3" '
    NR == 1 { gsub(/"/, ""); for (i = 1; i <= NF; i++) if ($i == col) c = i; next }
    $1 ~ pat { gsub(/"/, "", $c); print $c; exit }'
}

echo "== list file, 100,000 entries: engine write + read against a plain write / getline loop"
csv=$("$build/bench/engine_bench" --benchmark_format=csv --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true 2> /dev/null)
engine_ms=$(csv_field "$csv" "BM_ListFileEngine/100000_median" real_time)
plain_ms=$(csv_field "$csv" "BM_ListFilePlain/100000_median" real_time)
printf 'engine: %.1f ms   plain loop: %.1f ms   engine/plain time: %s  (goal <= 2)\n' \
  "$engine_ms" "$plain_ms" "$(ratio "$engine_ms" "$plain_ms")"

# A catalog of N wallpapers, served padded to about 1 MB each at any pixel size.
catalog() {
  local n="$1" i
  printf '{"items": ['
  for i in $(seq "$n"); do
    [ "$i" = 1 ] || printf ','
    printf '{"id": "pic-%d", "name": "Picture %d", "color": "#%06x"}' "$i" "$i" $((i * 2654435 % 16777216))
  done
  printf ']}\n'
}
catalog "$images" > "$work/catalog.json"
"$artd" --port 0 --image-bytes $((1 << 20)) --catalog "$work/catalog.json" > "$work/artd.out" 2> /dev/null &
pids+=("$!")
until grep -q '^listening on ' "$work/artd.out" 2> /dev/null; do sleep 0.1; done
base=$(head -1 "$work/artd.out" | sed 's/^listening on //')

# The plug-in asks for the largest monitor's size: give it a small virtual screen.
if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3> "$work/display" 2> /dev/null &
  pids+=("$!")
  until [ -s "$work/display" ]; do sleep 0.1; done
  export DISPLAY=":$(head -1 "$work/display")"
fi
export ORVELLA_SERVER_URL="$base" XDG_CONFIG_HOME="$work/config"

# profile FILE FOLDER MAXP: one wallpaper feed into FOLDER.
profile() {
  mkdir -p "$2"
  printf '[OrvellaPlugIn]\nEnabled=1\ntmUpdate=1440\nImgFolder=%s\nnFeeds=1\nFeed0_Type=1\nFeed0_Flg=1\nFeed0_MaxP=%d\n' \
    "$2" "$3" > "$1"
}
# sync_peak_kb PROFILE: runs one sync pass (its log in $work/sync.log); prints its peak
# resident memory in KiB, as the kernel counted it for the finished process.
sync_peak_kb() {
  /usr/bin/time -f "%M" -o "$work/sync.rss" "$host" --profile "$1" sync > "$work/sync.out" 2> "$work/sync.log"
  cat "$work/sync.rss"
}

echo "== folder sync of $images images of 1 MB: orvella-host sync against one curl process"
# The service renders each picture once; both runs below get them from its cache.
profile "$work/warm.ini" "$work/warm" "$images"
sync_peak_kb "$work/warm.ini" > /dev/null
grep -o "http://[^ ]*/img/[^ ]*" "$work/warm/rvt_orv_files.lst" | tr -d '\r' > "$work/urls"
[ "$(wc -l < "$work/urls")" -eq "$images" ] || { echo "expected $images URLs"; exit 1; }
mkdir -p "$work/curl"
awk -v dir="$work/curl" '{ printf "url = \"%s\"\noutput = \"%s/%d.jpg\"\n", $0, dir, NR }' "$work/urls" > "$work/curl.cfg"
# ms_between LOG FIRST LAST: milliseconds between the time stamps of two log lines.
ms_between() {
  awk -v a="$2" -v b="$3" '
    function ms(t, p) { split(t, p, /[:.]/); return ((p[1] * 60 + p[2]) * 60 + p[3]) * 1000 + p[4] }
    index($0, a) && !s { s = ms($1) } index($0, b) && !e { e = ms($1) }
    END { d = e - s; if (d < 0) d += 86400000; print d }' "$1"
}
best_curl=""
best_sync=""
best_engine=""
for round in 1 2 3; do
  rm -rf "$work/curl"/* "$work/sync$round"
  start=$(now); curl -s -K "$work/curl.cfg"; ns=$(($(now) - start))
  [ -z "$best_curl" ] || [ "$ns" -lt "$best_curl" ] && best_curl=$ns
  profile "$work/sync.ini" "$work/sync$round" "$images"
  start=$(now); peak=$(sync_peak_kb "$work/sync.ini"); ns=$(($(now) - start))
  [ -z "$best_sync" ] || [ "$ns" -lt "$best_sync" ] && best_sync=$ns
  ms=$(ms_between "$work/sync.log" "COrvellaThread::Start()" "Download complete")
  [ -z "$best_engine" ] || [ "$ms" -lt "$best_engine" ] && best_engine=$ms
  got=$(find "$work/sync$round" -name '*.jpg' | wc -l)
  [ "$got" -eq "$images" ] || { echo "sync fetched $got of $images"; cat "$work/sync.out"; exit 1; }
  rm -rf "$work/sync$round"
done
curl_bytes=$(du -sb "$work/curl" | cut -f1)
start=$(now); "$host" --quiet --profile "$work/sync.ini" version > /dev/null; load_ns=$(($(now) - start))
seconds() { awk -v n="$1" 'BEGIN { printf "%.2f", n / 1e9 }'; }
echo "curl: $(seconds "$best_curl") s for $((curl_bytes >> 20)) MB"
echo "worker, from its start to the end of its batch: $(seconds $((best_engine * 1000000))) s" \
  "  worker/curl time: $(ratio $((best_engine * 1000000)) "$best_curl")  (goal <= 1.15)"
echo "whole orvella-host sync: $(seconds "$best_sync") s, of which loading the module and its" \
  "libraries: $(seconds "$load_ns") s   sync/curl time: $(ratio "$best_sync" "$best_curl")"
profile "$work/small.ini" "$work/small" 20
small_peak=$(sync_peak_kb "$work/small.ini")
printf 'peak memory: %d MB for %d images, %d MB for 20   ratio: %s  (goal: near 1)\n' \
  $((peak >> 10)) "$images" $((small_peak >> 10)) "$(ratio "$peak" "$small_peak")"

echo "== idle worker over ${idle_seconds} s"
: > "$work/run.err"
"$host" --profile "$work/small.ini" run 2> "$work/run.err" &
run_pid=$!
pids+=("$run_pid")
until grep -q "Download complete" "$work/run.err"; do sleep 0.1; done
ticks() { awk '{ print $14 + $15 }' "/proc/$run_pid/stat"; }
before=$(ticks)
sleep "$idle_seconds"
after=$(ticks)
kill -INT "$run_pid"
wait "$run_pid" || true
hz=$(getconf CLK_TCK)
passes=$(grep -c "Download complete" "$work/run.err")
printf 'CPU time while idle: %d ms in %d s (%d passes, one every 30 s)\n' \
  $(((after - before) * 1000 / hz)) "$idle_seconds" "$((passes - 1))"
