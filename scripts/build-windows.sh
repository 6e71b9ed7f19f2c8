#!/usr/bin/env bash
# Cross-builds KDAutoUpdate for 64-bit Windows into build-windows/ with mingw-w64, installing
# the tool chain and wine first where they are missing. Programs, tests and _AuResLib.dll land
# in build-windows/bin, the Windows Installer package (wixl) in build-windows/. Run
# scripts/test-windows.sh afterwards to run them under wine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh" --windows
# libsodium for the signature checks, built once from Debian's sources (skipped when built).
bash "$root/scripts/build-windows-libsodium.sh"
# libzstd for delta packages, the same way.
bash "$root/scripts/build-windows-libzstd.sh"

# -O2: GCC 12's -O3 reports false overlaps (-Wrestrict) inside the standard library.
launcher=()
if command -v ccache >/dev/null; then
  # Paths relative to the checkout, so that another checkout's build hits the same cache.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$root/build-windows" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DKDAU_BUILD_BENCH=OFF "${launcher[@]}"
cmake --build "$root/build-windows" -j"$(nproc)"
