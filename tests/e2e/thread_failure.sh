#!/usr/bin/env bash
# When the system cannot start a scene's threads the show does not hang
# waiting for a clock that never runs: it says so, shuts down in order and
# exits with status 255. A stack limit far beyond memory makes every new
# thread's default stack impossible to map, so thread creation fails.
source "$(dirname "$0")/lib.bash"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

ulimit -s 100000000 || fail "cannot raise the stack limit to make thread creation fail"
start_show "$build_dir" window
wait_show 30
[[ $show_status -eq 255 ]] || fail "exit status $show_status, expected 255"
grep -q "A scene thread could not be started" "$work/show.log" || fail "no message"
echo "threads refused: \"$(head -n 1 "$work/show.log")\", status 255"
