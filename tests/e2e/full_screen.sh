#!/usr/bin/env bash
# Full screen on a display larger than the show: on a 1920 x 1080 screen
# under a window manager, with sdl12-compat the show's window covers the
# whole display (the library scales the 800 x 600 picture to it, 4:3 kept),
# and Escape still ends the show with status 0. Classic SDL 1.2 can only
# switch video modes, which a virtual display does not have: skipped there.
e2e_screen=1920x1080x24
source "$(dirname "$0")/lib.bash"
run_under_xvfb "$@"
if ! on_sdl12_compat; then
  echo "SKIP: classic SDL 1.2 scales nothing; run under sdl12-compat (scripts/test.sh compat)"
  exit 77
fi
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy

openbox >"$work/openbox.log" 2>&1 &
deadline=$(( $(now_ms) + 10000 ))
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
  (( $(now_ms) < deadline )) || fail "the window manager did not start within 10 s"
  sleep 0.1
done

start_show "$build_dir"
window=$(wait_window 20)
wait_started 3
geometry=$(xdotool getwindowgeometry "$window")
echo "$geometry"
[[ "$geometry" == *"Position: 0,0 "* && "$geometry" == *"Geometry: 1920x1080"* ]] ||
  fail "the full-screen window does not cover the 1920 x 1080 display: $geometry"

xdotool windowfocus --sync "$window" key Escape
wait_show 5
[[ $show_status -eq 0 ]] || fail "exit status $show_status after Escape"
echo "full screen under sdl12-compat covers the display (1920 x 1080); Escape ended it with status 0"
