#!/usr/bin/env bash
# Builds libsodium for 64-bit Windows (mingw-w64, static) from Debian's own source package, so
# the Windows agent checks signatures with the same library as the Linux one. Installs into
# build-windows/third_party/libsodium (include/, lib/libsodium.a); does nothing when that is
# already there. Called by build-windows.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cache="$root/build-windows/third_party"
prefix="$cache/libsodium"
if [ -f "$prefix/lib/libsodium.a" ] && [ -f "$prefix/include/sodium.h" ]; then
  exit 0
fi
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# The source package comes from the same archive as the binary ones: a deb-src twin of each
# "Types: deb" entry of the machine's sources, in a file of its own.
src_list=/etc/apt/sources.list.d/kdau-deb-src.sources
if ! apt-cache showsrc libsodium 2>/dev/null | grep -q '^Package: libsodium'; then
  if [ ! -f "$src_list" ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $SUDO tee "$src_list" >/dev/null
  fi
  $SUDO apt-get update -qq
fi
missing=()
for p in autoconf automake libtool make dpkg-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

mkdir -p "$cache"
cd "$cache"
source_dir="$(find . -maxdepth 1 -type d -name 'libsodium-*' | sort | tail -n 1)"
if [ -z "$source_dir" ]; then
  apt-get source -qq libsodium >/dev/null
  source_dir="$(find . -maxdepth 1 -type d -name 'libsodium-*' | sort | tail -n 1)"
fi
[ -n "$source_dir" ] || { echo "libsodium sources not found" >&2; exit 1; }
cd "$source_dir"
# Minimal keeps what the agent uses (Ed25519 and Ed25519ph signatures, SHA-256) and drops the
# rest.
./autogen.sh -s >/dev/null
./configure -q --host=x86_64-w64-mingw32 --prefix="$prefix" --disable-shared --enable-minimal \
  --disable-dependency-tracking
make -s -j"$(nproc)" >/dev/null
make -s install >/dev/null
