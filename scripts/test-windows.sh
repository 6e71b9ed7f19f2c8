#!/usr/bin/env bash
# Runs the Windows build (scripts/build-windows.sh) under wine in a fresh, throw-away
# WINEPREFIX: the core's unit tests with the Win32 backends and fakes, then the Win32 backend
# tests (real message loop, MSXML 6, resource library, processes) under a virtual display.
# Ends with wineserver -k, whatever happened.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/build-windows/bin"

export WINEPREFIX
WINEPREFIX="$(mktemp -d /tmp/kdau-wine.XXXXXX)"
export WINEDEBUG=-all WINEARCH=win64
# No browser engine or .NET installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

wineboot --init >/dev/null 2>&1
wineserver -w

status=0
for area in agent store messages_window deploy; do
  echo "== kdau_tests_$area (wine)"
  wine "$bin/kdau_tests_$area.exe" --gtest_brief=1 || status=1
done
echo "== kdau_tests_win32 (wine, Xvfb)"
# A wineserver started without a display keeps a desktop that cannot make windows.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
xvfb-run -a wine "$bin/kdau_tests_win32.exe" --gtest_brief=1 || status=1
exit $status
