#!/usr/bin/env bash
# The whole show, played to its end in a window: all eight scenes, 198 s of
# them, then status 0. With LANTERNFAY_STATS=1 the program reports when each
# scene started: every one within 15 ms of its place on the music's timeline. The recorded sound has the music playing through the
# show and fading out in the last scene, so that its last moments are silent.
# (The music fades from 12 s into the 15 s scene, over 1.3 s: about 1.7 s of
# silence in real time. SDL's disk writer falls a little behind real time on a
# busy machine, which shortens that; the last second is silent in any case.)
#
# Two more shows play beside it, with no display, to reach the end of the
# last scene without another 198 s each: one is stopped by SIGINT while its
# music fades out, and must end within 2 s with status 0; the other has a
# sound device that runs slower than real time (SDL's disk driver at its
# own pace), so its music is still fading when the show ends, and it must
# exit within 2 s of the end with status 0.
source "$(dirname "$0")/lib.bash"
run_under_xvfb "$@"

# beside NAME AUDIO_DELAY : plays the show, at the lowest priority so that
# the show whose timing is measured keeps the processors, with no display and the disk
# driver (AUDIO_DELAY ms per buffer; empty: the driver's own pace), in the
# background; $work/NAME.pid holds its process id and, once it has ended,
# $work/NAME.end its status and the time.
beside() {
  local name=$1 delay=$2
  ( cd "$build_dir"
    nice -n 19 env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/$name.raw" \
      ${delay:+SDL_DISKAUDIODELAY=$delay} "$program" window >"$work/$name.log" 2>&1 &
    echo $! >"$work/$name.pid"
    status=0
    wait $! || status=$?
    echo "$status $(now_ms)" >"$work/$name.end" ) >/dev/null 2>&1 &
}
# The moment a show's music started: when its disk driver made the file.
music_start() {
  local deadline=$(( $(now_ms) + 60000 ))
  until [[ -e "$work/$1.raw" ]]; do
    (( $(now_ms) < deadline )) || fail "$1: no sound after 60 s"
    sleep 0.01
  done
  now_ms
}
# ended NAME SECONDS : waits for a show beside to end; prints "status time".
ended() {
  local deadline=$(( $(now_ms) + $2 * 1000 ))
  until [[ -s "$work/$1.end" ]]; do
    (( $(now_ms) < deadline )) || fail "$1: still running"
    sleep 0.02
  done
  cat "$work/$1.end"
}
sender=""
beside_pids() { cat "$work"/fading.pid "$work"/slow.pid 2>/dev/null || true; }
trap 'kill -KILL $(beside_pids) $sender 2>/dev/null || true; cleanup' EXIT
beside fading 46
beside slow ""
fading_start=$(music_start fading)
slow_start=$(music_start slow)
# Scene 8 runs from 183 s; its music fades from position 800 (195 s) over
# 1.3 s: the interrupt comes in the middle of that.
( until_ms=$(( fading_start + 195600 ))
  while (( $(now_ms) < until_ms )); do sleep 0.05; done
  kill -INT "$(cat "$work/fading.pid")"
  now_ms >"$work/fading.sent" ) >/dev/null 2>&1 &
sender=$!

# SDL's disk driver writes the mixed sound to a file; its pause per 2048-frame
# buffer (46 ms, the buffer's own length) keeps it in step with the clock.
audio="$work/audio.raw"
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" SDL_DISKAUDIODELAY=46
export LANTERNFAY_STATS=1

started=$(now_ms)
start_show "$build_dir" window
wait_window 20 >/dev/null
wait_show $((198 + 25))
took=$(( $(now_ms) - started ))
[[ $show_status -eq 0 ]] || fail "exit status $show_status at the end of the show"
(( took >= 198000 )) || fail "the show ended after $took ms, before its 198 s"
echo "the show played to its end in $took ms (198 s of scenes and start-up), status 0"

# The statistics table: one row per scene; its last column is how late the
# scene started against its place on the timeline.
cat "$work/show.log"
rows=$(awk '$1 ~ /^[1-8]$/ && NF == 9' "$work/show.log" | wc -l)
[[ $rows -eq 8 ]] || fail "the statistics name $rows scenes, not 8"
awk '$1 ~ /^[1-8]$/ && NF == 9 && ($9 < -15 || $9 > 15) { print "scene " $1 " started " $9 " ms off its place"; bad = 1 }
     END { exit bad }' "$work/show.log" || fail "a scene started more than 15 ms off the timeline"
awk '$1 ~ /^[1-8]$/ && NF == 9 && $2 < 1 { bad = 1 } END { exit bad }' "$work/show.log" ||
  fail "a scene drew no frame"

# The recording: raw signed 16-bit little-endian stereo at 44100 Hz.
[[ -s "$audio" ]] || fail "no sound was recorded"
bytes=$(stat -c %s "$audio")
seconds=$(awk -v b="$bytes" 'BEGIN { printf "%.2f", b / 4 / 44100 }')
level() {   # level START LENGTH MEASURE : "RMS" or "Maximum" amplitude (0..1) of a stretch
  sox -t raw -r 44100 -e signed-integer -b 16 -c 2 -L "$audio" -n trim "$1" "$2" stat 2>&1 |
    awk -v m="$3" '$0 ~ "^" m " +amplitude" { print $NF }'
}
middle=$(awk -v s="$seconds" 'BEGIN { printf "%.2f", s / 2 - 5 }')
before_fade=$(awk -v s="$seconds" 'BEGIN { printf "%.2f", s - 6.5 }')
last=$(awk -v s="$seconds" 'BEGIN { printf "%.2f", s - 1 }')
loud_middle=$(level "$middle" 10 RMS)
loud_late=$(level "$before_fade" 2 RMS)
quiet_end=$(level "$last" 1 Maximum)
echo "sound: ${seconds} s recorded; RMS ${loud_middle} in the middle, ${loud_late} 5 s before the end; peak ${quiet_end} in the last second"
awk -v v="$loud_middle" 'BEGIN { exit !(v > 0.01) }' || fail "the music is not playing in the middle of the show"
awk -v v="$loud_late" 'BEGIN { exit !(v > 0.01) }' || fail "the music has stopped before the last scene's fade"
awk -v v="$quiet_end" 'BEGIN { exit !(v < 0.001) }' || fail "the music has not faded out at the end of the show"

# The show stopped while its music faded out.
read -r fading_status fading_end < <(ended fading 10)
fading_took=$(( fading_end - $(cat "$work/fading.sent") ))
[[ $fading_status -eq 0 ]] || fail "stopped during the music's fade: exit status $fading_status"
(( fading_took <= 2000 )) || fail "stopped during the music's fade: it took $fading_took ms to end"
echo "SIGINT during the last scene's music fade: ended in $fading_took ms, status 0"
# The show whose sound device runs slower than real time, played to its end.
read -r slow_status slow_end < <(ended slow 30)
slow_after=$(( slow_end - slow_start - 198000 ))
[[ $slow_status -eq 0 ]] || fail "slow sound device: exit status $slow_status"
(( slow_after <= 2000 )) || fail "slow sound device: exited $slow_after ms after the end of the show"
echo "sound device slower than real time: exited $slow_after ms after the show's end, status 0"
