#!/usr/bin/env bash
# install-deps.sh [PROFILE]: installs the Debian packages a job needs. Idempotent.
#   demo     building the module, orvella-host and orvella-artd, and the demo's virtual
#            screen (scripts/demo.sh)
#   package  the demo's, plus the settings dialogs (GTK), the Windows cross build and the
#            packaging tools (scripts/package.sh)
#   all      everything: the above, the tests and the benchmarks (scripts/test.sh; default)
set -euo pipefail
profile="${1:-all}"
demo=(
  build-essential cmake pkg-config
  libjsoncpp-dev libxxhash-dev libcurl4-openssl-dev libcpp-httplib-dev libssl-dev
  libglib2.0-dev libx11-dev libxrandr-dev libjpeg62-turbo-dev
  xvfb xauth curl coreutils
)
package=(
  "${demo[@]}" libgtk-3-dev file dpkg-dev
  # The Windows module: mingw-w64 (posix threads) and chmcmd for the HTML help file (JsonCpp,
  # xxHash and cpp-httplib come from their Debian source packages, fetched below).
  g++-mingw-w64-x86-64-posix mingw-w64-tools fp-utils
  # The Debian package's checks: lintian, hardening-check (devscripts), and the manual
  # pages formatted as man shows them.
  lintian devscripts man-db groff-base bash-completion
)
all=(
  "${package[@]}" git time libpng-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # bench/compare.sh serves its folder syncs with nginx.
  nginx
  # Wine runs the Windows module's tests.
  wine64
  # The list road's fuzz target: clang with its libFuzzer runtime.
  clang libclang-rt-14-dev
  # The power-cut test's file system (FUSE 3) and its mount helper.
  libfuse3-dev fuse3
)
case "$profile" in
  demo) packages=("${demo[@]}") ;;
  package) packages=("${package[@]}") ;;
  all) packages=("${all[@]}") ;;
  *)
    echo "install-deps.sh: unknown profile '$profile' (demo, package or all)" >&2
    exit 2
    ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# ---- Debian source packages for the Windows build ----------------------------------------
# mingw-w64 has no build of JsonCpp, xxHash or cpp-httplib: the Windows build compiles them from
# Debian's own source packages (cmake/DebianSources.cmake). They are fetched into a cache
# folder through a sources list of our own, apt's lists and caches in a scratch folder, so
# the machine's apt configuration and state stay as they are. Every file is checked against
# its SHA-256 in cmake/debian-sources.txt; files already in the cache with that checksum
# are not fetched again.
debian_sources_pins="$(cd "$(dirname "$0")/.." && pwd)/cmake/debian-sources.txt"
debian_sources_dir="${ORVELLA_DEBIAN_SOURCES:-${XDG_CACHE_HOME:-${HOME:-}/.cache}/orvella/debian-sources}"
debian_sources_suite=bookworm

# Prints the first URI the machine's own apt sources give for the suite's binary packages
# (one-line or deb822 style), else Debian's default mirror.
debian_sources_mirror() {
  local uri
  uri="$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2> /dev/null |
    sed -E 's/\[[^]]*\]//' |
    awk -v suite="$debian_sources_suite" '$1 == "deb" && $3 == suite { print $2; exit }')"
  if [ -z "$uri" ]; then
    uri="$(cat /etc/apt/sources.list.d/*.sources 2> /dev/null | awk -v suite="$debian_sources_suite" '
      function stanza_end() {
        if (deb && in_suite && enabled && first != "" && !found) { print first; found = 1 }
        deb = 0; in_suite = 0; enabled = 1; first = ""
      }
      BEGIN { enabled = 1 }
      /^[ \t]*$/ { stanza_end(); next }
      /^Types:/ { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) in_suite = 1 }
      /^URIs:/ { first = $2 }
      /^Enabled:/ { if ($2 == "no") enabled = 0 }
      END { stanza_end() }')"
  fi
  echo "${uri:-http://deb.debian.org/debian}"
}

# Prints "package=version" for each pinned package of which a file is missing from the
# cache or differs from its checksum.
debian_sources_wanted() {
  local package version file sum
  while read -r package version file sum; do
    case "$package" in "" | "#"*) continue ;; esac
    echo "$sum  $debian_sources_dir/$file" | sha256sum --check --status 2> /dev/null ||
      echo "$package=$version"
  done < "$debian_sources_pins" | sort -u
}

# Downloads the wanted packages' source files, checks each against its pin and only then
# moves them into the cache: a failed or tampered download leaves the cache as it was.
fetch_debian_sources() {
  local wanted
  mapfile -t wanted < <(debian_sources_wanted)
  ((${#wanted[@]})) || return 0
  local work
  work="$(mktemp -d)"
  # shellcheck disable=SC2064  # the folder is known now
  trap "rm -rf '$work'" EXIT
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/files"
  local keyring=/usr/share/keyrings/debian-archive-keyring.gpg options=""
  [ -f "$keyring" ] && options="[signed-by=$keyring] "
  echo "deb-src $options$(debian_sources_mirror) $debian_sources_suite main" > "$work/sources.list"
  local apt=(-qq -o Dir::Etc::sourcelist="$work/sources.list" -o Dir::Etc::sourceparts=-
    -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache")
  # As root, apt downloads as its own user: that user must be able to reach the scratch
  # folder and write the lists and the files.
  if [ "$(id -u)" -eq 0 ] && id _apt > /dev/null 2>&1; then
    chmod 755 "$work"
    chown -R _apt "$work/lists" "$work/files"
  fi
  echo "install-deps.sh: fetching the source packages ${wanted[*]}"
  apt-get "${apt[@]}" update
  (cd "$work/files" && apt-get "${apt[@]}" source --download-only "${wanted[@]}")
  local package version file sum
  while read -r package version file sum; do
    case "$package" in "" | "#"*) continue ;; esac
    [[ " ${wanted[*]} " == *" $package=$version "* ]] || continue
    if ! echo "$sum  $work/files/$file" | sha256sum --check --status; then
      echo "install-deps.sh: $file differs from its checksum in cmake/debian-sources.txt" >&2
      exit 1
    fi
  done < "$debian_sources_pins"
  mkdir -p "$debian_sources_dir"
  while read -r package version file sum; do
    case "$package" in "" | "#"*) continue ;; esac
    [[ " ${wanted[*]} " == *" $package=$version "* ]] || continue
    mv -f "$work/files/$file" "$debian_sources_dir/$file"
  done < "$debian_sources_pins"
}

case "$profile" in
  package | all) fetch_debian_sources ;;
esac
