#!/usr/bin/env bash
# tests/clothtrace-matches.sh CLOTHTRACE COMMAND...: another build of clothtrace,
# started by COMMAND (under Wine, under node), prints the same bytes as this
# one, on the AVX2 path and on the portable path.
set -u
native=$1
shift
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
status=0
for path in "" --portable; do
  for scenario in "600" "600 0:M 300:B" "900 0:M 100:Z 400:Z 500:B 700:R" "3000 0:M 1000:B 2000:Z"; do
    # shellcheck disable=SC2086
    "$@" $path $scenario >"$out/other" && "$native" $path $scenario >"$out/native" &&
      cmp -s "$out/other" "$out/native" && continue
    echo "FAIL: clothtrace $path $scenario differs from the native one" >&2
    status=1
  done
done
exit $status
