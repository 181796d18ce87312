#!/usr/bin/env bash
# What a person sees when the show cannot start: a message naming the
# problem and status 255, before any scene. Without its music, or without a
# sound device, the show still plays, silent, after one notice.
source "$(dirname "$0")/lib.bash"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

expect_failure() {   # expect_failure WHAT TEXT : the show just run failed, saying TEXT
  [[ $show_status -eq 255 ]] || fail "$1: exit status $show_status, expected 255"
  grep -qF -- "$2" "$work/show.log" || fail "$1: no message containing \"$2\""
  echo "$1: status 255, \"$(head -n 1 "$work/show.log")\""
}

# A copy of the data without one picture.
mkdir -p "$work/copy/data"
cp -r "$build_dir/data/." "$work/copy/data/"
mv "$work/copy/data/elf.bmp" "$work/elf.bmp"
start_show "$work/copy" window
wait_show 30
expect_failure "missing data/elf.bmp" "$work/copy/data/elf.bmp"

# A picture that is not a BMP at all.
echo "not a picture" >"$work/copy/data/elf.bmp"
start_show "$work/copy" window
wait_show 30
expect_failure "unreadable data/elf.bmp" "$work/copy/data/elf.bmp"

# A named pipe in its place: refused before it is opened (opening it would
# wait for a writer for ever), in the words of a missing picture.
rm "$work/copy/data/elf.bmp"
mkfifo "$work/copy/data/elf.bmp"
start_show "$work/copy" window
wait_show 30
expect_failure "a named pipe as data/elf.bmp" "$work/copy/data/elf.bmp: it is a named pipe, not a plain file"
rm "$work/copy/data/elf.bmp"
mv "$work/elf.bmp" "$work/copy/data/elf.bmp"

# A working directory that no longer exists cannot be read.
mkdir "$work/gone"
show_status=0
(cd "$work/gone" && rmdir "$work/gone" && exec "$program" window) >"$work/show.log" 2>&1 || show_status=$?
expect_failure "deleted working directory" "This program was run incorrectly."
[[ "$(cat "$work/show.log")" == $'This program was run incorrectly.\nExiting (exciting?).' ]] ||
  fail "deleted working directory: the message is not exactly its two lines"

# A working directory too long for the data paths (240 characters, more than
# the 228 that leave room for them) but readable: no overflow, a message.
long="$work/copy"
while (( ${#long} < 190 )); do long="$long/$(printf 'd%.0s' {1..40})"; done
long="$long/$(printf 'e%.0s' $(seq $(( 239 - ${#long} ))))"
mkdir -p "$long"
cp -r "$work/copy/data" "$long/"
start_show "$long" window
wait_show 30
expect_failure "working directory of ${#long} characters" "working directory is too long"

# No display for the video driver: SDL cannot start, and says why.
SDL_VIDEODRIVER=x11 DISPLAY= start_show "$build_dir" window
wait_show 30
[[ $show_status -eq 255 ]] || fail "no display: exit status $show_status, expected 255"
[[ -s "$work/show.log" ]] || fail "no display: no message"
echo "no display: status 255, \"$(head -n 1 "$work/show.log")\""

# No music, or a named pipe in its place: the show plays silent; an
# interrupt then ends it as usual.
for music in missing pipe; do
  rm -f "$work/copy/data/lanternfay.ogg"
  [[ $music == pipe ]] && mkfifo "$work/copy/data/lanternfay.ogg"
  start_show "$work/copy" window
  sleep 3
  kill -0 "$show_pid" 2>/dev/null || fail "music $music: the show did not play"
  kill -INT "$show_pid"
  wait_show 5
  [[ $show_status -eq 0 ]] || fail "music $music: exit status $show_status after SIGINT"
  grep -q "plays silent" "$work/show.log" || fail "music $music: no notice"
  echo "music $music: the show played silent, \"$(head -n 1 "$work/show.log")\", status 0"
done

# No sound device: the show plays silent, and says so once.
SDL_AUDIODRIVER=no-such-driver start_show "$build_dir" window
sleep 3
kill -0 "$show_pid" 2>/dev/null || fail "without a sound device the show did not play"
kill -INT "$show_pid"
wait_show 5
[[ $show_status -eq 0 ]] || fail "without a sound device: exit status $show_status after SIGINT"
notices=$(grep -c "No sound device.*; the show plays silent\.$" "$work/show.log" || true)
[[ $notices -eq 1 ]] || fail "without a sound device: $notices notices, expected one"
echo "no sound device: the show played silent, \"$(grep "No sound device" "$work/show.log")\", status 0"
