#!/usr/bin/env bash
# demo_options_test.sh DEMO: every option of the demo is checked before anything is
# installed or built; a bad one stops it with exit 2 and says which.
set -u
demo="$1"
failures=0
expect() {  # expect STATUS TEXT ARGS...
  local status="$1" text="$2"
  shift 2
  local err got
  err="$("$demo" "$@" 2>&1 > /dev/null)"
  got=$?
  if [ "$got" != "$status" ] || [[ "$err" != *"$text"* ]]; then
    echo "demo.sh $*: exit $got, said: $err (wanted exit $status and '$text')"
    failures=$((failures + 1))
  fi
}
expect 2 "--catalog needs a value" --catalog
expect 2 "--folder needs a value" --folder=
expect 2 "not 'abc'" --wallpapers abc
expect 2 "not '0'" --wallpapers=0
expect 2 "not '1001'" --clocks 1001
expect 2 "not '1920'" --size 1920
expect 2 "not '0x600'" --size=0x600
expect 2 "not '16385x600'" --size 16385x600
expect 2 "no readable catalog file" --catalog /nonexistent/catalog.json
expect 2 "unknown option '--nope'" --nope
expect 2 "takes no value" --verbose=yes
expect 2 "one image folder only" a b
expect 0 "" --help
"$demo" --help | grep -q -- "--catalog FILE" || { echo "demo.sh --help lacks --catalog"; failures=$((failures + 1)); }
echo "$((13 - failures)) passed, $failures failed"
((failures == 0))
