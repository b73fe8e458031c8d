#!/usr/bin/env bash
# Starts a private Xvfb on display $1 unless one answers there, then openbox on
# it unless a window manager runs there already, so that resizing, maximising
# and focus behave as on a desktop. Their PIDs go to $2 and $2.wm.
display=$1
pidfile=$2
wait_for() {
  for _ in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
wm_running() { xprop -display "$display" -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
  # -ardelay 60000: no key autorepeat, so a held key is one key-down.
  # -noreset: a server resetting as its last client leaves refuses the next one.
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset -ardelay 60000 </dev/null >"$pidfile.log" 2>&1 &
  echo $! >"$pidfile"
  wait_for xdpyinfo -display "$display" >/dev/null 2>&1 || { echo "Xvfb did not start on $display" >&2; exit 1; }
fi
if ! wm_running; then
  # Its output must not reach ctest, or ctest waits for it.
  DISPLAY=$display openbox --sm-disable </dev/null >"$pidfile.wm.log" 2>&1 &
  echo $! >"$pidfile.wm"
  wait_for wm_running || { echo "openbox did not start on $display" >&2; exit 1; }
fi
exit 0
