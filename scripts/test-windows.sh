#!/usr/bin/env bash
# Runs the Windows build (scripts/build-windows.sh) under wine in a fresh, throw-away
# WINEPREFIX: the core's unit tests with the Win32 backends and fakes, then the Win32 backend
# tests (real message loop, MSXML 6, resource library, processes) under a virtual display, and
# the automation server: its registration per user and per machine, VBScript and JScript hosts
# and a native host that binds early.
# Ends with wineserver -k, whatever happened.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/build-windows/bin"
# shellcheck source=wine-agent-server.sh
. "$root/scripts/wine-agent-server.sh"

export WINEPREFIX
WINEPREFIX="$(mktemp -d /tmp/kdau-wine.XXXXXX)"
export WINEDEBUG=-all WINEARCH=win64
# No browser engine or .NET installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  if [ -n "${service_pid:-}" ]; then kill "$service_pid" 2>/dev/null || true; fi
  if [ -n "${cutting_pid:-}" ]; then kill "$cutting_pid" 2>/dev/null || true; fi
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

wineboot --init >/dev/null 2>&1
wineserver -w

status=0
step() { echo "== [${SECONDS}s] $*"; }
for area in agent store messages_window deploy; do
  step "kdau_tests_$area (wine)"
  wine "$bin/kdau_tests_$area.exe" --gtest_brief=1 || status=1
done
step "kdau_tests_zstd (wine): delta patches made and applied"
wine "$bin/kdau_tests_zstd.exe" --gtest_brief=1 || status=1
# The embedded update service runs natively on 127.0.0.1 (from the Linux build, when there is
# one): the download control's tests and the checks below use it.
service="$root/build/bin/kdautoupdate"
product=6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14
base=""
if [ -x "$service" ]; then
  exec 3< <("$service" serve --port 0 --address 127.0.0.1)
  service_pid=$!
  read -r base <&3
  export KDAU_SERVICE_BASE="$base"
  # A second one closes its first package answer halfway: the download control resumes it.
  exec 4< <("$service" serve --port 0 --address 127.0.0.1 --cut-after 200)
  cutting_pid=$!
  read -r cutting <&4
  export KDAU_CUTTING_SERVICE_BASE="$cutting"
fi
step "kdau_tests_win32 (wine, Xvfb)"
# A wineserver started without a display keeps a desktop that cannot make windows.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
xvfb-run -a wine "$bin/kdau_tests_win32.exe" --gtest_brief=1 || status=1
step "downloads and the check through the user's proxy (wine, tinyproxy)"
bash "$root/scripts/test-windows-proxy.sh" "$base" || status=1
# The automation server: registered in the fresh prefix, used by a VBScript host through
# CreateObject, as hosts no one here wrote use it.
fresh_server() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; }
# Runs a command under a virtual display; a wine program that has not ended after two minutes
# is ended with the whole prefix, so a hang fails the step instead of the CI job.
guarded() {
  # Its own stdout is not the caller's pipe, and its sleep ends with it.
  (
    trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
    sleep 120 &
    sleeper=$!
    wait "$sleeper"
    echo "timed out: $*" >&2
    wineserver -k
  ) >/dev/null &
  local watchdog=$!
  local rc=0
  xvfb-run -a "$@" || rc=$?
  kill "$watchdog" 2>/dev/null || true
  return $rc
}
expect() { grep -qx -- "$1" <<<"$2" || { echo "missing: $1"; status=1; }; }
# Registration per user (HKCU) and per machine (HKLM): the ProgID, the class's local server
# and the type library appear in that scope only, and go with unregistration.
registered_keys() {
  local key found=""
  for key in KDAutoUpdate.AuAgent 'CLSID\{BDFEE667-B3E0-491F-8F46-F577DC54081D}\LocalServer32' \
    'TypeLib\{42605A02-F881-4FD1-AFC1-B323DDBEF0CA}\1.2\0\win64'; do
    wine reg query "$1\\Software\\Classes\\$key" >/dev/null 2>&1 && found+="${key%%\\*} "
  done
  echo "${found% }"
}
scope_check() { # switch suffix, scope, other scope
  local all="KDAutoUpdate.AuAgent CLSID TypeLib"
  wine "$bin/kdautoupdate.exe" "/RegServer$1" || { echo "/RegServer$1 failed"; status=1; }
  [ "$(registered_keys "$2")" = "$all" ] && [ -z "$(registered_keys "$3")" ] ||
    { echo "/RegServer$1: $2 has '$(registered_keys "$2")', $3 has '$(registered_keys "$3")'"; status=1; }
  wine "$bin/kdautoupdate.exe" "/UnregServer$1" || { echo "/UnregServer$1 failed"; status=1; }
  [ -z "$(registered_keys "$2")" ] || { echo "/UnregServer$1 left '$(registered_keys "$2")'"; status=1; }
}
fresh_server
step "registration per user and per machine (wine reg query)"
scope_check PerUser HKCU HKLM
scope_check "" HKLM HKCU
wine "$bin/kdautoupdate.exe" /RegServer || { echo "registration failed"; status=1; }
vbs="$(winepath -w "$root/examples/windows/agent.vbs")"
js="$(winepath -w "$root/examples/windows/agent.js")"
step "cscript agent.vbs, agent.js, kdau_vtable_client.exe (wine, COM local server)"
output="$(guarded wine cscript //nologo "$vbs" | tr -d '\r')" || status=1
echo "$output"
defaults=("UILanguageLCID = 1031" "CompatMode = 2" "ProductCode = {1234}")
for line in "${defaults[@]}" "AutoConnect = True" "TestMode = False" "IsProcessing = False" \
  "BaseURL = http://127.0.0.1:8080/services/autoupdate"; do
  expect "$line" "$output"
done
output="$(guarded wine cscript //nologo "$js" | tr -d '\r')" || status=1
echo "$output"
for line in "${defaults[@]}" "AutoConnect = true" "TestMode = false" "IsProcessing = false"; do
  expect "$line" "$output"
done
# Early binding: the same through the vtable of _AuAgent.
output="$(guarded wine "$bin/kdau_vtable_client.exe" | tr -d '\r')" || status=1
echo "$output"
for line in "${defaults[@]}" "AutoConnect = True" "Error objects = True"; do
  expect "$line" "$output"
done
# Text from the registry assigned to numbers and Booleans, variables passed by reference: the
# server converts them as the automation runtime does; what is no number is error 13.
step "cscript conversions.vbs (wine): values converted as the automation runtime converts them"
conversions="$(winepath -w "$root/examples/windows/conversions.vbs")"
output="$(guarded wine cscript //nologo "$conversions" | tr -d '\r')" || status=1
echo "$output"
for line in "MajorVer = 5 (Long)" "TestMode = True (Boolean)" "MinorVer = 2, Revision = 4" \
  "CampaignID = 42 (String)" "CheckMessages = False" "IsProcessing = False" \
  "Not a number: Err.Number = 13, MajorVer = 5" "Not a Boolean: Err.Number = 13, TestMode = True"; do
  expect "$line" "$output"
done
# The hosts above found one server running; it ends by itself once idle for a few seconds.
step "the server ends by itself after its last object"
agent_server_ends_within 30 || { echo "the server still runs 30 s after its last object"; status=1; }

# Against the embedded update service: MSXML's own HTTP load, window timers and events.
if [ -n "$base" ]; then
  step "cscript agent.vbs $base (wine) against kdautoupdate serve"
  fresh_server
  output="$(guarded wine cscript //nologo "$vbs" "$base" "$product" | tr -d '\r')" || status=1
  echo "$output"
  busy="Another 'AutoUpdate' already in progress. Process aborted."
  for line in "CheckMessages = True" "Checked today = True" \
    "Busy Err.Number = -2147221504 (&H80040000)" "Busy Err.Source = AuAgent.CheckMessages" \
    "Busy Err.Description = $busy"; do
    expect "$line" "$output"
  done
  step "cscript agent.js $base (wine): check, a record read back by a new agent, busy"
  fresh_server
  output="$(guarded wine cscript //nologo "$js" "$base" "$product" | tr -d '\r')" || status=1
  echo "$output"
  for line in "CheckMessages = true" "Checked today = true" \
    "Read back LastUpdateName = Written by agent.js" \
    "Busy e.number = -2147221504 (0x80040000)" "Busy e.description = $busy"; do
    expect "$line" "$output"
  done
  step "kdau_vtable_client.exe $base (wine): the check and the busy error through the vtables"
  fresh_server
  output="$(guarded wine "$bin/kdau_vtable_client.exe" "$base" "$product" | tr -d '\r')" || status=1
  echo "$output"
  # Wine's COM does not carry the error object across processes (kdau_tests_win32 reads it
  # in-process): here the HRESULT only.
  for line in "CheckMessages = True" "Record ProductCode = {$product}" \
    "Record checked today = True" "Busy HRESULT = 0x80040000"; do
    expect "$line" "$output"
  done
  step "kdau_event_client.exe (wine): the agent's events in a native host"
  fresh_server
  output="$(guarded wine "$bin/kdau_event_client.exe" "$base" "$product" | tr -d '\r')" ||
    status=1
  echo "$output"
  expect "Answered bSkipDialog = True" "$output"
  expect "Event ProcessCompleted" "$output"
  step "kdautoupdate.exe check --async (wine) against kdautoupdate serve"
  fresh_server
  output="$(guarded wine "$bin/kdautoupdate.exe" check --async --base "$base" \
    --product "$product" --version 5.0.2 | tr -d '\r')" || status=1
  kill "$service_pid" 2>/dev/null || true
  echo "$output"
  grep -q '^Event NewMessages [1-9]' <<<"$output" && grep -q '^Event ProcessCompleted' <<<"$output" \
    && grep -q '^Stored <product .*last-checked-date=' <<<"$output" || { echo "unexpected check output"; status=1; }
else
  step "skipped: the checks against the service (no Linux build in build/)"
fi
wine "$bin/kdautoupdate.exe" /UnregServer || status=1
exit $status
