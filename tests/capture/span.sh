#!/usr/bin/env bash
# A 2 s span of scene 2 at 60 fps: one H.264 and one AAC stream that start
# together, 800 x 600, 120 frames, 2 s; frames taken back out of the video
# match the frame tool's pictures of the same moments; the sound is the Ogg's
# over the same span.
source "$(dirname "$0")/lib.bash"

video="$work/span.mp4"
"$capture" --from 31 --to 33 "$video" 2>"$work/capture.log" || fail "capture status $?"

[[ "$(probe "$video" stream=codec_type | sort | tr '\n' ' ')" == "audio video " ]] ||
  fail "streams: $(probe "$video" stream=codec_type | tr '\n' ' ')"
[[ "$(probe "$video" stream=codec_name | tr '\n' ' ')" == "h264 aac " ]] || fail "codecs"
[[ "$(probe "$video" stream=width,height,pix_fmt -select_streams v | tr '\n' ' ')" == "800 600 yuv420p " ]] ||
  fail "picture: $(probe "$video" stream=width,height,pix_fmt | tr '\n' ' ')"
count=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$video")
(( count >= 119 && count <= 121 )) || fail "$count video frames, not 120 ± 1"
duration=$(probe "$video" format=duration)
awk -v d="$duration" 'BEGIN { exit !(d >= 2 - 1/60 && d <= 2 + 1/60) }' || fail "duration $duration s"
starts=$(probe "$video" stream=start_time | tr '\n' ' ')
awk -v s="$starts" 'BEGIN { split(s, t, " "); d = t[1] - t[2]; exit !(d < 0.001 && d > -0.001) }' ||
  fail "picture and sound start apart: $starts"
echo "streams, size, $count frames, $duration s: as asked"

# Frame n shows show time 31 + n / 60: frames 30, 60 and 105 are 31.5, 32 and 32.75 s.
"$frames" --at 31.5 --at 32 --at 32.75 --out "$work/frames" >"$work/frames.log" || fail "frame tool"
for pair in "30 031.500" "60 032.000" "105 032.750"; do
  set -- $pair
  reference=$(ls "$work"/frames/show$2_*.png)
  yuv=$(psnr_video_yuv "$video" "$1" "$reference")
  frame_png "$video" "$1" "$work/frame$1.png"
  rgb=$(psnr_rgb "$work/frame$1.png" "$reference")
  at_least "$yuv" 40 || fail "frame $1 (show time $2 s): PSNR $yuv dB against the frame tool's picture"
  echo "frame $1 (show time $2 s): PSNR $yuv dB in the video's 4:2:0 colours, $rgb dB back in RGB"
done

sound_raw "$video" "$work/captured.raw"
sound_raw "$music" "$work/music.raw" 31 2
read -r level correlation < <(compare_sound "$work/captured.raw" "$work/music.raw" 0 2)
awk -v l="$level" -v c="$correlation" 'BEGIN { exit !(l != "silent" && l <= 0.5 && l >= -0.5 && c >= 0.99) }' ||
  fail "sound against the Ogg: level $level dB, correlation $correlation"
echo "sound against the Ogg over 31..33 s: level $level dB, correlation $correlation"
