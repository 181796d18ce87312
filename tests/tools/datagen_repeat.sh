#!/usr/bin/env bash
# The data generator makes the same bytes every time: two runs side by side
# write identical data folders, identical to the build's own, and identical
# icons. Its --help and unknown options follow the tools' rules.
#   tests/tools/datagen_repeat.sh DATAGEN VERSION     (run in the build folder)
set -euo pipefail
datagen=$(realpath "$1") version=$2
build_dir=$(pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

status=0
"$datagen" --help >"$work/help.txt" 2>&1 || status=$?
[[ $status -eq 0 ]] || fail "--help: exit status $status"
[[ "$(head -n 1 "$work/help.txt")" == "lanternfay-datagen $version "* ]] || fail "--help: first line lacks the version $version"
status=0
"$datagen" --frobnicate >"$work/out.txt" 2>"$work/err.txt" || status=$?
[[ $status -eq 2 && ! -s "$work/out.txt" ]] || fail "--frobnicate: status $status, or usage on standard output"
grep -q "unknown option --frobnicate" "$work/err.txt" && grep -q "^usage:" "$work/err.txt" || fail "--frobnicate: no message and usage"
echo "--help: usage with version $version, status 0; an unknown option: status 2"

"$datagen" "$work/first" >"$work/first.log" 2>&1 &
first=$!
"$datagen" "$work/second" >"$work/second.log" 2>&1 || fail "the second run failed: $(cat "$work/second.log")"
wait "$first" || fail "the first run failed: $(cat "$work/first.log")"
files=$(find "$work/first" -type f | wc -l)
(( files >= 48 )) || fail "only $files files written"
diff -r "$work/first" "$work/second" >/dev/null || fail "two runs wrote different data: $(diff -rq "$work/first" "$work/second" | head -5)"
diff -r -x .generated "$work/first" "$build_dir/data" >/dev/null || fail "a run differs from the build's data: $(diff -rq -x .generated "$work/first" "$build_dir/data" | head -5)"
for kind in png ico; do
  "$datagen" --icon "$work/icon1.$kind" && "$datagen" --icon "$work/icon2.$kind" || fail "--icon (.$kind) failed"
  cmp -s "$work/icon1.$kind" "$work/icon2.$kind" || fail "two .$kind icons differ"
done
echo "two runs: the same $files files, byte for byte, as each other and as build/data; each icon twice the same"
