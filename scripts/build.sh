#!/usr/bin/env bash
# Configures and builds into the folder given (default: build). Extra arguments go to cmake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
shift || true
# A compiler cache, where there is one, makes rebuilds of another checkout cheap.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# The compile commands are for clang-tidy (scripts/run-clang-tidy.sh).
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
