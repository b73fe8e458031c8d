#!/usr/bin/env bash
# Stops what xvfb-start.sh started in $1, window manager first, and waits until
# each has gone. A PID whose process is no longer the one started is left alone.
state=$1
stop() {
  [ -f "$state/$1.pid" ] || return 0
  pid=$(cat "$state/$1.pid")
  [ "$(ps -p "$pid" -o comm= 2>/dev/null)" = "$2" ] || return 0
  kill "$pid" 2>/dev/null
  for ((end = SECONDS + 10; SECONDS < end; )); do
    # Gone, or a zombie: either way it has let go of the display.
    case $(ps -p "$pid" -o stat= 2>/dev/null) in "" | Z*) return 0 ;; esac
    sleep 0.05
  done
  kill -KILL "$pid" 2>/dev/null
}
stop watch bash
# weston spins once its X server has gone: it goes first.
stop weston weston
stop openbox openbox
stop xvfb Xvfb
rm -rf "$state"
exit 0
