#!/usr/bin/env bash
# Check answers per second of the embedded service against nginx serving the same catalogue
# published as static files: wrk (2 threads, 50 connections) on 127.0.0.1, the two servers
# taking turns, medians of the rounds.
#
#   bench/service-throughput.sh [PROGRAM] [ROUNDS] [SECONDS]
#
# PROGRAM defaults to build/bin/kdautoupdate; 3 rounds of 5 seconds per server.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/bin/kdautoupdate}
rounds=${2:-3}
seconds=${3:-5}
for tool in nginx wrk; do
  command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] ||
    { echo "$tool is missing (scripts/install-deps.sh installs it)" >&2; exit 2; }
done
nginx=$(command -v nginx || echo /usr/sbin/nginx)

work=$(mktemp -d)
chmod 755 "$work" # nginx's workers may run as another user
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() {
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$1/" && return 0
    sleep 0.1
  done
  echo "nothing answers on port $1" >&2; exit 1
}

nginx_port=$(free_port)
"$program" publish "$here/service/catalogue" "$work/site" --listen "127.0.0.1:$nginx_port" >/dev/null
"$nginx" -p "$work" -c "$work/site/nginx.conf" -e "$work/error.log" -g 'daemon off;' &
pids+=($!)
service_port=$(free_port)
"$program" serve --port "$service_port" --catalogue "$here/service/catalogue" --workers auto >/dev/null &
pids+=($!)
wait_port "$nginx_port"
wait_port "$service_port"

query='/services/autoupdate/CheckUpdate.aspx?TestMode=False&ProductCode={6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}&Version=5.0.2&UILang=1031&OpType=checkatstartup&CompatMode=2'
for port in "$nginx_port" "$service_port"; do
  answer=$(curl -s -g "http://127.0.0.1:$port$query")
  [[ $answer == *'count="3"'* ]] || { echo "no check answer on port $port" >&2; exit 1; }
done

rate() { wrk -t2 -c50 -d"${seconds}s" "http://127.0.0.1:$1$query" | awk '/Requests\/sec/ {print $2}'; }
median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
nginx_rates=()
service_rates=()
for round in $(seq "$rounds"); do
  nginx_rates+=("$(rate "$nginx_port")")
  service_rates+=("$(rate "$service_port")")
  echo "round $round: nginx ${nginx_rates[-1]}/s  service ${service_rates[-1]}/s"
done
n=$(printf '%s\n' "${nginx_rates[@]}" | median)
s=$(printf '%s\n' "${service_rates[@]}" | median)
awk -v n="$n" -v s="$s" -v r="$rounds" 'BEGIN {
  printf "check answers per second (medians of %d rounds): nginx %.0f  embedded service %.0f\n", r, n, s
  printf "ratio nginx/service: %.2f\n", n / s }'
