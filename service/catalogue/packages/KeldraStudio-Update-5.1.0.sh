#!/bin/sh
# Sample update package of the Keldra Studio catalogue. It installs nothing: it appends one
# line with the time and its arguments to the file named by KDAU_INSTALL_RECORD, so a test or
# a demo can see that it was started and with which command line.
record="${KDAU_INSTALL_RECORD:-${HOME:-/tmp}/.local/state/kdautoupdate/installs.log}"
mkdir -p "$(dirname "$record")" || exit 1
printf '%s KeldraStudio-Update-5.1.0 %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$*" >> "$record" || exit 1
exit 0
