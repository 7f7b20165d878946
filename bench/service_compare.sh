#!/usr/bin/env bash
# service_compare.sh [BUILD_DIR]: the service client's benchmarks beside well-known tools,
# in one run, with ratios:
#   - MD5 of the same 256 MB: cMD5 against md5sum (goal: at least 0.8 times its speed);
#   - a feed answer of 10,000 and of 100,000 entries through QueryFeed: time and peak
#     memory (goal: both grow linearly, ratio near 10);
#   - a 50 MB body from orvella-artd: FetchUrl against `curl -o /dev/null` (goal: at most
#     1.5 times curl's time).
# BUILD_DIR (default build-bench) is configured as a Release build when it has no cache.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
cmake --build "$build" -j2 --target service_bench orvella-artd > /dev/null
bench="$build/bench/service_bench"
artd="$build/bin/orvella-artd"

work="$(mktemp -d)"
artd_pid=""
cleanup() {
  if [ -n "$artd_pid" ]; then kill "$artd_pid" 2>/dev/null || true; wait "$artd_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s%N; }
# ratio A B: A / B with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
# csv_field CSV_TEXT NAME_PATTERN COLUMN: a column of the benchmark's CSV row.
csv_field() {
  printf '%s\n' "$1" | awk -F, -v pat="$2" -v col="$3" '
    NR == 1 { gsub(/"/, ""); for (i = 1; i <= NF; i++) if ($i == col) c = i; next }
    $1 ~ pat { gsub(/"/, "", $c); print $c; exit }'
}
run_bench() { "$bench" --benchmark_format=csv "$@" 2> /dev/null; }

echo "== MD5 of 256 MB"
head -c $((256 << 20)) /dev/urandom > "$work/data"
md5sum "$work/data" > /dev/null  # into the page cache
best_ns=""
for _ in 1 2 3; do
  start=$(now); sum=$(md5sum "$work/data" | cut -c1-32); ns=$(($(now) - start))
  if [ -z "$best_ns" ] || [ "$ns" -lt "$best_ns" ]; then best_ns=$ns; fi
done
md5sum_mbs=$(awk -v ns="$best_ns" 'BEGIN { printf "%.1f", 256 / (ns / 1e9) }')
csv=$(ORVELLA_BENCH_MD5_FILE="$work/data" run_bench --benchmark_filter='^BM_Md5')
cmd5_mbs=$(awk -v b="$(csv_field "$csv" BM_Md5 bytes_per_second)" 'BEGIN { printf "%.1f", b / 1048576 }')
label=$(csv_field "$csv" BM_Md5 label)
[ "$label" = "$sum" ] || { echo "cMD5 digest $label differs from md5sum's $sum"; exit 1; }
echo "md5sum: $md5sum_mbs MB/s   cMD5: $cmd5_mbs MB/s   cMD5/md5sum speed: $(ratio "$cmd5_mbs" "$md5sum_mbs")  (goal >= 0.8)"

echo "== QueryFeed, 10,000 and 100,000 entries (each in its own process)"
declare -A ms cpu mb
for n in 10000 100000; do
  csv=$(run_bench --benchmark_filter="^BM_QueryFeed/$n/")
  ms[$n]=$(csv_field "$csv" "BM_QueryFeed/$n/" real_time)
  cpu[$n]=$(csv_field "$csv" "BM_QueryFeed/$n/" cpu_time)
  mb[$n]=$(csv_field "$csv" "BM_QueryFeed/$n/" peak_MB)
  printf '%6d entries: %8.1f ms (cpu %8.1f ms)  peak %7.1f MB\n' "$n" "${ms[$n]}" "${cpu[$n]}" "${mb[$n]}"
done
echo "time ratio: $(ratio "${ms[100000]}" "${ms[10000]}") (cpu $(ratio "${cpu[100000]}" "${cpu[10000]}"))   memory ratio: $(ratio "${mb[100000]}" "${mb[10000]}")  (goal: near 10)"

echo "== 50 MB body: FetchUrl against curl -o /dev/null"
"$artd" --port 0 --image-bytes $((50 << 20)) > "$work/artd.out" 2> /dev/null &
artd_pid=$!
until grep -q '^listening on ' "$work/artd.out" 2> /dev/null; do sleep 0.1; done
base=$(head -1 "$work/artd.out" | sed 's/^listening on //')
url=$(curl -s "$base/api/v3/art/?client=Qm3rTz8LkVb2NwYp5HsXc7Ja&limit=1&has_wall=1&wall_type=computer&wall_width=64&wall_height=64" |
  grep -o '"wall_url":"[^"]*"' | head -1 | sed 's/"wall_url":"//; s/"$//')
size=$(curl -s -o /dev/null -w '%{size_download}' "$url")  # renders it into the cache
runs=10
start=$(now)
for _ in $(seq $runs); do curl -s -o /dev/null "$url"; done
curl_ms=$(awk -v ns="$(($(now) - start))" -v n=$runs 'BEGIN { printf "%.1f", ns / n / 1e6 }')
csv=$(ORVELLA_BENCH_URL="$url" run_bench --benchmark_filter='^BM_FetchUrl')
fetch_ms=$(csv_field "$csv" BM_FetchUrl real_time)
printf 'body %d bytes   curl: %.1f ms   FetchUrl: %.1f ms   FetchUrl/curl time: %s  (goal <= 1.5)\n' \
  "$size" "$curl_ms" "$fetch_ms" "$(ratio "$fetch_ms" "$curl_ms")"
