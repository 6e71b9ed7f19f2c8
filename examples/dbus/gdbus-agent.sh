#!/bin/sh
# The agent from a shell with gdbus, including the by-name form of optional arguments and the
# busy error. Uses the session bus ($DBUS_SESSION_BUS_ADDRESS).
set -e
S=org.kdautoupdate.KDAutoUpdate I=org.kdautoupdate.AuAgent
call() { gdbus call -e -d $S -o "$@"; }
agent=$(call /org/kdautoupdate/KDAutoUpdate -m $S.CreateAgentUntilRelease | cut -d"'" -f2)
echo "agent $agent"
call "$agent" -m org.freedesktop.DBus.Properties.Set $I ProductCode '<"6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14">'
call "$agent" -m org.freedesktop.DBus.Properties.Get $I ProductCode
call "$agent" -m $I.CheckMessagesNamed "{'bSilent': <true>}"
call "$agent" -m $I.DisplayMessages                     # the messages window opens
call "$agent" -m $I.DisplayMessages || call "$agent" -m $I.GetLastError   # busy while it is open
call "$agent" -m $I.Release
