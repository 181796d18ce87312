#!/usr/bin/env bash
# SIGINT, and likewise SIGTERM, stop a capture and still finish the file: it
# plays, holds the frames made before the signal and its sound as long, and
# the tool's status says it was cut short (3).
source "$(dirname "$0")/lib.bash"

for signal in INT TERM; do
  video="$work/cut-$signal.mp4"
  "$capture" --scene 2 "$video" 2>"$work/capture-$signal.log" &
  capture_pid=$!
  # Wait for the first frames (the progress shows them), then a little more.
  for _ in $(seq 300); do
    grep -q "of 1530 frames" "$work/capture-$signal.log" 2>/dev/null && break
    sleep 0.1
  done
  sleep 1.5
  kill -"$signal" "$capture_pid"
  status=0
  wait "$capture_pid" || status=$?
  capture_pid=""
  [[ $status -eq 3 ]] || fail "status $status after SIG$signal, not 3"
  held=$(sed -n 's/.*holds the first \([0-9]*\) frames.*/\1/p' "$work/capture-$signal.log")
  [[ -n "$held" && "$held" -gt 0 ]] || fail "no frames said to be kept after SIG$signal"
  duration=$(probe "$video" format=duration)
  count=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$video")
  [[ "$count" -eq "$held" ]] || fail "the file has $count frames, the tool said $held"
  audio=$(probe "$video" stream=duration -select_streams a)
  awk -v d="$duration" -v a="$audio" -v n="$held" \
    'BEGIN { exit !(d > 0 && a >= n / 60 - 0.03 && a <= n / 60 + 0.03) }' ||
    fail "after SIG$signal: duration $duration s, sound $audio s for $held frames"
  echo "SIG$signal: status 3, a playable file of $count frames, $duration s (sound $audio s)"
done
