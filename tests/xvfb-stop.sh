#!/usr/bin/env bash
# Stops the Xvfb that xvfb-start.sh started, if it did.
if [ -f "$1" ]; then
  kill "$(cat "$1")" 2>/dev/null
  rm -f "$1"
fi
exit 0
