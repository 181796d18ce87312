#!/usr/bin/env bash
# The frame tool as a person uses it, from the build folder: --help prints
# the usage with the version and exits 0, an unknown option exits 2 with the
# usage on standard error; a short span writes its PNGs; Ctrl-C or SIGTERM
# stops it at once, saying where it was, and writes nothing it did not reach;
# a disk that fills leaves no PNG behind, and the tool gives the system's reason;
# a mesh far too large is left out with one notice instead of costing
# seconds and gigabytes per frame; a named pipe in place of a mesh is left
# out unopened, and one in place of a picture ends start-up with a message.
#   tests/tools/frames_tool.sh FRAMES_TOOL VERSION     (run in the build folder)
set -euo pipefail
tool=$(realpath "$1") version=$2
build_dir=$(pwd)
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
work=$(mktemp -d)
tool_pid=""
cleanup() {
  if [[ -n "$tool_pid" ]]; then kill -KILL "$tool_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; for f in "$work"/*.txt; do [[ -f $f ]] && { echo "--- $f" >&2; cat "$f" >&2; }; done; exit 1; }
now_ms() { date +%s%3N; }
run() {   # run ARGUMENTS... : the tool's status in $status, its output in out.txt and err.txt
  status=0
  "$tool" "$@" >"$work/out.txt" 2>"$work/err.txt" || status=$?
}

# --help and -h: the usage, with the version on its first line, and 0.
for option in --help -h; do
  run "$option"
  [[ $status -eq 0 ]] || fail "$option: exit status $status"
  [[ "$(head -n 1 "$work/out.txt")" == "lanternfay-frames $version "* ]] || fail "$option: first line lacks the version $version"
  grep -q "^usage: lanternfay-frames" "$work/out.txt" || fail "$option: no usage"
  grep -q "unknown" "$work/out.txt" "$work/err.txt" && fail "$option: called unknown"
done
# An unknown option and a bad value: what is wrong, the usage, 2, on standard error.
for arguments in "--frobnicate" "--scene 9" "--at"; do
  # shellcheck disable=SC2086
  run $arguments
  [[ $status -eq 2 ]] || fail "$arguments: exit status $status, expected 2"
  [[ ! -s "$work/out.txt" ]] || fail "$arguments: wrote to standard output"
  grep -q "^usage: lanternfay-frames" "$work/err.txt" || fail "$arguments: no usage on standard error"
done
grep -q "unknown option --frobnicate" <(run --frobnicate; cat "$work/err.txt") || fail "--frobnicate is not called unknown"
echo "--help and -h: usage with version $version, status 0; unknown options and bad values: usage on standard error, status 2"

# A short span: two moments half a second into the last scene.
run --scene 8 --at 0.25 --at 0.5 --out "$work/frames"
[[ $status -eq 0 ]] || fail "short span: exit status $status"
count=$(find "$work/frames" -name '*.png' | wc -l)
[[ $count -eq 2 ]] || fail "short span: $count PNGs, expected 2"
for png in "$work/frames"/*.png; do
  [[ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" == "89504e470d0a1a0a" ]] || fail "$png is not a PNG"
done
echo "short span: 2 PNGs of scene 8 written"

# A full disk, as a file-size limit (a tmpfs would need mounting): the first
# PNG is cut off, the second cannot start; neither may stay behind.
status=0
(trap '' XFSZ; ulimit -f 64; exec "$tool" --at 1 --at 2 --out "$work/full") >"$work/out.txt" 2>"$work/err.txt" || status=$?
[[ $status -eq 1 ]] || fail "full disk: exit status $status, expected 1"
[[ -z "$(ls -A "$work/full")" ]] || fail "full disk: left $(ls -A "$work/full")"
for moment in show001.000_scene1_01.000 show002.000_scene1_02.000; do
  grep -q "^cannot write $work/full/$moment.png: File too large$" "$work/out.txt" || fail "full disk: $moment not named with its reason"
done
echo "full disk: status 1, no PNG left, \"$(grep -m 1 "cannot write" "$work/out.txt")\""

# Interrupts: SIGTERM while a scene plays through, SIGINT before a moment is reached.
for signal in TERM INT; do
  "$tool" --scene 1 --at 29 --out "$work/interrupted" >"$work/out.txt" 2>"$work/err.txt" &
  tool_pid=$!
  sleep 3
  kill -0 "$tool_pid" 2>/dev/null || fail "SIG$signal: the tool ended before the signal"
  sent=$(now_ms)
  kill "-$signal" "$tool_pid"
  status=0
  wait "$tool_pid" || status=$?
  took=$(( $(now_ms) - sent ))
  tool_pid=""
  [[ $status -eq 130 ]] || fail "SIG$signal: exit status $status, expected 130"
  (( took < 1000 )) || fail "SIG$signal: took $took ms to stop"
  where=$(grep "^interrupted in scene 1 at [0-9.]* s of it" "$work/out.txt") || fail "SIG$signal: does not say where it was"
  [[ -z "$(ls -A "$work/interrupted" 2>/dev/null)" ]] || fail "SIG$signal: wrote a moment it never reached"
  echo "SIG$signal: stopped in $took ms, status 130: \"$where\""
done

# A replacement grass mesh of 100,000 triangles (loaded once per blade).
mkdir -p "$work/show"
cp -r "$build_dir/data" "$work/show/data"
awk 'BEGIN { for (i = 0; i < 100000; i++) print "0 0 0 1 0 0 0 1 0 " }' >"$work/show/data/grass.raw"
started=$(now_ms)
status=0
(cd "$work/show" && exec "$tool" --scene 4 --at 0.2 --out "$work/big") >"$work/out.txt" 2>"$work/err.txt" || status=$?
took=$(( $(now_ms) - started ))
[[ $status -eq 0 ]] || fail "large mesh: exit status $status"
notices=$(grep -c "Mesh data/grass.raw is left out: it has more than" "$work/err.txt" || true)
[[ $notices -eq 1 ]] || fail "large mesh: $notices notices, expected one"
(( took < 30000 )) || fail "large mesh: scene 4 to 0.2 s took $took ms"
echo "large mesh: left out with one notice (\"$(head -n 1 "$work/err.txt")\"); 0.2 s of scene 4 in $took ms"

# Named pipes in the data: opening one would wait for a writer for ever.
rm "$work/show/data/grass.raw"
mkfifo "$work/show/data/grass.raw"
status=0
(cd "$work/show" && exec timeout 60 "$tool" --scene 4 --at 0.2 --out "$work/piped") >"$work/out.txt" 2>"$work/err.txt" || status=$?
[[ $status -eq 0 ]] || fail "pipe as a mesh: exit status $status"
grep -q "Mesh data/grass.raw is left out: it is a named pipe, not a plain file" "$work/err.txt" || fail "pipe as a mesh: no notice"
mv "$work/show/data/elf.bmp" "$work/elf.bmp"
mkfifo "$work/show/data/elf.bmp"
status=0
(cd "$work/show" && exec timeout 60 "$tool" --scene 4 --at 0.2 --out "$work/piped") >"$work/out.txt" 2>"$work/err.txt" || status=$?
[[ $status -eq 1 ]] || fail "pipe as a picture: exit status $status, expected 1"
grep -q "elf.bmp: it is a named pipe, not a plain file" "$work/out.txt" || fail "pipe as a picture: no message"
echo "named pipes: as a mesh left out with a notice, as a picture a message and status 1"
