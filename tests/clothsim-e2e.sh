#!/usr/bin/env bash
# Runs the shipped program and ends it from outside; passes when it exits with
# status 0 and the window behaved. Usage: clothsim-e2e.sh <clothsim> <close tool> escape|close|f1
# Needs DISPLAY; run from the repository root so "Data/foulard.bmp" resolves.
set -u
program=$1
close_tool=$2
mode=$3
title="^Tarv's OpenGL Framework\$"

"$program" &
pid=$!
fail() {
  echo "FAIL: $1" >&2
  # An open message box would ignore SIGTERM: name it, then force the end.
  xwininfo -root -tree 2>/dev/null | grep -E '"(ERROR|SHUTDOWN ERROR|Error|Tarv GL)"' >&2
  kill "$pid" 2>/dev/null
  sleep 2
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  exit 1
}
# Windows come and go during creation, which can make one search fail: retry.
windows() { xdotool search --onlyvisible --name "$title" 2>/dev/null; }
hold() { xdotool keydown "$1"; sleep 0.3; xdotool keyup "$1"; }

W=""
for _ in $(seq 100); do
  W=$(windows | head -1)
  [ -n "$W" ] && break
  sleep 0.1
done
[ -n "$W" ] || fail "no window titled Tarv's OpenGL Framework"
[ "$(windows | wc -l)" -eq 1 ] || fail "more than one window"
size=$(xwininfo -id "$W" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[ "$size" = "640x480" ] || fail "client area $size, not 640x480"

case $mode in
  escape) hold Escape ;;
  close) "$close_tool" "$W" || fail "close request not sent" ;;
  f1)
    xprop -id "$W" -f CLOTHSIM_TEST_MARK 8s -set CLOTHSIM_TEST_MARK before
    hold F1
    new=""
    for _ in $(seq 100); do
      new=$(windows | head -1)
      if [ -n "$new" ] && ! xprop -id "$new" CLOTHSIM_TEST_MARK 2>/dev/null | grep -q before; then break; fi
      new=""
      sleep 0.1
    done
    [ -n "$new" ] || fail "no new window after F1"
    kill -0 "$pid" 2>/dev/null || fail "the program ended on F1"
    # again and again: every new window must come up on the display
    for _ in $(seq 25); do
      xdotool keydown F1; sleep 0.1; xdotool keyup F1; sleep 0.1
    done
    sleep 0.5
    [ "$(windows | wc -l)" -eq 1 ] || fail "not one window after repeated F1"
    kill -0 "$pid" 2>/dev/null || fail "the program ended on repeated F1"
    hold Escape
    ;;
  *) fail "unknown mode $mode" ;;
esac

for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: exit status $status" >&2; exit 1; }
echo "ok: $mode, exit status 0"
