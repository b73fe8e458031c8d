#!/usr/bin/env bash
# Runs the program where no display can be reached and no video driver is named.
# It must not run on unseen: it reports why on stderr and exits with status 0.
# Usage: clothsim-no-display.sh <clothsim>
set -u
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 20 "$1" 2>&1)
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: exit status $status (124: still running)" >&2; exit 1; }
echo "$out" | grep -qx "ERROR: Failed To Register The Window Class." ||
  { echo "FAIL: no report on stderr; got: $out" >&2; exit 1; }
echo "ok: reported and exit status 0"
