#!/usr/bin/env bash
# Runs the agent's Windows Installer package (build-windows/kdautoupdate-VERSION-x64.msi, from
# scripts/build-windows.sh) under wine in a fresh, throw-away WINEPREFIX: installs it per
# machine, compares what it registered with what the installed kdautoupdate.exe /RegServer
# writes, drives the installed agent from a VBScript host against the embedded update service
# (from the Linux build in build/, when there is one), upgrades it in place with a package of a
# higher version, refuses the older package then, replaces it with one rebuilt with its version,
# and uninstalls it, after which the machine's classes, the browser emulation value and Program
# Files are as before. Also checks that /RegServer and /RegServerPerUser name the program under
# the browser emulation feature key of their scope, and that unregistration removes it.
# Ends with wineserver -k, whatever happened.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/build-windows/bin"
# shellcheck disable=SC2012
msi="$(ls -t "$root"/build-windows/kdautoupdate-*-x64.msi 2>/dev/null | head -n1)"
[ -n "$msi" ] || { echo "no package in build-windows/: run scripts/build-windows.sh"; exit 1; }
version="${msi##*/kdautoupdate-}"
version="${version%-x64.msi}"

export WINEPREFIX
WINEPREFIX="$(mktemp -d /tmp/kdau-wine-msi.XXXXXX)"
export WINEDEBUG=-all WINEARCH=win64
# No browser engine or .NET installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
work="$(mktemp -d /tmp/kdau-msi.XXXXXX)"
cleanup() {
  if [ -n "${service_pid:-}" ]; then kill "$service_pid" 2>/dev/null || true; fi
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT

status=0
step() { echo "== [${SECONDS}s] $*"; }
fail() { echo "FAILED: $*"; status=1; }
# A wine program that has not ended after two minutes is ended with the whole prefix, so a hang
# fails the step instead of the CI job.
guarded() {
  local rc=0
  timeout -k 5 120 xvfb-run -a "$@" || rc=$?
  [ $rc -ne 124 ] || { echo "timed out: $*" >&2; wineserver -k 2>/dev/null || true; }
  return $rc
}
fresh_server() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; }

product_dir="C:\\Program Files\\KDAutoUpdate"
unix_dir="$WINEPREFIX/drive_c/Program Files/KDAutoUpdate"
feature='HKLM\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION'
clsid='{BDFEE667-B3E0-491F-8F46-F577DC54081D}'
libid='{42605A02-F881-4FD1-AFC1-B323DDBEF0CA}'
# The agent's keys in the machine's classes: the ProgID, the class, the type library and the
# interfaces of _AuAgent, __AuAgent (events), _AuProductInfo, _AuMessage and _AuFeature.
our_keys=(KDAutoUpdate.AuAgent "CLSID\\$clsid" "TypeLib\\$libid" "Wow6432Node\\TypeLib\\$libid")
for iid in 6F68DA2F-3283-49A3-B262-F4EA15E86B46 8A855A23-467E-4A42-829F-5F3CDE1160E9 \
  78BC1A7F-0B49-4925-9474-977BD45CE7F3 87692CBF-1A6F-4695-BE4B-8C698A477992 \
  5AA6F173-7149-48F3-A643-E4313909A93B; do
  our_keys+=("Interface\\{$iid}" "Wow6432Node\\Interface\\{$iid}")
done
# Prints which of the agent's keys are there.
present_keys() {
  local key
  for key in "${our_keys[@]}"; do
    if wine reg query "HKLM\\Software\\Classes\\$key" >/dev/null 2>&1; then echo "$key"; fi
  done
}
# Every value under a key, one "key<TAB>value" line each (keys in lower case, continued lines
# joined, a folder's closing backslash dropped): exports compare without the order of keys,
# the case a key was first created with or keys that hold nothing.
reg_values() {
  local file="$work/export.reg"
  rm -f "$file"
  wine reg export "$1" "$(winepath -w "$file")" /y >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | awk '
    /^\[/ { key = tolower($0); next }
    /\\$/ { line = line substr($0, 1, length($0) - 1); next }
    { line = line $0; if (line != "") print key "\t" line; line = "" }' |
    sed 's/\\\\"$/"/' | LC_ALL=C sort
}
# Windows Installer's own records of installed products live under Software\Classes\Installer.
class_values() { reg_values 'HKLM\Software\Classes' | grep -v -F '[hkey_local_machine\software\classes\installer'; }
# The browser emulation value of kdautoupdate.exe under a feature key, empty without one.
emulation() {
  { wine reg query "$1" /v kdautoupdate.exe 2>/dev/null || true; } | tr -d '\r' |
    awk 'NF == 3 { print $3 }'
}
# The versions of the products of that name Windows Installer lists for removal.
installed_products() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk '
      function flush() { if (name == "KDAutoUpdate") print version; name = ""; version = "" }
      /^HKEY/ { flush() }
      $1 == "DisplayName" { name = $0; sub(/^ *DisplayName +REG_SZ +/, "", name) }
      $1 == "DisplayVersion" { version = $3 }
      END { flush() }' | sort | tr '\n' ' ' | sed 's/ $//'
}
same_file() { cmp -s "$1" "$2" || fail "$(basename "$2") is not the one of the package ($1)"; }
msiexec_step() { # what, expected exit code, arguments...
  local what="$1" expected="$2" rc=0
  shift 2
  fresh_server
  wine msiexec "$@" /qn || rc=$?
  # Its service may still be finishing the job.
  wineserver -w
  [ "$rc" = "$expected" ] || fail "msiexec $what ended with $rc, not $expected"
}

wineboot --init >/dev/null 2>&1
wineserver -w
# The script host registers its own type library when it first runs: before the first look.
printf 'WScript.Echo "ready"\n' >"$work/ready.vbs"
guarded wine cscript //nologo "$(winepath -w "$work/ready.vbs")" >/dev/null || true
fresh_server
classes_before="$(class_values)"
[ -n "$classes_before" ] || { echo "could not export the machine's classes"; exit 1; }
emulation_before="$(emulation "$feature")"

step "msiexec /i kdautoupdate-$version-x64.msi /qn (wine)"
msiexec_step "/i $version" 0 /i "$(winepath -w "$msi")"
for f in kdautoupdate.exe _AuResLib.dll KDAutoUpdate.tlb; do
  if [ -f "$unix_dir/$f" ]; then same_file "$bin/$f" "$unix_dir/$f"; else fail "$f not installed"; fi
done
[ "$(present_keys | wc -l)" = "${#our_keys[@]}" ] ||
  fail "registered only: $(present_keys | tr '\n' ' ')"
[ "$(installed_products)" = "$version" ] || fail "installed products: '$(installed_products)'"
[ "$(emulation "$feature")" = "0x2af9" ] || fail "browser emulation value '$(emulation "$feature")'"
classes_installed="$(class_values)"

step "the package registers what the installed kdautoupdate.exe /RegServer does"
fresh_server
wine "$product_dir\\kdautoupdate.exe" /UnregServer || fail "/UnregServer"
[ -z "$(present_keys)" ] || fail "/UnregServer left $(present_keys | tr '\n' ' ')"
diff <(echo "$classes_before") <(class_values) >"$work/unreg.diff" ||
  { fail "/UnregServer did not restore the classes"; cat "$work/unreg.diff"; }
wine "$product_dir\\kdautoupdate.exe" /RegServer || fail "/RegServer"
diff <(echo "$classes_installed") <(class_values) >"$work/reg.diff" ||
  { fail "the package and /RegServer register differently (< package, > /RegServer)"; cat "$work/reg.diff"; }

# The installed agent, created through COM by a host no one here wrote.
service="$root/build/bin/kdautoupdate"
vbs="$(winepath -w "$root/examples/windows/agent.vbs")"
base=""
if [ -x "$service" ]; then
  exec 3< <("$service" serve --port 0 --address 127.0.0.1)
  service_pid=$!
  read -r base <&3
fi
product=6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14
run_host() { # expected lines...
  local output
  fresh_server
  if [ -n "$base" ]; then
    output="$(guarded wine cscript //nologo "$vbs" "$base" "$product" | tr -d '\r')" || status=1
  else
    output="$(guarded wine cscript //nologo "$vbs" | tr -d '\r')" || status=1
  fi
  echo "$output"
  local line
  for line in "ProductCode = {1234}" "$@"; do
    grep -qx -- "$line" <<<"$output" || fail "missing: $line"
  done
  [ -n "$base" ] || return 0
  for line in "CheckMessages = True" "Checked today = True"; do
    grep -qx -- "$line" <<<"$output" || fail "missing: $line"
  done
}
if [ -n "$base" ]; then
  step "cscript agent.vbs $base (wine) with the installed agent"
else
  step "cscript agent.vbs (wine) with the installed agent (no Linux build in build/: no service)"
fi
run_host "UILanguageLCID = 1031"

# The update store the agent keeps beside kdautoupdate.exe. Without a service to check, no
# agent wrote one: this one stands for it.
store="$unix_dir/updateinfo.xml"
[ -n "$base" ] && { [ -f "$store" ] || fail "the agent wrote no updateinfo.xml beside the program"; }
[ -f "$store" ] || printf '<?xml version="1.0"?>\n<products/>\n' >"$store"
cp "$store" "$work/store.xml"

# Windows Installer removes the previous version of an upgrade with UPGRADINGPRODUCTCODE set
# (wine 8 does not set it: under wine an upgrade loses the store); the package then leaves the
# store to the new version. This runs that removal by hand, and installs the version again.
step "msiexec /x kdautoupdate-$version-x64.msi UPGRADINGPRODUCTCODE=... /qn (wine): the store stays"
msiexec_step "/x $version for an upgrade" 0 /x "$(winepath -w "$msi")" \
  "UPGRADINGPRODUCTCODE={00000000-0000-0000-0000-000000000001}"
[ -z "$(installed_products)" ] || fail "still installed: $(installed_products)"
# The store goes with its lock file and the copies of unreadable stores kept beside it.
store_files() { LC_ALL=C ls -A "$unix_dir" 2>/dev/null | grep -v '^updateinfo\.xml\.\(lock\|bad\)' | tr '\n' ' '; }
[ "$(store_files)" = "updateinfo.xml " ] ||
  fail "Program Files\\KDAutoUpdate holds '$(ls -A "$unix_dir" 2>/dev/null | tr '\n' ' ')', not the store alone"
[ -z "$(present_keys)" ] || fail "the removal left $(present_keys | tr '\n' ' ')"
msiexec_step "/i $version again" 0 /i "$(winepath -w "$msi")"
cmp -s "$work/store.xml" "$store" || fail "installing again changed or removed the store"

# The next version: the same files but a changed program (bytes after its image, which the
# loader does not read), packed from the same .wxs with a higher version.
IFS=. read -r major minor build <<<"$version"
next="$major.$minor.$((build + 1))"
mkdir -p "$work/next"
cp "$bin/kdautoupdate.exe" "$bin/_AuResLib.dll" "$bin/KDAutoUpdate.tlb" "$work/next/"
printf 'kdautoupdate %s\n' "$next" >>"$work/next/kdautoupdate.exe"
"$root/build-windows/build-msi.sh" "$next" "$work/next" "$work/kdautoupdate-$next-x64.msi"

step "msiexec /i kdautoupdate-$next-x64.msi /qn (wine): the upgrade replaces $version"
msiexec_step "/i $next" 0 /i "$(winepath -w "$work/kdautoupdate-$next-x64.msi")"
[ "$(installed_products)" = "$next" ] || fail "installed products: '$(installed_products)'"
same_file "$work/next/kdautoupdate.exe" "$unix_dir/kdautoupdate.exe"
files="$(store_files | sed 's/updateinfo\.xml //')"
[ "$files" = "KDAutoUpdate.tlb _AuResLib.dll kdautoupdate.exe " ] ||
  fail "Program Files\\KDAutoUpdate holds: $files"
diff <(echo "$classes_installed") <(class_values) >"$work/upgrade.diff" ||
  { fail "the upgrade registers differently"; cat "$work/upgrade.diff"; }
run_host "UILanguageLCID = 1031"
# Uninstalling removes the store with the program.
[ -f "$store" ] || cp "$work/store.xml" "$store"

step "msiexec /i kdautoupdate-$version-x64.msi /qn (wine): no downgrade over $next"
rc=0
fresh_server
wine msiexec /i "$(winepath -w "$msi")" /qn || rc=$?
wineserver -w
[ $rc -ne 0 ] || fail "msiexec installed $version over $next"
[ "$(installed_products)" = "$next" ] || fail "installed products: '$(installed_products)'"
same_file "$work/next/kdautoupdate.exe" "$unix_dir/kdautoupdate.exe"

# Each pack has its own product code: one rebuilt with the installed version replaces it.
mkdir -p "$work/rebuilt"
cp "$bin/kdautoupdate.exe" "$bin/_AuResLib.dll" "$bin/KDAutoUpdate.tlb" "$work/rebuilt/"
printf 'kdautoupdate %s rebuilt\n' "$next" >>"$work/rebuilt/kdautoupdate.exe"
"$root/build-windows/build-msi.sh" "$next" "$work/rebuilt" "$work/rebuilt-$next-x64.msi"
step "msiexec /i rebuilt-$next-x64.msi /qn (wine): the same version rebuilt replaces it"
msiexec_step "/i $next rebuilt" 0 /i "$(winepath -w "$work/rebuilt-$next-x64.msi")"
[ "$(installed_products)" = "$next" ] || fail "installed products: '$(installed_products)'"
same_file "$work/rebuilt/kdautoupdate.exe" "$unix_dir/kdautoupdate.exe"
[ -f "$store" ] || cp "$work/store.xml" "$store"

step "msiexec /x rebuilt-$next-x64.msi /qn (wine): nothing left"
msiexec_step "/x $next" 0 /x "$(winepath -w "$work/rebuilt-$next-x64.msi")"
[ -z "$(present_keys)" ] || fail "uninstall left $(present_keys | tr '\n' ' ')"
diff <(echo "$classes_before") <(class_values) >"$work/uninstall.diff" ||
  { fail "uninstall did not restore the classes (< before, > after)"; cat "$work/uninstall.diff"; }
[ "$(emulation "$feature")" = "$emulation_before" ] || fail "uninstall left the browser emulation value"
[ ! -e "$unix_dir" ] || fail "uninstall left $(ls -A "$unix_dir" | tr '\n' ' ') in Program Files\\KDAutoUpdate"
[ -z "$(installed_products)" ] || fail "still installed: $(installed_products)"

step "/RegServer[PerUser] and /UnregServer[PerUser]: the browser emulation value of the scope"
fresh_server
user_feature="HKCU${feature#HKLM}"
wine "$bin/kdautoupdate.exe" /RegServerPerUser || fail "/RegServerPerUser"
[ "$(emulation "$user_feature")" = "0x2af9" ] && [ -z "$(emulation "$feature")" ] ||
  fail "/RegServerPerUser: HKCU '$(emulation "$user_feature")', HKLM '$(emulation "$feature")'"
wine "$bin/kdautoupdate.exe" /UnregServerPerUser || fail "/UnregServerPerUser"
[ -z "$(emulation "$user_feature")" ] || fail "/UnregServerPerUser left the value"
wine "$bin/kdautoupdate.exe" /RegServer || fail "/RegServer"
[ "$(emulation "$feature")" = "0x2af9" ] && [ -z "$(emulation "$user_feature")" ] ||
  fail "/RegServer: HKLM '$(emulation "$feature")', HKCU '$(emulation "$user_feature")'"
wine "$bin/kdautoupdate.exe" /UnregServer || fail "/UnregServer"
[ -z "$(emulation "$feature")" ] || fail "/UnregServer left the value"
wine reg query "${feature}" >/dev/null 2>&1 && fail "/UnregServer left the emptied feature key"

[ $status -eq 0 ] && echo "== [${SECONDS}s] the package installs, upgrades and uninstalls cleanly"
exit $status
