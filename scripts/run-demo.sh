#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo: the embedded update service with the
# sample catalogue on a free port of 127.0.0.1, and an agent walking the whole road against it,
# in real windows when a display is there, else as text. Extra arguments go to `demo`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build"
# Qt WebEngine refuses its sandbox for root.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$root/build/bin/kdautoupdate" demo "$@"
