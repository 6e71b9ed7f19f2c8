#!/usr/bin/env bash
# A script host creating the agent and reading a property, against the same host creating a
# built-in object of the system (Scripting.Dictionary) and reading its Count: each a whole
# `cscript` process under wine, in a fresh WINEPREFIX where the Windows build's server is
# registered. The two sides take turns; medians of the rounds and their ratio are printed.
#
#   bench/script-host-create.sh [ROUNDS]
#
# The server stays a few seconds after its last object, so the rounds find it running, as a
# host that creates agents one after another does. At the end the script waits for the server
# to end by itself and times one run that has to start it anew (the cold start). Needs the
# Windows build (scripts/build-windows.sh); 9 rounds per side by default.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build-windows/bin
rounds=${1:-9}
# shellcheck source=../scripts/wine-agent-server.sh
. "$root/scripts/wine-agent-server.sh"
[ -x "$bin/kdautoupdate.exe" ] || { echo "no Windows build in build-windows/" >&2; exit 2; }

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/kdau-bench-wine.XXXXXX)
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineboot --init >/dev/null 2>&1
wineserver -w
# One wineserver for every run of both sides, as on a running desktop.
wineserver -p >/dev/null 2>&1
wine "$bin/kdautoupdate.exe" /RegServer >/dev/null 2>&1
work=$WINEPREFIX/drive_c/bench
mkdir -p "$work"
printf 'Set o = CreateObject("KDAutoUpdate.AuAgent")\r\nWScript.Echo o.CompatMode\r\n' \
  >"$work/agent.vbs"
printf 'Set o = CreateObject("Scripting.Dictionary")\r\nWScript.Echo o.Count\r\n' \
  >"$work/dictionary.vbs"

# Seconds of one whole run; fails when the script does not print what it reads. Files, not
# pipes: the prefix's own processes keep the descriptors they inherit.
run() {
  local start end
  start=$(date +%s%N)
  wine cscript //nologo "C:\\bench\\$1.vbs" >"$work/$1.out" 2>/dev/null
  end=$(date +%s%N)
  grep -qx "$2" <(tr -d '\r' <"$work/$1.out") ||
    { echo "$1.vbs printed: $(cat "$work/$1.out")" >&2; exit 1; }
  awk -v n=$((end - start)) 'BEGIN { printf "%.3f\n", n / 1e9 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

run agent 2 >/dev/null # first runs load the prefix's files
run dictionary 0 >/dev/null
agent=() dictionary=()
for ((i = 0; i < rounds; i++)); do
  if ((i % 2)); then
    dictionary+=("$(run dictionary 0)")
    agent+=("$(run agent 2)")
  else
    agent+=("$(run agent 2)")
    dictionary+=("$(run dictionary 0)")
  fi
done
a=$(printf '%s\n' "${agent[@]}" | median)
d=$(printf '%s\n' "${dictionary[@]}" | median)
echo "AuAgent:              ${agent[*]} s, median $a s"
echo "Scripting.Dictionary: ${dictionary[*]} s, median $d s"
awk -v a="$a" -v d="$d" 'BEGIN { printf "ratio AuAgent / Scripting.Dictionary: %.2f (target <= 2)\n", a / d }'

# The server ends by itself once idle; then one run starts it anew.
last=$(date +%s%N)
agent_server_ends_within 30 || { echo "the server did not end within 30 s of its last object" >&2; exit 1; }
ended=$(date +%s%N)
cold=$(run agent 2)
awk -v e=$((ended - last)) -v c="$cold" -v d="$d" 'BEGIN {
  printf "server ended %.1f s after its last object; a run that starts it: %s s (%.2f x Scripting.Dictionary)\n", e / 1e9, c, c / d }'
