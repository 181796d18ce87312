#!/usr/bin/env bash
# The command line's conventions, and failures that leave no file behind:
# a wrong command line (2), an unwritable path, no data folder (1). A missing
# music file is no failure: the sound is silent, with a notice.
source "$(dirname "$0")/lib.bash"

"$capture" --help >"$work/help.txt" 2>&1 || fail "--help status $?"
grep -q "^lanternfay-capture [0-9]" "$work/help.txt" || fail "--help's first line has no version"
"$capture" -h >/dev/null 2>&1 || fail "-h status $?"

# expect STATUS ARGUMENTS... : runs the tool in $work/run; no file may appear there.
mkdir -p "$work/run"
ln -s "$build_dir/data" "$work/run/data"
expect() {
  local wanted=$1 status=0
  shift
  (cd "$work/run" && "$capture" "$@") >"$work/out.txt" 2>"$work/err.txt" || status=$?
  [[ $status -eq $wanted ]] || fail "$* : status $status, not $wanted ($(head -1 "$work/err.txt"))"
  [[ -s "$work/err.txt" ]] || fail "$* : nothing said on standard error"
  [[ -z "$(ls "$work/run" | grep -v '^data$')" ]] || fail "$* : left $(ls "$work/run")"
}
expect 2 --bogus out.mp4
grep -q "^usage:" "$work/err.txt" || fail "an unknown option does not print the usage on standard error"
expect 2
expect 2 --fps 0 out.mp4
expect 2 --fps 60.5 out.mp4
expect 2 --height 601 out.mp4
expect 2 --scene 9 out.mp4
expect 2 --scene 2 --from 31 out.mp4
expect 2 --from 33 --to 31 out.mp4
expect 2 --to 199 out.mp4
expect 2 --from nan out.mp4
expect 2 --from 1e300 out.mp4
expect 2 --to -1 out.mp4
expect 2 out.txt
expect 2 --lossless out.webm
expect 2 a.mp4 b.mp4
expect 1 --from 31 --to 31.1 "$work/run/no such folder/out.mp4"
grep -q "cannot write" "$work/err.txt" || fail "an unwritable path is not named as such"
echo "wrong command lines: status 2; an unwritable path: status 1; no file left"

# No data folder: a clear message, status 1, no file.
mkdir -p "$work/empty"
status=0
(cd "$work/empty" && "$capture" --from 31 --to 31.1 out.mp4) 2>"$work/err.txt" || status=$?
[[ $status -eq 1 ]] || fail "no data folder: status $status"
grep -q "data" "$work/err.txt" || fail "no data folder: the message does not say so"
[[ -z "$(ls "$work/empty")" ]] || fail "no data folder: left $(ls "$work/empty")"
echo "no data folder: status 1, \"$(head -1 "$work/err.txt")\""

# The data without the music: a silent sound track and a notice.
mkdir -p "$work/silent/data"
for file in "$build_dir"/data/*; do
  [[ "$(basename "$file")" == lanternfay.ogg ]] || ln -s "$file" "$work/silent/data/"
done
(cd "$work/silent" && "$capture" --from 31 --to 31.5 out.mp4) 2>"$work/err.txt" || fail "no music: status $?"
grep -q "No music" "$work/err.txt" || fail "no music: no notice"
[[ "$(probe "$work/silent/out.mp4" stream=codec_type | sort | tr '\n' ' ')" == "audio video " ]] ||
  fail "no music: not one video and one audio stream"
sound_raw "$work/silent/out.mp4" "$work/silent.raw"
loudness=$(rms "$work/silent.raw" 0 0.5)
[[ "$loudness" == "0.0" ]] || fail "no music: the sound is not silent (rms $loudness)"
echo "no music: a silent track, \"$(grep "No music" "$work/err.txt")\""
