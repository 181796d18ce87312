#!/usr/bin/env bash
# The other forms: lossless RGB H.264 whose frames are the frame tool's
# pictures pixel for pixel; VP9 and Opus in WebM; a picture scaled to 4:3
# at another height.
source "$(dirname "$0")/lib.bash"

video="$work/lossless.mkv"
"$capture" --lossless --from 31 --to 31.5 "$video" 2>"$work/lossless.log" || fail "lossless: status $?"
"$frames" --at 31 --at 31.25 --at 31.4833 --out "$work/frames" >"$work/frames.log" || fail "frame tool"
# Frames 0, 15 and 29 show 31, 31.25 and 31.4833 s (the frame tool takes
# whole milliseconds: 31.483 s lies in the same 5 ms tick as 31 + 29/60).
for pair in "0 031.000" "15 031.250" "29 031.483"; do
  set -- $pair
  frame_png "$video" "$1" "$work/lossless$1.png"
  psnr=$(psnr_rgb "$work/lossless$1.png" "$(ls "$work"/frames/show$2_*.png)")
  [[ "$psnr" == "inf" ]] || fail "lossless frame $1: PSNR $psnr dB, not an exact copy"
done
echo "lossless: frames 0, 15 and 29 equal the frame tool's pictures"

video="$work/small.webm"
"$capture" --from 31 --to 31.5 --fps 10 --height 240 "$video" 2>"$work/webm.log" || fail "webm: status $?"
[[ "$(probe "$video" stream=codec_name | tr '\n' ' ')" == "vp9 opus " ]] || fail "webm: codecs"
[[ "$(probe "$video" stream=width,height -select_streams v | tr '\n' ' ')" == "320 240 " ]] || fail "webm: size"
count=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$video")
[[ "$count" -eq 5 ]] || fail "webm: $count frames, not 5"
echo "webm: VP9 and Opus, 320 x 240, $count frames"

video="$work/tall.mp4"
"$capture" --from 31 --to 31.2 --fps 10 --height 1080 "$video" 2>"$work/tall.log" || fail "1080: status $?"
[[ "$(probe "$video" stream=width,height,color_space -select_streams v | tr '\n' ' ')" == "1440 1080 bt709 " ]] ||
  fail "1080: $(probe "$video" stream=width,height,color_space -select_streams v | tr '\n' ' ')"
echo "--height 1080: 1440 x 1080, BT.709"
