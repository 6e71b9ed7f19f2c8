#!/usr/bin/env bash
# Under wine, in the caller's WINEPREFIX (scripts/test-windows.sh makes a fresh one): a real
# HTTP proxy (tinyproxy) on a free port of 127.0.0.1, then
# - the package downloads (WinHTTP) through the proxy of the user's connection settings, its
#   bypass list, a proxy that is not there and proxy configuration scripts (served by python3's
#   http.server on 127.0.0.1) (kdau_tests_win32 --gtest_filter=Win32Proxy.*, which checks the
#   proxy's log itself);
# - the update check (MSXML's own load) with the proxy in the user's Internet settings: the
#   proxy's log must show the check's request.
# Argument: the embedded update service's base address (kdautoupdate serve); without one the
# script says so and ends successfully.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/build-windows/bin"
base="${1:-}"
product=6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14
if [ -z "$base" ]; then
  echo "skipped: the proxy checks need the update service (a Linux build in build/)"
  exit 0
fi
: "${WINEPREFIX:?run in a throw-away WINEPREFIX, as scripts/test-windows.sh does}"
command -v tinyproxy >/dev/null || { echo "tinyproxy is missing (scripts/install-deps.sh --windows)"; exit 1; }

work="$(mktemp -d /tmp/kdau-proxy.XXXXXX)"
proxy_pid=""
pac_pid=""
cleanup() {
  if [ -n "$proxy_pid" ]; then kill "$proxy_pid" 2>/dev/null || true; fi
  if [ -n "$pac_pid" ]; then kill "$pac_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
# A free port: tinyproxy cannot be asked to choose one itself.
for _ in $(seq 1 50); do
  port=$((20000 + RANDOM % 40000))
  port_in_use "$port" || break
done
log="$work/tinyproxy.log"
cat >"$work/tinyproxy.conf" <<CONF
Port $port
Listen 127.0.0.1
Timeout 60
MaxClients 20
Allow 127.0.0.1
LogFile "$log"
LogLevel Info
CONF
: >"$log"
tinyproxy -d -c "$work/tinyproxy.conf" >"$work/tinyproxy.out" 2>&1 &
proxy_pid=$!
for _ in $(seq 1 100); do
  port_in_use "$port" && break
  kill -0 "$proxy_pid" 2>/dev/null || break
  sleep 0.1
done
port_in_use "$port" || { echo "tinyproxy did not start:"; cat "$work/tinyproxy.out" "$log"; exit 1; }
echo "tinyproxy on 127.0.0.1:$port"

# The proxy configuration scripts, from a static file server on another free port. (The proxy
# by the name "localhost": wine's WinHTTP takes a proxy on the host of the address itself for
# no proxy at all and sends it a relative request.)
mkdir "$work/pac"
printf 'function FindProxyForURL(url, host) { return "PROXY localhost:%s"; }\n' "$port" \
  >"$work/pac/proxy.pac"
printf 'function FindProxyForURL(url, host) { return "DIRECT"; }\n' >"$work/pac/direct.pac"
for _ in $(seq 1 50); do
  pac_port=$((20000 + RANDOM % 40000))
  [ "$pac_port" != "$port" ] && ! port_in_use "$pac_port" && break
done
python3 -m http.server "$pac_port" --bind 127.0.0.1 --directory "$work/pac" \
  >"$work/pac.out" 2>&1 &
pac_pid=$!
for _ in $(seq 1 100); do
  port_in_use "$pac_port" && break
  sleep 0.1
done

status=0
output="$(KDAU_SERVICE_BASE="$base" KDAU_PROXY="localhost:$port" KDAU_PROXY_LOG="$(winepath -w "$log")" \
  KDAU_PROXY_SCRIPTS="http://127.0.0.1:$pac_port" \
  wine "$bin/kdau_tests_win32.exe" --gtest_filter='Win32Proxy.*' | tr -d '\r')" || status=1
echo "$output" | grep -E '^\[ +(OK|FAILED|SKIPPED) +\]|Failure|Expected|Which is' || true
grep -q '^\[  PASSED  \] 2 tests' <<<"$output" && ! grep -q SKIPPED <<<"$output" ||
  { echo "the downloads through the proxy did not pass; the proxy's log:"; cat "$log"; status=1; }

# The check: MSXML loads through the system's Internet settings (ProxyEnable, ProxyServer).
settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
wine reg add "$settings" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add "$settings" /v ProxyServer /t REG_SZ /d "127.0.0.1:$port" /f >/dev/null 2>&1
before=$(wc -c <"$log")
wine "$bin/kdautoupdate.exe" check --async --base "$base" --product "$product" --version 5.0.2 \
  >"$work/check.out" 2>&1 || true
wine reg add "$settings" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null 2>&1
if tail -c +"$((before + 1))" "$log" | grep -q "GET ${base}"; then
  echo "the check went through the proxy: $(tail -c +"$((before + 1))" "$log" | grep -m1 -o "GET ${base}[^ ]*")"
else
  echo "the check did not go through the proxy:"; tr -d '\r' <"$work/check.out"; status=1
fi
exit $status
