#!/usr/bin/env bash
# Over the last scene's fade request: the sound is the Ogg's before it and
# falls silent about 1.3 s after it (SDL_mixer's steps, one mixer buffer each).
source "$(dirname "$0")/lib.bash"

video="$work/fade.mp4"
"$capture" --from 194 --to 197.5 --fps 30 "$video" 2>"$work/capture.log" || fail "capture status $?"
request=$(sed -n 's/.*the music fades out from show time \([0-9.]*\) s.*/\1/p' "$work/capture.log")
[[ -n "$request" ]] || fail "no fade request seen"
awk -v r="$request" 'BEGIN { exit !(r > 194.3 && r < 196.0) }' || fail "fade asked at $request s, outside the span's test window"
at=$(awk -v r="$request" 'BEGIN { print r - 194 }')   # the request, in seconds of the span

sound_raw "$video" "$work/captured.raw"
sound_raw "$music" "$work/music.raw" 194 3.5
read -r level correlation < <(compare_sound "$work/captured.raw" "$work/music.raw" 0 "$(awk -v a="$at" 'BEGIN { print a - 0.05 }')")
awk -v l="$level" -v c="$correlation" 'BEGIN { exit !(l != "silent" && l <= 0.5 && l >= -0.5 && c >= 0.99) }' ||
  fail "before the request: level $level dB, correlation $correlation against the Ogg"
# Still audible, and quieter than the Ogg, half-way through; silent from
# 1.45 s on, while the Ogg itself still plays.
mid_captured=$(rms "$work/captured.raw" "$(awk -v a="$at" 'BEGIN { print a + 0.6 }')" "$(awk -v a="$at" 'BEGIN { print a + 0.7 }')")
mid_music=$(rms "$work/music.raw" "$(awk -v a="$at" 'BEGIN { print a + 0.6 }')" "$(awk -v a="$at" 'BEGIN { print a + 0.7 }')")
awk -v c="$mid_captured" -v m="$mid_music" 'BEGIN { exit !(c > 0.2 * m && c < 0.8 * m) }' ||
  fail "0.6 s into the fade: level $mid_captured against the Ogg's $mid_music"
late_captured=$(rms "$work/captured.raw" "$(awk -v a="$at" 'BEGIN { print a + 1.45 }')" 3.5)
late_music=$(rms "$work/music.raw" "$(awk -v a="$at" 'BEGIN { print a + 1.45 }')" 3.5)
awk -v c="$late_captured" -v m="$late_music" 'BEGIN { exit !(c < 2 && m > 500) }' ||
  fail "1.45 s after the request: level $late_captured (the Ogg: $late_music), not silence"
# Not silent too early: 1.2 s after the request something still sounds.
early=$(rms "$work/captured.raw" "$(awk -v a="$at" 'BEGIN { print a + 1.15 }')" "$(awk -v a="$at" 'BEGIN { print a + 1.25 }')")
awk -v c="$early" 'BEGIN { exit !(c > 2) }' || fail "silent already 1.15 s after the request"
echo "fade asked at $request s: before it level $level dB, correlation $correlation; 0.6 s on $mid_captured" \
     "(Ogg $mid_music); 1.2 s on $early; from 1.45 s on $late_captured (Ogg $late_music)"
