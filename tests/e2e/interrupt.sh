#!/usr/bin/env bash
# An interrupt signal (or SIGTERM) ends the show in the same orderly way as
# Escape: within a second, status 0. One sent while the show is still loading (the window is
# open, the preparation not yet done) ends it just as well, with status 0.
source "$(dirname "$0")/lib.bash"
run_under_xvfb "$@"
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" SDL_DISKAUDIODELAY=46

for signal in INT TERM; do
  start_show "$build_dir" window
  wait_window 20 >/dev/null
  wait_started 3
  sent=$(now_ms)
  kill "-$signal" "$show_pid"
  wait_show 5
  took=$(( $(now_ms) - sent ))
  [[ $show_status -eq 0 ]] || fail "exit status $show_status after SIG$signal during a scene"
  (( took <= 1000 )) || fail "the show took $took ms to end after SIG$signal"
  echo "SIG$signal during scene 1 ended the show in $took ms with status 0"
done

# During start-up: right after the window appears the show is still loading.
start_show "$build_dir" window
wait_window 20 >/dev/null
kill -INT "$show_pid"
wait_show 10
[[ $show_status -eq 0 ]] || fail "exit status $show_status after SIGINT during start-up"
echo "SIGINT during start-up ended the show with status 0"
