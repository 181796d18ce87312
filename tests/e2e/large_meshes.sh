#!/usr/bin/env bash
# A grass mesh of the largest size one file may have (16,384 triangles) is
# loaded, but the blades of a scene together may hold only so many: scenes 4
# and 7 (130 and 140 blades) play at a normal frame cost and in normal
# memory, and say once that blades are left out. Played by the frame tool,
# which reaches these scenes at once.
source "$(dirname "$0")/lib.bash"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
frames_tool="$build_dir/tools/frames/lanternfay-frames"
[[ -x "$frames_tool" ]] || fail "no frame tool at $frames_tool"

mkdir -p "$work/show"
cp -r "$build_dir/data" "$work/show/data"
# A detailed blade: the show's own, each triangle cut into 256 smaller ones
# (halving its sides four times over), repeated up to the limit.
awk -v limit=16384 '
  function cut(ax, ay, az, bx, by, bz, cx, cy, cz, depth) {
    if (written >= limit) return
    if (depth == 0) { printf "%s %s %s %s %s %s %s %s %s \n", ax, ay, az, bx, by, bz, cx, cy, cz; written++; return }
    cut(ax, ay, az, (ax+bx)/2, (ay+by)/2, (az+bz)/2, (ax+cx)/2, (ay+cy)/2, (az+cz)/2, depth - 1)
    cut((ax+bx)/2, (ay+by)/2, (az+bz)/2, bx, by, bz, (bx+cx)/2, (by+cy)/2, (bz+cz)/2, depth - 1)
    cut((ax+cx)/2, (ay+cy)/2, (az+cz)/2, (bx+cx)/2, (by+cy)/2, (bz+cz)/2, cx, cy, cz, depth - 1)
    cut((ax+bx)/2, (ay+by)/2, (az+bz)/2, (bx+cx)/2, (by+cy)/2, (bz+cz)/2, (ax+cx)/2, (ay+cy)/2, (az+cz)/2, depth - 1)
  }
  { for (i = 1; i <= NF; i++) v[count++] = $i }
  END { triangles = int(count / 9)
        while (written < limit)
          for (t = 0; t < triangles; t++) {
            o = t * 9
            cut(v[o], v[o+1], v[o+2], v[o+3], v[o+4], v[o+5], v[o+6], v[o+7], v[o+8], 4)
          } }' "$build_dir/data/grass.raw" >"$work/show/data/grass.raw"
triangles=$(( $(wc -w <"$work/show/data/grass.raw") / 9 ))
[[ $triangles -eq 16384 ]] || fail "the test mesh has $triangles triangles, not 16384"

for scene in 4 7; do
  status=0
  (cd "$work/show" && exec /usr/bin/time -f "%M" -o "$work/rss.txt" "$frames_tool" --scene "$scene" --at 2 --out "$work/frames") \
    >"$work/out.log" 2>"$work/err.log" || status=$?
  [[ $status -eq 0 ]] || fail "scene $scene: exit status $status"
  notices=$(grep -c "left out" "$work/err.log" || true)
  [[ $notices -eq 1 ]] || fail "scene $scene: $notices notices of blades left out, expected one"
  line=$(grep "^scene $scene: .* frames rendered" "$work/out.log") || fail "scene $scene: no frame costs"
  mean=$(sed -n 's/.*mean \([0-9.]*\) ms.*/\1/p' <<<"$line")
  rss_mb=$(( $(tail -n 1 "$work/rss.txt") / 1024 ))
  echo "scene $scene with a grass mesh of 16384 triangles: $line; at most $rss_mb MB; \"$(head -n 1 "$work/err.log")\""
  awk -v m="$mean" 'BEGIN { exit !(m < 20) }' || fail "scene $scene: frames cost $mean ms on average, not under 20"
  (( rss_mb < 150 )) || fail "scene $scene: $rss_mb MB, not under 150"
done
