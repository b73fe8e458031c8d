#!/usr/bin/env bash
# Stops the Xvfb that xvfb-start.sh started, if it did. A PID file left from an
# earlier run may name a process that is no Xvfb by now: leave that one alone.
if [ -f "$1" ]; then
  pid=$(cat "$1")
  if [ "$(ps -p "$pid" -o comm= 2>/dev/null)" = "Xvfb" ]; then kill "$pid" 2>/dev/null; fi
  rm -f "$1"
fi
exit 0
