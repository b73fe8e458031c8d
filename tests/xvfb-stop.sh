#!/usr/bin/env bash
# Stops what xvfb-start.sh started, window manager first, and waits until each
# has gone, so that a new start finds the display free. A PID file left from an
# earlier run may name a process that is something else by now: leave that one
# alone.
stop() {
  [ -f "$1" ] || return 0
  pid=$(cat "$1")
  rm -f "$1"
  [ "$(ps -p "$pid" -o comm= 2>/dev/null)" = "$2" ] || return 0
  kill "$pid" 2>/dev/null
  # Gone, or a zombie: either way it has let go of the display.
  for _ in $(seq 100); do
    case $(ps -p "$pid" -o stat= 2>/dev/null) in "" | Z*) return 0 ;; esac
    sleep 0.05
  done
}
stop "$1.wm" openbox
stop "$1" Xvfb
exit 0
