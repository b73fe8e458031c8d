#!/usr/bin/env bash
# Starts this test run's own X server on a display nobody uses, with openbox on
# it so that resizing, maximising and focus behave as on a desktop, and writes
# the display (":N") to $1/display, where the tests read it. $2: the screen,
# 1024x768x24 unless given; its size is the server's only display mode. With
# "weston" as $3, the Wayland compositor runs in a window on it too: its socket
# name goes to $1/wayland, its X window to $1/weston-window, and its clients need
# XDG_RUNTIME_DIR=$1/runtime. It never uses a server it did not start. All stop
# with xvfb-stop.sh, or with the ctest that started them if that ends first.
set -u
state=$1
screen=${2:-1024x768x24}
# ctest --repeat runs a fixture's set-up again for every repetition: the
# servers this ctest started already stay.
running() { [ "$(ps -p "$(cat "$state/$1.pid" 2>/dev/null)" -o comm= 2>/dev/null)" = "$2" ]; }
[ -f "$state/display" ] && running xvfb Xvfb && running watch bash && exit 0
rm -rf "$state" && mkdir -p "$state" || exit 1
fail() { echo "$1; see $state" >&2; exit 1; }
# Until the deadline, or until the server has died.
wait_for() {
  for ((end = SECONDS + 20; SECONDS < end; )); do
    "$@" && return 0
    kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# -displayfd: the server picks a free display and writes its number once it is
# ready. -noreset: a server resetting as its last client leaves refuses the next.
# Its output must not reach ctest, or ctest waits for it.
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset \
  3>"$state/number" </dev/null >"$state/xvfb.log" 2>&1 &
echo $! >"$state/xvfb.pid"
wait_for grep -q '^[0-9]' "$state/number" || fail "Xvfb did not start"
display=:$(head -1 "$state/number")
wait_for xdpyinfo -display "$display" >/dev/null 2>&1 || fail "Xvfb does not answer on $display"

wm_running() { xprop -display "$display" -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
DISPLAY=$display openbox --sm-disable </dev/null >"$state/openbox.log" 2>&1 &
echo $! >"$state/openbox.pid"
wait_for wm_running || fail "openbox did not start on $display"
# openbox says it runs before it has finished starting: on a first run it is
# still filling the font cache, and a window mapped meanwhile can stay unmapped
# for good, its program waiting in SDL_ShowWindow. It has finished once a probe
# window is mapped; a probe left unmapped is given up after 3 s for a new one.
wm_maps() {
  xev -display "$display" -geometry 16x16 -event structure </dev/null >"$state/probe.log" 2>&1 &
  local probe=$! mapped=1 until=$((SECONDS + 3))
  while ((SECONDS < until)); do
    grep -q MapNotify "$state/probe.log" && { mapped=0; break; }
    sleep 0.05
  done
  kill "$probe" 2>/dev/null; wait "$probe" 2>/dev/null
  echo "probe $([ $mapped = 0 ] && echo mapped || echo "left unmapped")" >>"$state/openbox-probes"
  return $mapped
}
wait_for wm_maps || fail "openbox maps no window on $display"

weston_window() { xwininfo -display "$display" -root -tree | awk '/"Weston Compositor/ {print $1; exit}'; }
weston_shown() { [ -n "$(weston_window)" ]; }
if [ "${3:-}" = weston ]; then
  mkdir -m 700 "$state/runtime"
  # An output that fits the screen under openbox's title bar; the program's
  # 640 x 480 window always covers its middle.
  DISPLAY=$display XDG_RUNTIME_DIR=$state/runtime weston --config="$(cd "$(dirname "$0")" && pwd)/weston.ini" \
    --backend=x11-backend.so --use-pixman --socket=wayland-test --width=800 --height=600 \
    </dev/null >"$state/weston.log" 2>&1 &
  echo $! >"$state/weston.pid"
  wait_for test -S "$state/runtime/wayland-test" || fail "weston did not start"
  wait_for weston_shown || fail "weston shows no window"
  echo wayland-test >"$state/wayland"
  weston_window >"$state/weston-window"
fi

# Should ctest be killed before its clean-up runs, nothing is left behind.
ctest=$PPID
(while kill -0 "$ctest" 2>/dev/null; do sleep 1; done
 rm -f "$state/watch.pid"; "$(dirname "$0")/xvfb-stop.sh" "$state") \
  </dev/null >/dev/null 2>&1 &
echo $! >"$state/watch.pid"
echo "$display" >"$state/display"
