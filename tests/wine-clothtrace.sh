#!/usr/bin/env bash
# tests/wine-clothtrace.sh WINE CLOTHTRACE_EXE CLOTHTRACE: the Windows build
# under Wine prints the same bytes as the Linux one, on the AVX2 path and on
# the portable path.
set -u
wine=$1 exe=$2 linux=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
status=0
for path in "" --portable; do
  for scenario in "600" "600 0:M 300:B" "900 0:M 100:Z 400:Z 500:B 700:R"; do
    # shellcheck disable=SC2086
    "$wine" "$exe" $path $scenario >"$out/windows" && "$linux" $path $scenario >"$out/linux" &&
      cmp -s "$out/windows" "$out/linux" && continue
    echo "FAIL: clothtrace $path $scenario differs under Wine" >&2
    status=1
  done
done
exit $status
