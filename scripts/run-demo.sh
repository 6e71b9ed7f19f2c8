#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo: the embedded update service with the
# sample catalogue, and an automation shell script that walks an agent through it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build"
bin="$root/build/bin"

log="$(mktemp)"
"$bin/kdautoupdate" serve --port 0 >"$log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true; rm -f "$log"' EXIT
for _ in $(seq 1 100); do
  [ -s "$log" ] && break
  sleep 0.1
done
base="$(head -n 1 "$log")"
echo "== Update service at $base"
echo "== Automation shell: examples/first-steps.kdas"
sed "s#@BASE_URL@#$base#" "$root/examples/first-steps.kdas" | "$bin/kdautoupdate" shell
echo "== Requests the service received"
tail -n +2 "$log"
echo "== Store left beside the program: $bin/updateinfo.xml"
cat "$bin/updateinfo.xml"; echo
