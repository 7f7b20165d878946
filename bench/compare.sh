#!/usr/bin/env bash
# compare.sh: every benchmark of the plug-in beside a well-known tool doing the same work,
# in one run, printed as ratios with their goals.
#
#   bench/compare.sh [--rounds N] [--idle-seconds N] [--only LIST] [--disk-dir DIR]
#                    [--table FILE] [BUILD_DIR]
#
# Sections (--only takes a comma-separated subset; default all):
#   sync   folder sync through the module (bench/sync_host: module load, feed query,
#          downloads, list file) against one curl process fetching the same URLs with a
#          connection per file (-H 'Connection: close'), both served by one nginx on
#          loopback: 1,000 and 10,000 x 4 KB, 1,000 x 64 KB and 200 x 1 MB, into a folder
#          on the disk (DIR, default BUILD_DIR/bench-disk) and on tmpfs (/dev/shm); wall
#          time and peak memory (GNU time) of each process; the test creation of each
#          download's name timed alone
#   durable  the durable sync on the disk: 200 x 300 KB and 1,000 x 64 KB through the
#          module against curl with a connection per file followed by one `sync -f` of
#          the folder (curl plus the one flush that makes it as safe as the plug-in must
#          be), served by the same nginx; the flush is also timed alone
#   list   the list file of 100,000 entries written and read back, against a plain
#          write / getline loop (into a vector, and into a map), on the disk and on tmpfs
#   feed   a feed answer of 10,000 and 100,000 entries through QueryFeed: time and peak
#          memory against the answer's size
#   md5    cMD5 against md5sum on the same 256 MB
#   fetch  a 50 MB service answer: FetchUrl against curl -o /dev/null
#   idle   the running worker's CPU time between passes
#   stop   bench/stop_latency.sh, when it exists
#   backoff  a feed failing in four ways (503, 401, 429 with Retry-After, an answer cut
#          off) while the other feed's batch of 200 pictures is downloaded: the queries of
#          the failing feed the service received, beside the batch's refresh passes (what
#          asking it at every pass would send)
# Every timed figure is the median of N rounds (default 5); the spread (max - min over
# the median) is printed beside it, and figures whose spread exceeds 10% are marked
# noisy. --table writes the summary as a Markdown table (for the README).
# BUILD_DIR (default build-bench) is configured as a Release build when it has no cache.
# Needs nginx, curl and GNU time (/usr/bin/time), all installed by scripts/install-deps.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rounds=5
idle_seconds=60
only="sync,durable,list,feed,md5,fetch,idle,stop,backoff"
build="$root/build-bench"
disk_dir=""
table=""
while (($#)); do
  case "$1" in
    --rounds) rounds="$2"; shift 2 ;;
    --idle-seconds) idle_seconds="$2"; shift 2 ;;
    --only) only="$2"; shift 2 ;;
    --disk-dir) disk_dir="$2"; shift 2 ;;
    --table) table="$2"; shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) build="$1"; shift ;;
  esac
done
wants() { [[ ",$only," == *",$1,"* ]]; }
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORVELLA_BUILD_TESTS=OFF > /dev/null
fi
cmake --build "$build" -j2 --target Orvella orvella-host orvella-artd engine_bench service_bench sync_host \
  failing_feed > /dev/null
# Absolute: the plug-in refuses a relative image folder.
build="$(realpath -m "$build")"
disk_dir="$(realpath -m "${disk_dir:-$build/bench-disk}")"
host="$build/bin/orvella-host"
artd="$build/bin/orvella-artd"

work="$(mktemp -d /dev/shm/orvella-bench.XXXXXX)"
chmod 755 "$work"  # nginx's worker reads its files under another user
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; wait "$pid" 2> /dev/null || true; done
  rm -rf "$work" "$disk_dir"
}
trap cleanup EXIT
unset DISPLAY  # no monitors: the plug-in asks for 0 x 0, which the static answers ignore
export XDG_CONFIG_HOME="$work/config"

# ---- figures: median of the rounds, spread, and the summary table ----
summary=()
# stats V1 V2 ...: "MEDIAN SPREAD_PERCENT MIN MAX" of the values.
stats() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.6f %.0f %.6f %.6f\n", m, (m > 0 ? (v[NR] - v[1]) * 100 / m : 0), v[1], v[NR] }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
# verdict VALUE OP GOAL: "yes" or "NO".
verdict() { awk -v v="$1" -v op="$2" -v g="$3" 'BEGIN {
  ok = op == "<=" ? v <= g : op == ">=" ? v >= g : op == "<" ? v < g : v > g
  print ok ? "yes" : "NO" }'; }
# record NAME VALUE GOAL_OP GOAL SPREAD_PERCENT: one line of the summary.
record() {
  local met="-" noisy=""
  [ -z "$3" ] || met=$(verdict "$2" "$3" "$4")
  [ "${5:-0}" -le 10 ] || noisy=" (noisy)"
  summary+=("$1|$2|${3:+$3 $4}|$met|${5:-0}%$noisy")
}
now() { date +%s%N; }
# timed_run OUT_PREFIX CMD...: runs CMD under GNU time; appends the wall seconds to
# OUT_PREFIX.s and the peak resident KiB to OUT_PREFIX.kb. Fails when CMD fails.
timed_run() {
  local out="$1" start end
  shift
  start=$(now)
  /usr/bin/time -f '%M' -o "$out.rss" "$@" > "$out.log" 2>&1 || { cat "$out.log"; return 1; }
  end=$(now)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.4f\n", ns / 1e9 }' >> "$out.s"
  cat "$out.rss" >> "$out.kb"
}
# csv_field CSV PATTERN COLUMN: the column of the first benchmark row whose name matches.
csv_field() {
  printf '%s\n' "$1" | awk -F, -v pat="$2" -v col="$3" '
    NR == 1 { gsub(/"/, ""); for (i = 1; i <= NF; i++) if ($i == col) c = i; next }
    $1 ~ pat { gsub(/"/, "", $c); print $c; exit }'
}
# csv_values CSV PATTERN COLUMN: the column of every repetition whose name matches (the
# aggregate rows left out).
csv_values() {
  printf '%s\n' "$1" | awk -F, -v pat="$2" -v col="$3" '
    NR == 1 { gsub(/"/, ""); for (i = 1; i <= NF; i++) if ($i == col) c = i; next }
    $1 ~ pat && $1 !~ /_(mean|median|stddev|cv)"$/ { gsub(/"/, "", $c); print $c }'
}
# bench PROGRAM FILTER: the benchmark's CSV over the rounds' repetitions.
bench() {
  "$build/bench/$1" --benchmark_format=csv --benchmark_filter="$2" \
    --benchmark_repetitions="$rounds" 2> /dev/null
}

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores," \
  "$(free -g | awk '/^Mem:/ { print $2 }') GB; load at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "build: $build   rounds: $rounds"

# ---- the folder syncs' service: one nginx on loopback, static answers and images ----
www="$work/www"
base=""
declare -A answer_bytes
# start_nginx: nginx on a free loopback port with a private configuration, stopped at the
# end; sets base and ORVELLA_SERVER_URL. Once per run.
start_nginx() {
  [ -z "$base" ] || return 0
  command -v nginx > /dev/null || { echo "nginx is missing (scripts/install-deps.sh)"; exit 1; }
  mkdir -p "$www/answers" "$www/img" "$work/nginx"
  chmod -R a+rX "$www"
  local attempt
  for attempt in 1 2 3 4 5 6 7 8 9 10; do
    port=$((20000 + RANDOM % 30000))
    ss -Htln "sport = :$port" 2> /dev/null | grep -q . && continue
    cat > "$work/nginx/nginx.conf" << EOF
worker_processes 1;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  types { image/jpeg jpg; application/json json; }
  server {
    listen 127.0.0.1:$port;
    root $www;
    # The feed's tags name the case: the answer for it is a static file.
    location = /api/v3/art/ { default_type application/json; try_files /answers/\$arg_keyword.json =404; }
  }
}
EOF
    nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" -e "$work/nginx/error.log" 2> /dev/null &
    nginx_pid=$!
    for _ in $(seq 50); do
      curl -s -o /dev/null "http://127.0.0.1:$port/" && break
      kill -0 "$nginx_pid" 2> /dev/null || break
      sleep 0.1
    done
    if kill -0 "$nginx_pid" 2> /dev/null; then pids+=("$nginx_pid"); break; fi
    nginx_pid=""
  done
  [ -n "${nginx_pid:-}" ] || { echo "nginx did not start"; cat "$work/nginx/error.log"; exit 1; }
  base="http://127.0.0.1:$port"
  export ORVELLA_SERVER_URL="$base"
  echo "nginx $(nginx -v 2>&1 | sed 's/.*nginx\///') on $base"
}
# serve_case COUNTxBYTES: random images on tmpfs, the feed's answer naming them, and a curl
# configuration making the same requests as the plug-in (its feed query, then every
# image). "0x0" is an empty feed. Once per case, after start_nginx.
serve_case() {
  local c="$1" n size query
  [ ! -d "$www/img/$c" ] || return 0
  n=${c%x*}
  size=${c#*x}
  mkdir -p "$www/img/$c"
  if [ "$n" -gt 0 ]; then
    head -c $((n * size)) /dev/urandom |
      split -b "$size" -a 5 -d --additional-suffix=.jpg - "$www/img/$c/p"
  fi
  ls "$www/img/$c" | awk -v base="$base/img/$c" '
    BEGIN { printf "{\"art\":[" }
    { printf "%s{\"name\":\"Picture %d\",\"filename\":\"%s\",\"wall_url\":\"%s/%s\"}", (NR > 1 ? "," : ""), NR, $1, base, $1 }
    END { print "]}" }' > "$www/answers/$c.json"
  answer_bytes[$c]=$(stat -c %s "$www/answers/$c.json")
  query="$base/api/v3/art/?client=Qm3rTz8LkVb2NwYp5HsXc7Ja&limit=$n&has_wall=1&wall_type=computer&wall_width=0&wall_height=0&keyword=$c"
  {
    printf 'url = "%s"\noutput = "answer.json"\n' "$query"
    ls "$www/img/$c" | awk -v base="$base/img/$c" '{ printf "url = \"%s/%s\"\noutput = \"%s\"\n", base, $1, $1 }'
  } > "$work/curl-$c.cfg"
  chmod -R a+rX "$www"
}
# check_folder FOLDER COUNT WHO: the folder must hold COUNT images.
check_folder() {
  local got
  got=$(find "$1" -name 'p*.jpg' | wc -l)
  [ "$got" -eq "$2" ] || { echo "$3 stored $got of $2 images in $1"; exit 1; }
}

# time_rounds DEST_ROOT CASE OUT_PREFIX [flush]: the rounds of one case, curl and the
# module each into a fresh folder under DEST_ROOT, which of them goes first alternating so
# that neither always finds a warmer cache: wall seconds in OUT_PREFIX.curl.s and
# .module.s, peaks in .kb. With "flush", curl is followed by one sync -f of its folder,
# timed into OUT_PREFIX.flush.s.
time_rounds() {
  local dest_root="$1" c="$2" r="$3" flush="${4:-}" n="${2%x*}" round who dest
  rm -f "$r".*
  for round in $(seq "$rounds"); do
    for who in curl module; do
      [ $((round % 2)) = 0 ] && who=$([ "$who" = curl ] && echo module || echo curl)
      dest="$dest_root/$who"
      rm -rf "$dest"
      mkdir -p "$dest"
      # What earlier rounds left unflushed is not charged to this one.
      sync -f "$dest_root"
      if [ "$who" = curl ]; then
        (cd "$dest" && timed_run "$r.curl" curl -s -H 'Connection: close' -K "$work/curl-$c.cfg")
        # The one flush that puts what curl wrote, names and bytes, on the disk.
        [ -z "$flush" ] || timed_run "$r.flush" sync -f "$dest"
      else
        timed_run "$r.module" "$build/bench/sync_host" "$build/bin/Orvella.rpl" "$dest" "$n" "$c"
      fi
      check_folder "$dest" "$n" "$who"
      rm -rf "$dest"
    done
  done
}

# ---- folder sync against curl ----
if wants sync; then
  cases=("1000x4096" "10000x4096" "1000x65536" "200x1048576")
  echo "== folder sync: preparing ${cases[*]} (count x bytes) on tmpfs"
  start_nginx
  # The fixed costs of either side (starting the program, loading the module and the
  # libraries, the feed query, the end) come from a sync of an empty feed, case "0x0".
  for c in 0x0 "${cases[@]}"; do serve_case "$c"; done

  declare -A mod_s cur_s mod_kb cur_kb spread_mod spread_cur
  # per_file MEDIUM CASE: module/curl with each side's fixed costs taken out.
  per_file() {
    ratio "$(awk -v a="${mod_s[$1,$2]}" -v b="${mod_s[$1,0x0]}" 'BEGIN { print a - b }')" \
      "$(awk -v a="${cur_s[$1,$2]}" -v b="${cur_s[$1,0x0]}" 'BEGIN { print a - b }')"
  }
  for medium in tmpfs disk; do
    if [ "$medium" = tmpfs ]; then dest_root="$work/dest"; else dest_root="$disk_dir"; fi
    mkdir -p "$dest_root"
    echo "== folder sync into $medium ($dest_root): module (sync_host) against curl"
    for c in 0x0 "${cases[@]}"; do
      r="$work/r-$medium-$c"
      time_rounds "$dest_root" "$c" "$r"
      read -r mod_s[$medium,$c] spread_mod[$medium,$c] mod_min mod_max < <(stats $(cat "$r.module.s"))
      read -r cur_s[$medium,$c] spread_cur[$medium,$c] cur_min cur_max < <(stats $(cat "$r.curl.s"))
      read -r mod_kb[$medium,$c] _ _ _ < <(stats $(cat "$r.module.kb"))
      read -r cur_kb[$medium,$c] _ _ _ < <(stats $(cat "$r.curl.kb"))
      fixed=""
      [ "$c" = 0x0 ] || fixed="   per file (fixed costs out): $(per_file "$medium" "$c")"
      printf '%-12s module %7.3f s (%.3f-%.3f, %2d MB)   curl %7.3f s (%.3f-%.3f, %2d MB)   module/curl %s%s\n' \
        "$c" "${mod_s[$medium,$c]}" "$mod_min" "$mod_max" $((${mod_kb[$medium,$c]%.*} >> 10)) \
        "${cur_s[$medium,$c]}" "$cur_min" "$cur_max" $((${cur_kb[$medium,$c]%.*} >> 10)) \
        "$(ratio "${mod_s[$medium,$c]}" "${cur_s[$medium,$c]}")" "$fixed"
    done
  done
  start=$(now)
  : > "$work/empty.ini"  # a profile of nothing: orvella-host reads only regular files
  for _ in 1 2 3; do "$host" --quiet --profile "$work/empty.ini" version > /dev/null; done
  load_s=$(awk -v ns=$(($(now) - start)) 'BEGIN { printf "%.3f", ns / 3e9 }')
  echo "loading the module and its libraries (orvella-host version): $load_s s, part of every module figure"

  # The name test of each download (a file created and removed) timed alone.
  declare -A create_us
  for medium in tmpfs disk; do
    if [ "$medium" = tmpfs ]; then folder="$work/dest/create"; else folder="$disk_dir/create"; fi
    mkdir -p "$folder"
    csv=$(ORVELLA_BENCH_FOLDER="$folder" bench engine_bench '^BM_BuildLocalName$')
    read -r create_us[$medium] _ _ _ < <(stats $(csv_values "$csv" BM_BuildLocalName real_time))
    rm -rf "$folder"
  done

  for medium in tmpfs disk; do
    s=${spread_mod[$medium,1000x65536]}
    [ "${spread_cur[$medium,1000x65536]}" -le "$s" ] || s=${spread_cur[$medium,1000x65536]}
    goal=""
    [ "$medium" = tmpfs ] && goal="1.2"
    record "sync 1,000 x 64 KB, $medium: module/curl time" \
      "$(ratio "${mod_s[$medium,1000x65536]}" "${cur_s[$medium,1000x65536]}")" "${goal:+<=}" "$goal" "$s"
    record "sync 1,000 x 64 KB, $medium: the same per file (fixed costs out)" \
      "$(per_file "$medium" 1000x65536)" "${goal:+<=}" "$goal" "$s"
    s=${spread_mod[$medium,200x1048576]}
    [ "${spread_cur[$medium,200x1048576]}" -le "$s" ] || s=${spread_cur[$medium,200x1048576]}
    goal=""
    [ "$medium" = tmpfs ] && goal="1.1"
    record "sync 200 x 1 MB, $medium: module/curl time" \
      "$(ratio "${mod_s[$medium,200x1048576]}" "${cur_s[$medium,200x1048576]}")" "${goal:+<=}" "$goal" "$s"
    record "sync 200 x 1 MB, $medium: the same per file (fixed costs out)" \
      "$(per_file "$medium" 200x1048576)" "${goal:+<=}" "$goal" "$s"
    for c in 1000x4096 10000x4096; do
      s=${spread_mod[$medium,$c]}
      [ "${spread_cur[$medium,$c]}" -le "$s" ] || s=${spread_cur[$medium,$c]}
      record "sync ${c%x*} x 4 KB, $medium: module/curl time" \
        "$(ratio "${mod_s[$medium,$c]}" "${cur_s[$medium,$c]}")" "" "" "$s"
    done
    # On tmpfs a file creation costs microseconds and the growth is the module's own. On the
    # disk each creation costs more as the folder fills, for curl as much as for the module:
    # both are shown there, the module's without a goal.
    s=${spread_mod[$medium,10000x4096]}
    [ "${spread_mod[$medium,1000x4096]}" -le "$s" ] || s=${spread_mod[$medium,1000x4096]}
    goal=""
    [ "$medium" = tmpfs ] && goal="11"
    record "sync 4 KB, $medium: module time(10,000)/time(1,000)" \
      "$(ratio "${mod_s[$medium,10000x4096]}" "${mod_s[$medium,1000x4096]}")" "${goal:+<=}" "$goal" "$s"
    s=${spread_cur[$medium,10000x4096]}
    [ "${spread_cur[$medium,1000x4096]}" -le "$s" ] || s=${spread_cur[$medium,1000x4096]}
    record "sync 4 KB, $medium: curl time(10,000)/time(1,000)" \
      "$(ratio "${cur_s[$medium,10000x4096]}" "${cur_s[$medium,1000x4096]}")" "" "" "$s"
    # Peak memory of the bigger batch against twice the smaller one's plus its answer.
    allowed_kb=$(awk -v k="${mod_kb[$medium,1000x4096]}" -v a="${answer_bytes[10000x4096]}" \
      'BEGIN { print 2 * k + a / 1024 }')
    record "sync 4 KB, $medium: peak(10,000) / (2 peak(1,000) + answer)" \
      "$(ratio "${mod_kb[$medium,10000x4096]}" "$allowed_kb")" "<" 1 0
    # How much of the module's extra time the name test's file creation explains.
    for c in 1000x65536 200x1048576 10000x4096; do
      n=${c%x*}
      extra=$(awk -v m="${mod_s[$medium,$c]}" -v c="${cur_s[$medium,$c]}" 'BEGIN { print m - c }')
      creation=$(awk -v us="${create_us[$medium]}" -v n="$n" 'BEGIN { printf "%.3f", us * n / 1e6 }')
      printf '%s, %s: module - curl = %.3f s; the name test alone (%.1f us each) = %s s (%s of it)\n' \
        "$medium" "$c" "$extra" "${create_us[$medium]}" "$creation" \
        "$(awk -v a="$creation" -v b="$extra" 'BEGIN { if (b > 0) printf "%.0f%%", 100 * a / b; else printf "n/a" }')"
    done
  done
fi

# ---- the durable sync on the disk: the module against curl plus one flush ----
if wants durable; then
  durable_cases=("200x307200" "1000x65536")
  echo "== durable sync: preparing ${durable_cases[*]} (count x bytes) on tmpfs"
  start_nginx
  for c in "${durable_cases[@]}"; do serve_case "$c"; done
  dest_root="$disk_dir/durable"
  mkdir -p "$dest_root"
  echo "== durable sync into the disk ($dest_root): module (sync_host) against curl, then sync -f of its folder"
  for c in "${durable_cases[@]}"; do
    r="$work/d-$c"
    time_rounds "$dest_root" "$c" "$r" flush
    paste -d' ' "$r.curl.s" "$r.flush.s" | awk '{ printf "%.4f\n", $1 + $2 }' > "$r.safe.s"
    read -r dmod dmod_spread dmod_min dmod_max < <(stats $(cat "$r.module.s"))
    read -r dsafe dsafe_spread dsafe_min dsafe_max < <(stats $(cat "$r.safe.s"))
    read -r dcurl _ _ _ < <(stats $(cat "$r.curl.s"))
    read -r dflush _ _ _ < <(stats $(cat "$r.flush.s"))
    printf '%-12s module %7.3f s (%.3f-%.3f)   curl + sync -f %7.3f s (%.3f-%.3f; curl %.3f, sync -f %.3f)   module/(curl + sync -f) %s\n' \
      "$c" "$dmod" "$dmod_min" "$dmod_max" "$dsafe" "$dsafe_min" "$dsafe_max" "$dcurl" "$dflush" \
      "$(ratio "$dmod" "$dsafe")"
    case "$c" in
      200x307200) label="200 x 300 KB" ;;
      *) label="1,000 x 64 KB" ;;
    esac
    s=$dmod_spread
    [ "$dsafe_spread" -le "$s" ] || s=$dsafe_spread
    record "durable sync $label, disk: module/(curl + sync -f) time" \
      "$(ratio "$dmod" "$dsafe")" "<=" 1.2 "$s"
  done
  rm -rf "$dest_root"
fi

# ---- list file ----
if wants list; then
  echo "== list file, 100,000 entries: engine write + read against a plain write / getline loop"
  echo "   (and against the same loop reading into a map; the engine also flushes its list to the disk)"
  for medium in disk tmpfs; do
    folder="$disk_dir/list"
    [ "$medium" = disk ] || folder="$work/list"
    mkdir -p "$folder"
    csv=$(ORVELLA_BENCH_FOLDER="$folder" bench engine_bench '^BM_ListFile')
    for b in Engine Plain PlainMap MapOnly EngineWrite EngineRead; do
      read -r "list_$b" "list_spread_$b" _ _ < <(stats $(csv_values "$csv" "BM_ListFile$b/" real_time))
    done
    list_spread=$list_spread_Engine
    [ "$list_spread_Plain" -le "$list_spread" ] || list_spread=$list_spread_Plain
    printf '%s: engine %.1f ms (write %.1f ms, read %.1f ms)   plain loop %.1f ms   into a map %.1f ms   engine/plain %s   engine/map %s\n' \
      "$medium" "$list_Engine" "$list_EngineWrite" "$list_EngineRead" "$list_Plain" "$list_PlainMap" \
      "$(ratio "$list_Engine" "$list_Plain")" "$(ratio "$list_Engine" "$list_PlainMap")"
    printf '%s: the engine'"'"'s map alone (100,000 decoded records in, then freed) %.1f ms = %s x the plain loop\n' \
      "$medium" "$list_MapOnly" "$(ratio "$list_MapOnly" "$list_Plain")"
    record "list file 100,000 entries, $medium: engine/plain loop time" \
      "$(ratio "$list_Engine" "$list_Plain")" "<=" 1.5 "$list_spread"
    map_spread=$list_spread_Engine
    [ "$list_spread_PlainMap" -le "$map_spread" ] || map_spread=$list_spread_PlainMap
    record "list file 100,000 entries, $medium: engine/plain loop into a map" \
      "$(ratio "$list_Engine" "$list_PlainMap")" "" "" "$map_spread"
    record "list file 100,000 entries, $medium: engine's map alone/plain loop" \
      "$(ratio "$list_MapOnly" "$list_Plain")" "" "" "$list_spread_MapOnly"
    rm -rf "$folder"
  done
fi

# ---- feed answer ----
if wants feed; then
  echo "== feed answer through QueryFeed, 10,000 and 100,000 entries and 16 MiB of small ones (each in its own process)"
  declare -A feed_ms feed_peak feed_body feed_items
  for n in 10000 100000; do
    csv=$("$build/bench/service_bench" --benchmark_format=csv --benchmark_filter="^BM_QueryFeed/$n/" \
      2> /dev/null)
    feed_ms[$n]=$(csv_field "$csv" "BM_QueryFeed/$n/" real_time)
    feed_peak[$n]=$(csv_field "$csv" "BM_QueryFeed/$n/" peak_MB)
    feed_body[$n]=$(csv_field "$csv" "BM_QueryFeed/$n/" body_MB)
    feed_items[$n]=$(csv_field "$csv" "BM_QueryFeed/$n/" items_MB)
    printf '%6d entries: %7.1f ms   peak %6.1f MB   answer %5.1f MB   items %5.1f MB\n' \
      "$n" "${feed_ms[$n]}" "${feed_peak[$n]}" "${feed_body[$n]}" "${feed_items[$n]}"
  done
  record "feed answer: time(100,000)/time(10,000)" \
    "$(ratio "${feed_ms[100000]}" "${feed_ms[10000]}")" "<=" 11 0
  record "feed answer 100,000: peak / (3 answer + items)" \
    "$(awk -v p="${feed_peak[100000]}" -v b="${feed_body[100000]}" -v i="${feed_items[100000]}" \
      'BEGIN { printf "%.2f", p / (3 * b + i) }')" "<" 1 0
  csv=$("$build/bench/service_bench" --benchmark_format=csv \
    --benchmark_filter="^BM_QueryFeedSmallEntries/16/" 2> /dev/null)
  small="BM_QueryFeedSmallEntries/16/"
  small_peak=$(csv_field "$csv" "$small" peak_MB)
  small_body=$(csv_field "$csv" "$small" body_MB)
  small_items=$(csv_field "$csv" "$small" items_MB)
  printf '16 MiB of small entries: %7.1f ms   peak %6.1f MB   answer %5.1f MB   items %5.1f MB\n' \
    "$(csv_field "$csv" "$small" real_time)" "$small_peak" "$small_body" "$small_items"
  record "feed answer 16 MiB of small entries: peak / (3 answer + items)" \
    "$(awk -v p="$small_peak" -v b="$small_body" -v i="$small_items" \
      'BEGIN { printf "%.2f", p / (3 * b + i) }')" "<" 1 0
fi

# ---- MD5 ----
if wants md5; then
  echo "== MD5 of 256 MB: cMD5 against md5sum"
  head -c $((256 << 20)) /dev/urandom > "$work/md5-data"
  md5sum "$work/md5-data" > /dev/null
  : > "$work/md5sum.s"
  for _ in $(seq "$rounds"); do
    start=$(now)
    sum=$(md5sum "$work/md5-data" | cut -c1-32)
    awk -v ns=$(($(now) - start)) 'BEGIN { print 256 / (ns / 1e9) }' >> "$work/md5sum.s"
  done
  read -r md5sum_mbs md5sum_spread _ _ < <(stats $(cat "$work/md5sum.s"))
  csv=$(ORVELLA_BENCH_MD5_FILE="$work/md5-data" bench service_bench '^BM_Md5')
  read -r cmd5_bps cmd5_spread _ _ < <(stats $(csv_values "$csv" BM_Md5 bytes_per_second))
  cmd5_mbs=$(awk -v b="$cmd5_bps" 'BEGIN { printf "%.1f", b / 1048576 }')
  [ "$cmd5_spread" -le "$md5sum_spread" ] || md5sum_spread=$cmd5_spread
  label=$(csv_field "$csv" BM_Md5 label)
  [ "$label" = "$sum" ] || { echo "cMD5 digest $label differs from md5sum's $sum"; exit 1; }
  rm -f "$work/md5-data"
  printf 'md5sum: %.1f MB/s   cMD5: %.1f MB/s\n' "$md5sum_mbs" "$cmd5_mbs"
  record "MD5 256 MB: cMD5/md5sum speed" "$(ratio "$cmd5_mbs" "$md5sum_mbs")" ">=" 0.9 "$md5sum_spread"
fi

# ---- a large service answer ----
if wants fetch; then
  echo "== 50 MB service answer: FetchUrl against curl -o /dev/null"
  "$artd" --port 0 --image-bytes $((50 << 20)) > "$work/artd.out" 2> /dev/null &
  pids+=("$!")
  until grep -q '^listening on ' "$work/artd.out" 2> /dev/null; do sleep 0.1; done
  abase=$(head -1 "$work/artd.out" | sed 's/^listening on //')
  url=$(curl -s "$abase/api/v3/art/?client=Qm3rTz8LkVb2NwYp5HsXc7Ja&limit=1&has_wall=1&wall_type=computer&wall_width=64&wall_height=64" |
    grep -o '"wall_url":"[^"]*"' | head -1 | sed 's/"wall_url":"//; s/"$//')
  curl -s -o /dev/null "$url"  # rendered into the service's cache
  : > "$work/curl-fetch.s"
  for _ in $(seq "$rounds"); do
    start=$(now)
    for _ in 1 2 3 4 5; do curl -s -o /dev/null "$url"; done
    awk -v ns=$(($(now) - start)) 'BEGIN { print ns / 5e6 }' >> "$work/curl-fetch.s"
  done
  read -r curl_ms curl_spread _ _ < <(stats $(cat "$work/curl-fetch.s"))
  csv=$(ORVELLA_BENCH_URL="$url" bench service_bench '^BM_FetchUrl')
  read -r fetch_ms fetch_spread _ _ < <(stats $(csv_values "$csv" BM_FetchUrl real_time))
  [ "$fetch_spread" -le "$curl_spread" ] || curl_spread=$fetch_spread
  printf 'curl: %.1f ms   FetchUrl: %.1f ms\n' "$curl_ms" "$fetch_ms"
  record "50 MB answer: FetchUrl/curl time" "$(ratio "$fetch_ms" "$curl_ms")" "<=" 1.5 "$curl_spread"
fi

# ---- the idle worker ----
if wants idle; then
  echo "== idle worker over ${idle_seconds} s"
  "$artd" --port 0 > "$work/artd-idle.out" 2> /dev/null &
  pids+=("$!")
  until grep -q '^listening on ' "$work/artd-idle.out" 2> /dev/null; do sleep 0.1; done
  printf '[OrvellaPlugIn]\nEnabled=1\ntmUpdate=1440\nImgFolder=%s\nnFeeds=1\nFeed0_Type=1\nFeed0_Flg=1\nFeed0_MaxP=5\n' \
    "$work/idle" > "$work/idle.ini"
  mkdir -p "$work/idle"
  : > "$work/run.err"
  ORVELLA_SERVER_URL=$(head -1 "$work/artd-idle.out" | sed 's/^listening on //') \
    "$host" --profile "$work/idle.ini" run 2> "$work/run.err" &
  run_pid=$!
  pids+=("$run_pid")
  until grep -q "Download complete" "$work/run.err"; do sleep 0.1; done
  ticks() { awk '{ print $14 + $15 }' "/proc/$run_pid/stat"; }
  before=$(ticks)
  sleep "$idle_seconds"
  after=$(ticks)
  kill -INT "$run_pid"
  wait "$run_pid" || true
  idle_ms=$(((after - before) * 1000 / $(getconf CLK_TCK)))
  printf 'CPU time while idle: %d ms in %d s (%d passes, one every 30 s)\n' \
    "$idle_ms" "$idle_seconds" $(($(grep -c "Download complete" "$work/run.err") - 1))
  record "idle worker: CPU ms per minute" "$((idle_ms * 60 / idle_seconds))" "" "" 0
fi

# ---- stop latency ----
if wants stop && [ -x "$root/bench/stop_latency.sh" ]; then
  echo "== stop latency (bench/stop_latency.sh)"
  "$root/bench/stop_latency.sh" "$build"
fi

# ---- a failing feed during a batch ----
if wants backoff; then
  echo "== a failing feed during a batch of 200 downloads (bench/failing_feed)"
  "$build/bench/failing_feed" "$build/bin/Orvella.rpl" "$work/backoff" > "$work/backoff.out"
  cat "$work/backoff.out"
  while read -r line; do
    name=${line#failing feed }
    name=${name%%: passes *}
    read -r passes queries < <(awk '{ print $(NF - 2), $NF }' <<< "$line")
    record "failing feed ($name), batch of 200: queries of it" "$queries" "<=" 2 0
    record "failing feed ($name), batch of 200: passes (asked at each)" "$passes" "" "" 0
  done < "$work/backoff.out"
fi

echo "== summary (median of $rounds rounds; spread = (max - min) / median)"
printf '%-62s %8s %8s %5s %s\n' figure value goal met spread
for line in "${summary[@]}"; do
  IFS='|' read -r name value goal met spread <<< "$line"
  printf '%-62s %8s %8s %5s %s\n' "$name" "$value" "$goal" "$met" "$spread"
done
echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ -n "$table" ]; then
  {
    echo "| figure | value | goal | met | spread |"
    echo "|---|---|---|---|---|"
    for line in "${summary[@]}"; do echo "| ${line//|/ | } |"; done
  } > "$table"
fi
