# Sourced by the scripts that run the Windows build under wine: whether the automation server
# COM started (kdautoupdate.exe -Embedding) runs in this WINEPREFIX, and a wait for it to end.
# Other prefixes on the machine may run theirs.
agent_server_running() {
  local pid
  for pid in $(pgrep -f 'kdautoupdate.exe.*-Embedding'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
# Waits up to $1 seconds for the server to end by itself; fails if it is still running.
agent_server_ends_within() {
  local i
  for ((i = 0; i < $1 * 10; i++)); do
    agent_server_running || return 0
    sleep 0.1
  done
  ! agent_server_running
}
