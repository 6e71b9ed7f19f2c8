#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy over the core and the automation layer, using
# the compile commands of a configured build (default: build). Fails on any finding.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
if [ ! -f "$dir/compile_commands.json" ]; then
  cmake -S "$root" -B "$dir" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
fi
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
status=0
run-clang-tidy -p "$dir" -j 2 -quiet \
  "$root/(agent|store|messages_window|deploy|common|automation)/[^/]*\.cpp\$" 2>&1 |
  sed 's/\x1b\[[0-9;]*m//g' >"$out" || status=$?
# A finding is printed as "file:line:col: warning:" (or "error:" with WarningsAsErrors).
if grep -E ': (warning|error):' "$out"; then
  echo "clang-tidy: findings above" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then
  cat "$out" >&2
  exit "$status"
fi
echo "clang-tidy: clean ($(grep -c '^clang-tidy' "$out") files)"
