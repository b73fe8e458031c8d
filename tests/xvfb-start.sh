#!/usr/bin/env bash
# Starts a private Xvfb on display $1 unless one answers there; its PID goes to $2.
display=$1
pidfile=$2
if xdpyinfo -display "$display" >/dev/null 2>&1; then exit 0; fi
# -ardelay 60000: no key autorepeat, so a held key is one key-down.
# -noreset: else the server resets when xdpyinfo below, its only client, hangs
# up, and the first test to connect meanwhile is refused.
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset -ardelay 60000 </dev/null >"$pidfile.log" 2>&1 &
echo $! >"$pidfile"
for _ in $(seq 100); do
  xdpyinfo -display "$display" >/dev/null 2>&1 && exit 0
  sleep 0.1
done
echo "Xvfb did not start on $display" >&2
exit 1
