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
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# The source package comes from the same archive as the binary ones (see
# build-windows-libsodium.sh, which adds the deb-src entries the same way).
src_list=/etc/apt/sources.list.d/kdau-deb-src.sources
if ! apt-cache showsrc libzstd 2>/dev/null | grep -q '^Package: libzstd'; then
  if [ ! -f "$src_list" ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $SUDO tee "$src_list" >/dev/null
  fi
  $SUDO apt-get update -qq
fi
missing=()
for p in cmake ninja-build dpkg-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

mkdir -p "$cache"
cd "$cache"
source_dir="$(find . -maxdepth 1 -type d -name 'libzstd-*' | sort | tail -n 1)"
if [ -z "$source_dir" ]; then
  # Newest first; a mirror may lack the sources of a security update, then the release's.
  for version in $(apt-cache showsrc libzstd | sed -n 's/^Version: //p' | sort -Vr); do
    apt-get source -qq "libzstd=$version" >/dev/null 2>&1 && break
    rm -f libzstd_*
  done
  source_dir="$(find . -maxdepth 1 -type d -name 'libzstd-*' | sort | tail -n 1)"
fi
[ -n "$source_dir" ] || { echo "libzstd sources not found" >&2; exit 1; }
# The library alone, single-threaded (the agent decodes on its own thread), without the
# command-line programs and their tests.
cmake -S "$source_dir/build/cmake" -B "$cache/libzstd-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DZSTD_BUILD_STATIC=ON -DZSTD_BUILD_SHARED=OFF \
  -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF -DZSTD_BUILD_CONTRIB=OFF \
  -DZSTD_MULTITHREAD_SUPPORT=OFF -DZSTD_LEGACY_SUPPORT=OFF >/dev/null
cmake --build "$cache/libzstd-build" >/dev/null
cmake --install "$cache/libzstd-build" >/dev/null
