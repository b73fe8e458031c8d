#!/usr/bin/env bash
# tests/wine-prefix.sh start|stop DIR WINE: a Wine prefix of the test run's own,
# made before the Windows build's tests and removed, with its wineserver, after.
set -u
what=$1 prefix=$2 wine=$3
export WINEPREFIX=$prefix WINEDEBUG=-all
case $what in
  start)
    rm -rf "$prefix"
    # Its output must not reach ctest, or ctest waits for the wineserver it leaves.
    "$wine" wineboot --init </dev/null >/dev/null 2>&1 || { echo "wineboot failed in $prefix" >&2; exit 1; }
    # Until the prefix is written and its server gone: a program started sooner
    # can fail to make its first window.
    "$(dirname "$wine")/wineserver" -w
    ;;
  stop)
    "$(dirname "$wine")/wineserver" -k 2>/dev/null || wineserver -k 2>/dev/null
    rm -rf "$prefix"
    ;;
esac
exit 0
