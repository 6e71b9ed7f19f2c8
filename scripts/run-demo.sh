#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo: the embedded update service with the
# sample catalogue on a free port of 127.0.0.1, and an agent walking the whole road against it,
# in real windows when a display is there, else as text. Extra arguments go to `demo`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
# The same configuration as the test command, so that the tests after the demo rebuild nothing.
bash "$root/scripts/build.sh" "$root/build" -DKDAU_WERROR=ON
# Qt WebEngine refuses its sandbox for root.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$root/build/bin/kdautoupdate" demo "$@"
