#!/usr/bin/env bash
# The golden digests: renders 32 moments of the show (four per scene: inside
# the fade-in, two in the middle, inside the fade-out) with the frame tool at
# one frame per 50 ms of show time, dumps every precalculated table with
# lanternfay-tables, and compares the SHA-256 of each frame's pixels and of
# each table with tests/golden/digests.txt. Any difference fails: the fast
# paths must draw exactly what the plain code draws.
#   tests/golden/golden.sh BUILD            compare (the CTest test golden_digests)
#   tests/golden/golden.sh BUILD --update   rewrite digests.txt (scripts/update-golden.sh)
# A cross build's programs run through LANTERNFAY_EMULATOR (its words, such as
# "qemu-aarch64 -L ROOT"; CTest sets it for such a build).
#
# When to update: only when the generated data changes (the data generator's
# pictures, meshes or music) or a picture is changed on purpose, and then from
# a build whose pictures have been looked at. Never to make a difference go
# away that nobody meant: find the change that caused it instead.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "$1")
mode=${2:-compare}
digests=$here/digests.txt
out=$build/golden
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-dummy} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

tool() { find "$build/tools" "$build/tests" -name "$1" -type f -perm -u+x | head -n 1; }
frames=$(tool lanternfay-frames) tables=$(tool lanternfay-tables) pixels=$(tool lanternfay-png-pixels)
read -ra emulator <<<"${LANTERNFAY_EMULATOR:-}"
for program in "$frames" "$tables" "$pixels"; do
  [[ -n "$program" ]] || { echo "FAIL: build the frame tool, lanternfay-tables and lanternfay-png-pixels first"; exit 1; }
done

# Show time in seconds; the scenes start at 0, 30.5, 56, 81, 101, 121, 153 and 183.
moments=(0.4 10 20 30.2  30.9 40 50 55.7  56.4 65 75 80.7  81.4 88 95 100.7
         101.4 108 115 120.7  121.4 133 145 152.7  153.4 163 173 182.7  183.4 188 193 197.7)
at=()
for moment in "${moments[@]}"; do at+=(--at "$moment"); done

rm -rf "$out"
mkdir -p "$out/frames" "$out/tables"
(cd "$build" && "${emulator[@]}" "$frames" "${at[@]}" --cadence 50 --out "$out/frames") >"$out/frames.log" 2>&1 ||
  { cat "$out/frames.log"; echo "FAIL: the frame tool"; exit 1; }
(cd "$build" && "${emulator[@]}" "$tables" "$out/tables") >"$out/tables.log" 2>&1 ||
  { cat "$out/tables.log"; echo "FAIL: the table dump"; exit 1; }

# One line per file: "SHA-256 NAME", frames by their pixels, tables as dumped.
{
  for file in "$out"/frames/*.png; do
    echo "$("${emulator[@]}" "$pixels" "$file" | sha256sum | cut -d' ' -f1) frames/$(basename "$file")"
  done
  for file in "$out"/tables/*; do
    echo "$(sha256sum <"$file" | cut -d' ' -f1) tables/$(basename "$file")"
  done
} | LC_ALL=C sort -k2 >"$out/digests.txt"
count=$(wc -l <"$out/digests.txt")
frame_count=$(grep -c ' frames/' "$out/digests.txt" || true)
[[ $frame_count -eq ${#moments[@]} ]] ||
  { echo "FAIL: $frame_count frames written for ${#moments[@]} moments"; exit 1; }

if [[ "$mode" == --update ]]; then
  cp "$out/digests.txt" "$digests"
  echo "recorded $count digests in $digests"
  exit 0
fi
if diff -u "$digests" "$out/digests.txt" >"$out/difference.txt"; then
  echo "all $count digests match"
  exit 0
fi
echo "FAIL: digests differ from $digests (- recorded, + now):"
grep '^[-+][0-9a-f]' "$out/difference.txt" || true
echo "the frames and tables are in $out"
exit 1
