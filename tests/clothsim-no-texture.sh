#!/usr/bin/env bash
# Runs the program in a directory without Data/foulard.bmp. It must show one
# message box, "Initialization Failed." captioned "ERROR", and exit with status 0.
# With "fifo", Data/foulard.bmp is a FIFO nobody writes to: the same, without waiting.
# Usage: clothsim-no-texture.sh <clothsim> <message_box_logger library> [fifo]. Needs DISPLAY.
set -u
program=$(realpath "$1")
logger=$(realpath "$2")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
if [ "${3:-}" = fifo ]; then
  mkdir Data && mkfifo Data/foulard.bmp || exit 1
fi

MESSAGE_BOX_LOG="$dir/boxes.log" LD_PRELOAD="$logger" timeout 30 "$program"
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: exit status $status, expected 0" >&2; exit 1; }

expected=$'ERROR\tInitialization Failed.'
actual=$(cat "$dir/boxes.log" 2>/dev/null)
if [ "$actual" != "$expected" ]; then
  echo "FAIL: message boxes shown (caption<TAB>text):" >&2
  printf '%s\n' "${actual:-<none>}" >&2
  exit 1
fi
echo "PASS: only \"Initialization Failed.\" (caption \"ERROR\"), exit status 0"
