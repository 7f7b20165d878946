#!/usr/bin/env bash
# Builds the plug-in and shows it loaded in the reference host.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
[ -x "$root/build/tools/host/orvella-host" ] || "$root/scripts/build.sh" "$root/build"
"$root/build/tools/host/orvella-host" version
"$root/build/tools/host/orvella-host" show
