#!/usr/bin/env bash
# Stops what xvfb-start.sh started, window manager first. A PID file left from
# an earlier run may name a process that is something else by now: leave that
# one alone.
stop() {
  if [ -f "$1" ]; then
    pid=$(cat "$1")
    if [ "$(ps -p "$pid" -o comm= 2>/dev/null)" = "$2" ]; then kill "$pid" 2>/dev/null; fi
    rm -f "$1"
  fi
}
stop "$1.wm" openbox
stop "$1" Xvfb
exit 0
