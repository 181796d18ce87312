#!/usr/bin/env bash
# "window" opens an 800 x 600 window named after the show, and Escape pressed
# in it ends the show within a second with status 0.
source "$(dirname "$0")/lib.bash"
run_under_xvfb "$@"
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" SDL_DISKAUDIODELAY=46

start_show "$build_dir" window
window=$(wait_window 20)
geometry=$(xdotool getwindowgeometry "$window")
grep -q "Geometry: 800x600" <<<"$geometry" || fail "window geometry is not 800x600: $geometry"

wait_started 3
xdotool windowfocus --sync "$window"
sent=$(now_ms)
xdotool key Escape
wait_show 5
took=$(( $(now_ms) - sent ))
[[ $show_status -eq 0 ]] || fail "exit status $show_status after Escape"
(( took <= 1000 )) || fail "the show took $took ms to end after Escape"
echo "window 800x600; Escape ended the show in $took ms with status 0"
