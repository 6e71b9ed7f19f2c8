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
# shellcheck source=windows-deb-source.sh
. "$root/scripts/windows-deb-source.sh"
need_tools autoconf automake libtool make
mkdir -p "$cache"
cd "$cache"
fetch_deb_source libsodium
cd "$source_dir"
# Minimal keeps what the agent uses (Ed25519 and Ed25519ph signatures, SHA-256) and drops the
# rest.
./autogen.sh -s >/dev/null
./configure -q --host=x86_64-w64-mingw32 --prefix="$prefix" --disable-shared --enable-minimal \
  --disable-dependency-tracking
make -s -j"$(nproc)" >/dev/null
make -s install >/dev/null
