#!/usr/bin/env bash
# demo.sh: the plug-in's main job, end to end, against the local art service.
#
# Installs what is missing, builds the module, the reference host and the local art
# service if needed, starts the service on a loopback port with its demo account and
# catalog, signs in and sets up a wallpaper feed and a clock feed with orvella-host,
# runs one sync pass into the image folder and shows what the folder holds.
#
# Run it again and nothing is downloaded; run it with a changed catalog and the files
# that left the catalog are deleted:
#   build/bin/orvella-artd --dump-catalog > my-catalog.json   # then edit it
#   scripts/demo.sh --catalog my-catalog.json
#
# Everything the demo keeps (profile, signed-in account, service port) lives in
# $ORVELLA_DEMO_HOME (default build/demo); your own account and profile are not touched.
# ORVELLA_BUILD_DIR picks another build folder than build/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

usage() {
  cat <<'EOF'
usage: scripts/demo.sh [FOLDER] [options]

  FOLDER, --folder DIR  image folder to keep in step (default ./wallpapers)
  --catalog FILE        serve this catalog instead of the demo catalog
                        (make one with: build/bin/orvella-artd --dump-catalog)
  --wallpapers N        most wallpapers to ask for (default 12)
  --clocks N            most wallpaper clocks to ask for (default 4)
  --size WxH            screen size when there is no $DISPLAY (default 1920x1080)
  --verbose, -v         show the plug-in's diagnostic lines
  --help, -h            this text

Options take their value as "--option VALUE" or "--option=VALUE".
EOF
}

folder="./wallpapers"
folder_given=0
catalog=""
wallpapers=12
clocks=4
size="1920x1080"
verbose=0

fail_usage() {
  echo "demo.sh: $*" >&2
  echo "Try 'scripts/demo.sh --help' for more information." >&2
  exit 2
}
# A whole number from 1 to 1000.
count() {
  [[ "$2" =~ ^[0-9]+$ ]] && ((10#$2 >= 1 && 10#$2 <= 1000)) ||
    fail_usage "$1 needs a whole number from 1 to 1000, not '$2'"
  echo $((10#$2))
}

while (($#)); do
  option="$1"
  value=""
  has_value=0
  case "$option" in
    --*=*) value="${option#*=}"; option="${option%%=*}"; has_value=1 ;;
  esac
  case "$option" in
    --folder | --catalog | --wallpapers | --clocks | --size)
      if ((!has_value)); then
        (($# >= 2)) || fail_usage "$option needs a value"
        value="$2"
        shift
      fi
      [ -n "$value" ] || fail_usage "$option needs a value"
      ;;
    *) ((!has_value)) || fail_usage "$option takes no value" ;;
  esac
  shift
  case "$option" in
    --folder) folder="$value"; folder_given=1 ;;
    --catalog)
      [ -f "$value" ] && [ -r "$value" ] || fail_usage "no readable catalog file '$value'"
      catalog="$(cd "$(dirname "$value")" && pwd)/$(basename "$value")"
      ;;
    --wallpapers) wallpapers="$(count "$option" "$value")" ;;
    --clocks) clocks="$(count "$option" "$value")" ;;
    --size)
      [[ "$value" =~ ^([0-9]+)x([0-9]+)$ ]] &&
        ((10#${BASH_REMATCH[1]} >= 1 && 10#${BASH_REMATCH[1]} <= 16384 &&
          10#${BASH_REMATCH[2]} >= 1 && 10#${BASH_REMATCH[2]} <= 16384)) ||
        fail_usage "--size needs WIDTHxHEIGHT, each from 1 to 16384, not '$value'"
      ;;
    --verbose | -v) verbose=1 ;;
    --help | -h) usage; exit 0 ;;
    -*) fail_usage "unknown option '$option'" ;;
    *)
      ((!folder_given)) || fail_usage "one image folder only ('$folder' and '$option')"
      folder="$option"
      folder_given=1
      ;;
  esac
  [ "$option" != --size ] || size="$value"
done

say() { printf '\n== %s\n' "$*"; }

say "dependencies"
build="${ORVELLA_BUILD_DIR:-$root/build}"
mkdir -p "$build"
# apt's own lines (hundreds on a fresh machine) go to a log; only a failure shows them.
echo "installing what the demo needs (apt's output in $build/demo-deps.log)"
if ! "$root/scripts/install-deps.sh" demo > "$build/demo-deps.log" 2>&1; then
  tail -n 40 "$build/demo-deps.log" >&2
  echo "demo.sh: the packages could not be installed" >&2
  exit 1
fi

say "build"
echo "building the module, orvella-host and orvella-artd in $build (the first time takes a while)"
if ! output="$(ORVELLA_TARGETS="Orvella orvella-host orvella-artd" "$root/scripts/build.sh" "$build" 2>&1)"; then
  printf '%s\n' "$output" | tail -n 40 >&2
  echo "demo.sh: the build failed" >&2
  exit 1
fi
host="$build/bin/orvella-host"
artd="$build/bin/orvella-artd"
for program in "$host" "$artd" "$build/bin/Orvella.rpl"; do
  [ -e "$program" ] || { echo "demo.sh: the build did not produce $program" >&2; exit 1; }
done

state="${ORVELLA_DEMO_HOME:-$build/demo}"
mkdir -p "$state/config"
chmod 700 "$state" "$state/config"
mkdir -p "$folder"
folder="$(cd "$folder" && pwd)"

pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# Starts the service on port $1 (0: any free one); sets $service_url. Fails when the port
# cannot be had.
start_service() {
  local log="$state/artd.log" pid line=""
  : > "$log"
  "$artd" --host 127.0.0.1 --port "$1" ${catalog:+--catalog "$catalog"} > "$log" 2> "$state/artd.err" &
  pid=$!
  for _ in $(seq 100); do
    line="$(head -n 1 "$log")"
    [ -n "$line" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if [[ "$line" != "listening on "* ]]; then
    wait "$pid" 2>/dev/null || true
    return 1
  fi
  pids+=("$pid")
  service_url="${line#listening on }"
}

say "local art service"
# The image URLs hold the service's port, and the list file keys files by URL: the same
# port on every run keeps the folder's files recognised.
port="$(cat "$state/port" 2>/dev/null || echo 0)"
if ! { [ "$port" != 0 ] && start_service "$port"; }; then
  [ "$port" = 0 ] || echo "port $port is taken; files recorded under it will be fetched anew"
  start_service 0 || { cat "$state/artd.err" >&2; exit 1; }
fi
echo "${service_url#http://127.0.0.1:}" > "$state/port"
echo "serving ${catalog:-the demo catalog} at $service_url"

# The plug-in asks for pictures the size of the largest monitor. Without a desktop it
# would find none, so the demo gives it a virtual screen.
if [ -z "${DISPLAY:-}" ]; then
  rm -f "$state/display"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3> "$state/display" 2> /dev/null &
  pids+=("$!")
  for _ in $(seq 100); do [ -s "$state/display" ] && break; sleep 0.1; done
  [ -s "$state/display" ] || { echo "demo.sh: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n 1 "$state/display")"
  echo "virtual screen $size on $DISPLAY"
fi

# The host's commands below keep the profile and the account in the demo's own places.
export XDG_CONFIG_HOME="$state/config" ORVELLA_SERVER_URL="$service_url"
export ORVELLA_HOST_PROFILE="$state/profile.ini"

say "sign-in"
printf '%s\n' demo | "$host" --password-stdin sign-in demo@orvella.test ||
  { echo "demo.sh: the sign-in failed" >&2; exit 1; }

say "settings"
"$host" set folder "$folder"
"$host" set interval 1440
"$host" set wallpapers "$wallpapers"
"$host" set clocks "$clocks"
"$host" enable

say "sync into $folder"
level=()
((verbose)) && level=(--verbose)
status=0
"$host" "${level[@]}" sync || status=$?

say "the folder"
list="$folder/rvt_orv_files.lst"
images=0
bytes=0
while IFS= read -r -d '' file; do
  images=$((images + 1))
  bytes=$((bytes + $(stat -c %s "$file")))
done < <(find "$folder" -maxdepth 1 -type f -name '*.jpg' -print0)
echo "$folder: $images pictures, $((bytes / 1024)) KiB"
find "$folder" -maxdepth 1 -type f -name '*.jpg' -printf '  %f  %s bytes\n' | sort | head -n 8
((images <= 8)) || echo "  ..."
if [ -f "$list" ]; then
  echo "list file $(basename "$list"): $(sed -n 2p "$list" | tr -d '\r') entries"
fi
exit "$status"
