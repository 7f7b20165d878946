#!/usr/bin/env bash
# package.sh [DIR]: builds the installable packages into DIR (default build-package/):
#   orvella_VERSION_amd64.deb           the Linux build: module, orvella-host, help, manual
#                                       page, completion, systemd user timer (install with
#                                       apt-get install ./orvella_VERSION_amd64.deb)
#   orvella-artd_VERSION_amd64.deb      the local art service, for tests and demos
#   Orvella-VERSION-windows-x64.zip     the Windows module, Orvella.chm and an install text
# Release builds without tests or benchmarks, in DIR/linux and DIR/windows; the Linux one
# with Debian's hardening flags (cmake/Hardening.cmake).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build-package}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
"$root/scripts/install-deps.sh" package

launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
common=(-DCMAKE_BUILD_TYPE=Release -DORVELLA_BUILD_TESTS=OFF -DORVELLA_BUILD_BENCH=OFF "${launcher[@]}")

echo "== Debian package (Linux build in $out/linux)"
cmake -S "$root" -B "$out/linux" "${common[@]}" > /dev/null
cmake --build "$out/linux" -j"$(nproc)"
(cd "$out/linux" && cpack -G DEB)

echo "== Windows ZIP (mingw-w64 build in $out/windows)"
cmake -S "$root" -B "$out/windows" "${common[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" > /dev/null
cmake --build "$out/windows" -j"$(nproc)"
(cd "$out/windows" && cpack -G ZIP)

cp "$out"/linux/packages/*.deb "$out"/windows/packages/*.zip "$out"/
echo
echo "packages in $out:"
ls -l "$out"/*.deb "$out"/*.zip
