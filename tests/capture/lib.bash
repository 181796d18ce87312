# lib.bash — helpers for the capture tool's tests (sourced, not a test itself).
# Each script gets the capture tool's and the frame tool's paths as $1 and $2
# and runs in the build folder, where the generated data folder lives. The
# files are checked with FFmpeg's own programs, not with the tool's code.
set -euo pipefail

capture=$(realpath "$1")
frames=$(realpath "$2")
build_dir=$(pwd)
music="$build_dir/data/lanternfay.ogg"
work=$(mktemp -d)
capture_pid=""
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

cleanup() {
  if [[ -n "$capture_pid" ]] && kill -0 "$capture_pid" 2>/dev/null; then
    kill -KILL "$capture_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do
    [[ -f "$log" ]] && { echo "--- $log" >&2; tail -20 "$log" >&2; }
  done
  exit 1
}

# probe FILE ENTRIES [OPTIONS...] : ffprobe's values, one per line (e.g.
# stream=codec_type); OPTIONS such as -select_streams v go to ffprobe.
probe() {
  ffprobe -v error "${@:3}" -show_entries "$2" -of default=noprint_wrappers=1:nokey=1 "$1"
}

# frame_png VIDEO INDEX PNG : decodes the video's frame INDEX (from 0) to a PNG.
frame_png() {
  ffmpeg -v error -y -i "$1" -vf "select=eq(n\,$2)" -frames:v 1 "$3"
}

# psnr_video_yuv VIDEO INDEX PNG : PSNR (dB) of the video's frame INDEX against
# the PNG taken to the video's own 4:2:0 BT.601 form, as a video's PSNR is
# measured: what the encoding lost, not what 4:2:0 cannot hold.
psnr_video_yuv() {
  ffmpeg -v info -i "$1" -i "$3" -lavfi "[0]select=eq(n\,$2)[v];[1]scale=out_color_matrix=bt601:out_range=tv:flags=bicubic+accurate_rnd+full_chroma_inp,format=yuv420p[r];[v][r]psnr" \
    -f null - 2>&1 | sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p'
}

# psnr_rgb A B : PSNR (dB) of two pictures in RGB ("inf" when equal).
psnr_rgb() {
  ffmpeg -v info -i "$1" -i "$2" -lavfi "[0]format=rgb24[a];[1]format=rgb24[b];[a][b]psnr" -f null - 2>&1 |
    sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p'
}

# sound_raw INPUT RAW [SECONDS_FROM SECONDS_LENGTH] : decodes INPUT's sound to
# 16-bit stereo at 44100 Hz, the whole of it or the span given.
sound_raw() {
  if [[ $# -gt 2 ]]; then
    # Cut after decoding, by sample: seeking in an Ogg file lands only near
    # the asked time (hundreds of samples off), which bright music cannot hide.
    ffmpeg -v error -y -i "$1" -vn -af "atrim=start=$3:duration=$4,asetpts=PTS-STARTPTS" \
      -f s16le -ac 2 -ar 44100 "$2"
  else
    ffmpeg -v error -y -i "$1" -vn -f s16le -ac 2 -ar 44100 "$2"
  fi
}

# compare_sound A B FROM TO : "LEVEL_DB CORRELATION" of two raw sounds over
# seconds FROM..TO (level: A's energy over B's).
compare_sound() {
  paste <(od -An -v -td2 -w2 "$1") <(od -An -v -td2 -w2 "$2") | awk -v from="$3" -v to="$4" '
    NF == 2 { t = int((NR - 1) / 2) / 44100; if (t < from || t >= to) next
              a += $1 * $1; b += $2 * $2; ab += $1 * $2 }
    END { if (a == 0 || b == 0) { print "silent 0"; exit }
          printf "%.3f %.5f\n", 10 * log(a / b) / log(10), ab / sqrt(a * b) }'
}

# rms RAW FROM TO : root mean square of a raw sound over seconds FROM..TO.
rms() {
  od -An -v -td2 -w2 "$1" | awk -v from="$2" -v to="$3" '
    { t = int((NR - 1) / 2) / 44100; if (t < from || t >= to) next; s += $1 * $1; n++ }
    END { printf "%.1f\n", n ? sqrt(s / n) : 0 }'
}

# at_least A B : true when the number A >= B ("inf" is larger than any).
at_least() {
  awk -v a="$1" -v b="$2" 'BEGIN { exit !(a == "inf" || (a + 0 >= b + 0)) }'
}
