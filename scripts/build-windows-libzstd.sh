#!/usr/bin/env bash
# Builds libzstd for 64-bit Windows (mingw-w64, static) from Debian's own source package with
# its CMake build, so the Windows agent applies delta patches with the same library as the
# Linux one. Installs into build-windows/third_party/libzstd (include/, lib/libzstd.a); does
# nothing when that is already there. Called by build-windows.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cache="$root/build-windows/third_party"
prefix="$cache/libzstd"
if [ -f "$prefix/lib/libzstd.a" ] && [ -f "$prefix/include/zstd.h" ]; then
  exit 0
fi
# shellcheck source=windows-deb-source.sh
. "$root/scripts/windows-deb-source.sh"
need_tools cmake ninja-build
mkdir -p "$cache"
cd "$cache"
fetch_deb_source libzstd
# The library alone, single-threaded (the agent decodes on its own thread), without the
# command-line programs and their tests.
cmake -S "$source_dir/build/cmake" -B "$cache/libzstd-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DZSTD_BUILD_STATIC=ON -DZSTD_BUILD_SHARED=OFF \
  -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF -DZSTD_BUILD_CONTRIB=OFF \
  -DZSTD_MULTITHREAD_SUPPORT=OFF -DZSTD_LEGACY_SUPPORT=OFF >/dev/null
cmake --build "$cache/libzstd-build" >/dev/null
cmake --install "$cache/libzstd-build" >/dev/null
