#!/usr/bin/env bash
# Pictures of the Win32 dialogs under wine and a virtual display, into docs/screenshots/windows/
# (or the folder given). Needs the Windows build (scripts/build-windows.sh); with the Linux build
# in build/ the download dialog is shown downloading from a slow embedded service.
# Uses a fresh, throw-away WINEPREFIX and ends with wineserver -k.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$root/docs/screenshots/windows}")"
mkdir -p "$out"

export WINEPREFIX
WINEPREFIX="$(mktemp -d /tmp/kdau-wine.XXXXXX)"
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  if [ -n "${service_pid:-}" ]; then kill "$service_pid" 2>/dev/null || true; fi
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineboot --init >/dev/null 2>&1
# No window manager on the virtual display: wine draws the frames and title bars itself.
for value in Managed Decorated; do
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v "$value" /t REG_SZ /d N /f >/dev/null 2>&1
done
target="$(winepath -w "$out")"
# A wineserver started without a display keeps a desktop that cannot make windows.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true

package=""
service="$root/build/bin/kdautoupdate"
if [ -x "$service" ]; then
  # 100 bytes a second: the dialog shows a transfer under way.
  exec 3< <("$service" serve --port 0 --address 127.0.0.1 --rate 100)
  service_pid=$!
  read -r base <&3
  package="$base/packages/KeldraStudio-5.0.3.msp"
fi
xvfb-run -a -s "-screen 0 1024x768x24" \
  wine "$root/build-windows/bin/kdau_screenshots.exe" "$target" $package
