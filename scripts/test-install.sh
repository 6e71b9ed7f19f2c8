#!/usr/bin/env bash
# The installed SDK as a vendor uses it, from a finished build (default: build):
#   1. cmake --install into a temporary prefix; examples/embed-cpp builds against that prefix
#      (find_package(KDAutoUpdate)) and checks the prefix's own `kdautoupdate serve`;
#   2. pkg-config finds the library in that prefix;
#   3. cpack makes the .deb, apt installs it with its dependencies, and the program runs from
#      /usr: a check against the installed service. The package is removed again at the end
#      (KDAU_KEEP_DEB=1 keeps it).
# Needs root (or sudo) for step 3.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
work="$(mktemp -d)"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen

fail() { echo "test-install: FAILED: $*" >&2; exit 1; }

# Starts `$1 serve --port 0` and sets `base` to the base URL it reports first.
start_service() {
  "$1" serve --port 0 > "$work/serve.$2.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    base="$(head -n1 "$work/serve.$2.log" 2>/dev/null || true)"
    case "$base" in http*) return 0 ;; esac
    sleep 0.1
  done
  fail "the service of $1 did not start: $(cat "$work/serve.$2.log")"
}

passed=0
check() { echo "ok: $1"; passed=$((passed + 1)); }

echo "== Install into a temporary prefix"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" > "$work/install.log"
[ -x "$prefix/bin/kdautoupdate" ] || fail "no program in $prefix/bin"
ls "$prefix"/lib*/ "$prefix"/lib/*/ 2>/dev/null | grep -q 'libkdautoupdate.so.0' || fail "no library"
check "cmake --install"

echo "== examples/embed-cpp against the prefix"
cmake -S "$root/examples/embed-cpp" -B "$work/embed" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release > "$work/embed-configure.log" || { cat "$work/embed-configure.log"; fail "configure"; }
cmake --build "$work/embed" > "$work/embed-build.log" || { cat "$work/embed-build.log"; fail "build"; }
start_service "$prefix/bin/kdautoupdate" prefix
out="$("$work/embed/embed-cpp" "$base")" || fail "embed-cpp: $out"
echo "$out"
grep -q '^NewMessages 3 ' <<<"$out" || fail "embed-cpp saw no messages"
grep -q '^ProcessCompleted$' <<<"$out" || fail "embed-cpp did not complete"
check "embed-cpp against $base"

echo "== pkg-config"
pcdir="$(dirname "$(find "$prefix" -name kdautoupdate.pc | head -n1)")"
libs="$(PKG_CONFIG_PATH="$pcdir" pkg-config --libs kdautoupdate)"
grep -q -- "-lkdautoupdate" <<<"$libs" || fail "pkg-config: $libs"
check "pkg-config --libs kdautoupdate: $libs"

echo "== The .deb"
# A package for /usr: the tree is configured for that prefix (only the few files that know
# their install paths are built again).
cmake -S "$root" -B "$build" -DCMAKE_INSTALL_PREFIX=/usr > "$work/reconfigure.log"
cmake --build "$build" --target kdautoupdate > "$work/rebuild.log" || { cat "$work/rebuild.log"; fail "build for /usr"; }
(cd "$build" && cpack -G DEB -B "$work/deb" > "$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack"; }
deb="$(ls "$work"/deb/*.deb | head -n1)"
dpkg-deb -f "$deb" Depends
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -qq "$deb" > "$work/apt.log" || { cat "$work/apt.log"; fail "apt-get install"; }
[ "${KDAU_KEEP_DEB:-0}" = 1 ] || trap '$SUDO dpkg -P kdautoupdate >/dev/null; cleanup' EXIT
[ "$(command -v kdautoupdate)" = /usr/bin/kdautoupdate ] || fail "kdautoupdate is not in /usr/bin"
/usr/bin/kdautoupdate help > /dev/null || fail "kdautoupdate help"
start_service /usr/bin/kdautoupdate deb
# As a user would run it: the store beside the program in /usr/bin is not theirs to write.
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(runuser -u nobody --)
out="$(cd / && "${as_user[@]}" /usr/bin/kdautoupdate check --base "$base" \
  --product 6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14 --version 5.0.2 --silent --manual)"
grep -q 'CheckMessages -> True' <<<"$out" || fail "check from /usr: $out"
check "apt-get install $(basename "$deb"); /usr/bin/kdautoupdate serves and checks"

echo "== D-Bus activation of the installed service"
# A private session bus (never the user's) finds the installed .service file in /usr/share and
# starts the program on the first call to its name.
activate='
  set -e
  factory="--dest org.kdautoupdate.KDAutoUpdate --object-path /org/kdautoupdate/KDAutoUpdate"
  agent=$(gdbus call --session $factory \
    --method org.kdautoupdate.KDAutoUpdate.CreateAgentUntilRelease | sed -E "s/.*'"'"'(.*)'"'"'.*/\1/")
  gdbus call --session --dest org.kdautoupdate.KDAutoUpdate --object-path "$agent" \
    --method org.freedesktop.DBus.Properties.Get org.kdautoupdate.AuAgent UILanguageLCID
  gdbus call --session --dest org.kdautoupdate.KDAutoUpdate --object-path "$agent" \
    --method org.kdautoupdate.AuAgent.Release > /dev/null'
out="$(cd / && "${as_user[@]}" env QT_QPA_PLATFORM=offscreen dbus-run-session -- bash -c "$activate" 2>&1)" ||
  fail "activation: $out"
grep -q '1031' <<<"$out" || fail "activation: $out"
check "D-Bus activation starts /usr/bin/kdautoupdate server; a new agent reads UILanguageLCID 1031"

echo "test-install: all $passed checks passed"
