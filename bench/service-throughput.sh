#!/usr/bin/env bash
# Check answers per second on 127.0.0.1 with wrk (2 threads, 50 connections), for a catalogue of
# 50 products x 20 messages of which some go out by rollout share, test channel or campaign,
# queried with 2,000 different queries (products, versions, licence keys, test mode, campaigns):
#   nginx serving publish's output of that catalogue,
#   nginx serving the simpler output: the same catalogue without the gates, published by
#     BASELINE (default: the same program),
#   the embedded service (serve --workers auto, no log) with the gated catalogue.
# The servers take turns; medians of the rounds.
#
#   bench/service-throughput.sh [PROGRAM] [ROUNDS] [SECONDS] [BASELINE]
#
# PROGRAM defaults to build/bin/kdautoupdate; 3 rounds of 5 seconds per server.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/bin/kdautoupdate}
rounds=${2:-3}
seconds=${3:-5}
baseline=${4:-$program}
for tool in nginx wrk python3; do
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

# The catalogues (gated and plain) and the queries.
python3 - "$work" <<'EOF'
import os, random, sys
work = sys.argv[1]
random.seed(7)
def catalogue(folder, gated):
    os.makedirs(f"{folder}/packages", exist_ok=True)
    open(f"{folder}/packages/p.bin", "w").write("payload\n")
    out = ["<catalogue>"]
    for p in range(50):
        out.append(f'<product code="{{00000000-0000-0000-0000-{p:012d}}}" name="Product {p}">')
        for m in range(20):
            gates = ""
            if gated and m % 5 == 1:
                gates += f' rollout="{(5, 25, 50)[m % 3]}"'
            if gated and m % 7 == 3:
                gates += ' channel="test"'
            if gated and m == 10:
                gates += ' campaign="spring"'
            out.append(f'<message id="P{p}-M{m}" name="Update {m}" type="exe" package="p.bin" '
                       f'minVersion="5.{m}" toVersion="5.{m + 1}"{gates}/>')
        out.append("</product>")
    out.append("</catalogue>")
    open(f"{folder}/catalogue.xml", "w").write("\n".join(out))
catalogue(f"{work}/gated", True)
catalogue(f"{work}/plain", False)
with open(f"{work}/queries", "w") as queries:
    for i in range(2000):
        p = random.randrange(52)  # two unknown products
        queries.write("/services/autoupdate/CheckUpdate.aspx?TestMode=%s&ProductCode={00000000-0000-0000-0000-%012d}"
                      "&Version=5.%d.%d&LicKey=K%06d&CmpID=%s&UILang=1031&OpType=check&CompatMode=2\n"
                      % ("True" if i % 10 == 0 else "False", p, random.randrange(22), random.randrange(3),
                         random.randrange(10**6), "spring" if i % 20 == 0 else ""))
EOF
cat >"$work/queries.lua" <<EOF
local paths = {}
for line in io.lines("$work/queries") do paths[#paths + 1] = line end
local i = math.random(#paths)
request = function()
  i = i % #paths + 1
  return wrk.format("GET", paths[i])
end
EOF

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() {
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$1/" && return 0
    sleep 0.1
  done
  echo "nothing answers on port $1" >&2; exit 1
}
start_nginx() { # PROGRAM CATALOGUE NAME PORT
  mkdir -p "$work/run-$3"
  "$1" publish "$2" "$work/site-$3" --listen "127.0.0.1:$4" >/dev/null
  "$nginx" -p "$work/run-$3" -c "$work/site-$3/nginx.conf" -e "$work/run-$3/error.log" \
    -g 'daemon off;' >/dev/null 2>&1 &
  pids+=($!)
}

gated_port=$(free_port)
start_nginx "$program" "$work/gated" gated "$gated_port"
plain_port=$(free_port)
start_nginx "$baseline" "$work/plain" plain "$plain_port"
service_port=$(free_port)
"$program" serve --port "$service_port" --catalogue "$work/gated" --workers auto >/dev/null &
pids+=($!)
for port in "$gated_port" "$plain_port" "$service_port"; do wait_port "$port"; done

# The two servers of the gated catalogue give the same answers.
while read -r query; do
  [ "$(curl -s -g "http://127.0.0.1:$gated_port$query")" = "$(curl -s -g "http://127.0.0.1:$service_port$query")" ] ||
    { echo "nginx and the service differ for $query" >&2; exit 1; }
done < <(head -200 "$work/queries")

rate() { wrk -t2 -c50 -d"${seconds}s" -s "$work/queries.lua" "http://127.0.0.1:$1" | awk '/Requests\/sec/ {print $2}'; }
median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
gated=() plain=() service=()
for round in $(seq "$rounds"); do
  gated+=("$(rate "$gated_port")")
  plain+=("$(rate "$plain_port")")
  service+=("$(rate "$service_port")")
  echo "round $round: nginx gated ${gated[-1]}/s  nginx plain ${plain[-1]}/s  service ${service[-1]}/s"
done
g=$(printf '%s\n' "${gated[@]}" | median)
p=$(printf '%s\n' "${plain[@]}" | median)
s=$(printf '%s\n' "${service[@]}" | median)
awk -v g="$g" -v p="$p" -v s="$s" -v r="$rounds" -v l="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
  printf "check answers per second (medians of %d rounds, load average %s):\n", r, l
  printf "  nginx, gated catalogue %.0f  nginx, plain catalogue %.0f  embedded service %.0f\n", g, p, s
  printf "ratio nginx plain/gated: %.2f (target <= 1.1)\n", p / g
  printf "ratio nginx gated/service: %.2f (target <= 1.5)\n", g / s }'
