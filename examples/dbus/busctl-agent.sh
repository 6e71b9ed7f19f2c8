#!/bin/sh
# The agent from a shell with busctl: one-shot calls, so the agent is created to live until
# it is released. Uses the session bus ($DBUS_SESSION_BUS_ADDRESS).
set -e
S=org.kdautoupdate.KDAutoUpdate I=org.kdautoupdate.AuAgent R=org.kdautoupdate.AuProductInfo
agent=$(busctl --user call $S /org/kdautoupdate/KDAutoUpdate $S CreateAgentUntilRelease | cut -d'"' -f2)
echo "agent $agent"
busctl --user get-property $S "$agent" $I UILanguageLCID BaseURL
busctl --user set-property $S "$agent" $I ProductCode s 6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14
busctl --user set-property $S "$agent" $I MajorVer i 5
busctl --user get-property $S "$agent" $I ProductCode     # read back with braces
record=$(busctl --user call $S "$agent" $I GetProductInfo | cut -d'"' -f2)
busctl --user get-property $S "$record" $R LastCheckedDate LastMessageStamp
busctl --user call $S "$agent" $I CheckMessages bbb true true true  # silent check
busctl --user call $S "$agent" $I Release
