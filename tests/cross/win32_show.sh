#!/usr/bin/env bash
# The Windows program under wine, as a person would start it from its
# unpacked folder: it opens full screen on a 1024 x 768 desktop (SDL's
# 800 x 600 picture centred in it, on a display surface whose rows are 1024
# pixels apart), draws the show, and Escape ends it with status 0 within a
# second, on a desktop with a window manager (openbox), as a viewer has one.
# (Without one, wine's X11 driver waits up to 2 s each time it hides a
# full-screen window for the window manager's WM_STATE that never comes:
# wait_for_withdrawn_state in dlls/winex11.drv/event.c, from unmap_window.
# That is where the 4 s after Escape came from, not the program.)
#   tests/cross/win32_show.sh FOLDER WINE_HOME [SCREENSHOT.png]
# FOLDER holds lanternfay.exe and data/; WINE_HOME/wine is the wine prefix;
# the screenshot (default FOLDER/win32-screen.png) shows what was checked.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
folder=$(realpath "$1") wine_home=$(realpath "$2")
screenshot=$(realpath -m "${3:-$folder/win32-screen.png}")
if [[ -z "${LANTERNFAY_CROSS_DISPLAY:-}" ]]; then
  export LANTERNFAY_CROSS_DISPLAY=1
  exec xvfb-run --auto-servernum --server-num=$((100 + $$ % 800)) \
    --server-args="-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi
# shellcheck source=tests/cross/wine.bash
source "$here/wine.bash"
work=$(mktemp -d)
show_pid=""
openbox_pid=""
cleanup() {
  [[ -n "$show_pid" ]] && kill -KILL "$show_pid" 2>/dev/null
  [[ -n "$openbox_pid" ]] && kill "$openbox_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/show.log" >&2 2>/dev/null; exit 1; }
now_ms() { date +%s%3N; }
convert=/usr/bin/convert

win32_prepare "$wine_home"
# Wine's desktop process learns the display when it starts: one left running
# by a run without a display (the frame tools) would keep this window from
# covering the screen. Start afresh inside this display.
wineserver -k 2>/dev/null || true
wineserver -w
win32_start_services
openbox >"$work/openbox.log" 2>&1 &
openbox_pid=$!
deadline=$(( $(now_ms) + 10000 ))
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
  (( $(now_ms) < deadline )) || fail "the window manager did not start within 10 s"
  sleep 0.1
done
# SDL's own Windows drivers for the picture; DirectSound finds no device here.
unset SDL_VIDEODRIVER
export SDL_AUDIODRIVER=dummy

(cd "$folder" && exec wine ./lanternfay.exe) >"$work/show.log" 2>&1 &
show_pid=$!

# Wine's first start in a prefix takes about ten seconds.
deadline=$(( $(now_ms) + 60000 ))
window=""
while [[ -z "$window" ]]; do
  (( $(now_ms) < deadline )) || fail "no window named \"Quillfrost Lanternfay\" within 60 s"
  kill -0 "$show_pid" 2>/dev/null || fail "the program ended before its window appeared"
  window=$(xdotool search --name "^Quillfrost Lanternfay$" 2>/dev/null | head -n 1 || true)
  sleep 0.2
done
# The window appears at the mode's size and then covers the desktop.
deadline=$(( $(now_ms) + 10000 ))
until geometry=$(xdotool getwindowgeometry "$window" 2>&1) && grep -q "Geometry: 1024x768" <<<"$geometry"; do
  (( $(now_ms) < deadline )) || fail "not full screen on the 1024x768 desktop within 10 s: $geometry"
  sleep 0.2
done
echo "window \"Quillfrost Lanternfay\" covers the desktop (1024x768)"

# Wait for a picture: everything drawn must lie in one 800 x 600 block. A
# picture written with rows 800 pixels apart on this 1024-pixel-wide surface
# would slant across the whole width. The first seconds are the fade-in.
sleep 3
deadline=$(( $(now_ms) + 30000 ))
while :; do
  (( $(now_ms) < deadline )) || fail "nothing drawn within 30 s"
  kill -0 "$show_pid" 2>/dev/null || fail "the program ended early"
  xwd -root -silent >"$work/screen.xwd"
  box=$("$convert" "$work/screen.xwd" -trim -format '%w %h %X %Y %[fx:maxima]' info: 2>/dev/null || true)
  read -r width height left top brightest <<<"$box"
  [[ -n "${brightest:-}" ]] && awk -v b="$brightest" 'BEGIN { exit !(b > 0) }' && (( width > 100 )) && break
  sleep 1
done
"$convert" "$work/screen.xwd" "$screenshot" 2>/dev/null || true
(( width <= 800 && height <= 600 )) ||
  fail "the picture spans ${width}x${height} at ${left},${top}: rows are not stepped by the surface's pitch"
echo "the picture lies in ${width}x${height} at ${left},${top} (screenshot: $screenshot)"

xdotool windowfocus --sync "$window" 2>/dev/null || true
sent=$(now_ms)
xdotool key Escape
deadline=$(( sent + 15000 ))
while kill -0 "$show_pid" 2>/dev/null; do
  (( $(now_ms) < deadline )) || fail "still running 15 s after Escape"
  sleep 0.05
done
status=0
wait "$show_pid" || status=$?
show_pid=""
took=$(( $(now_ms) - sent ))
[[ $status -eq 0 ]] || fail "exit status $status after Escape"
# The aim is half a second; the limit leaves room for wine's teardown of
# the process on a shared, loaded machine, and still catches the 4 s.
(( took <= 1000 )) || fail "Escape took $took ms to end the program (at most 1000 ms)"
echo "Escape ended the Windows program in $took ms with status 0"
