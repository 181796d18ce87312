#!/usr/bin/env bash
# Renders the same 24 moments of the show (three per scene: after the fade-in,
# the middle, inside the fade-out) and dumps every precalculated table with
# the native, the Linux i386, the Windows (under wine) and the Linux 64-bit
# ARM (under qemu-aarch64, with the unpacked arm64 libraries of
# LANTERNFAY_AARCH64_ROOT, by default build-aarch64-root/) builds, and
# compares each cross build with the native one entry by entry and pixel by
# pixel.
# Windows' C library draws other random numbers, so its frame tool is also
# run as built with the GNU C library's sequence (tests/cross/glibc_random.c):
# that variant must match in every scene.
#   tests/cross/compare_builds.sh NATIVE_BUILD I386_BUILD WIN32_BUILD [AARCH64_BUILD]
# (I386_BUILD empty: not rendered, on a machine that runs no i386 program.)
# Every difference is printed. The test fails when a file differs that
# tests/cross/expected-differences.txt does not name with its reason, or when
# a build cannot render or dump at all.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
native=$(realpath "$1") i386=${2:+$(realpath "$2")} win32=$(realpath "$3") aarch64=${4:+$(realpath "$4")}
aarch64_root=$(realpath -m "${LANTERNFAY_AARCH64_ROOT:-$here/../../build-aarch64-root}")
compare=$native/tests/cross/lanternfay-compare
out=$native/cross-compare
rm -rf "$out"
mkdir -p "$out"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
# shellcheck source=tests/cross/wine.bash
source "$here/wine.bash"

# Show time in seconds; the scenes start at 0, 30.5, 56, 81, 101, 121, 153 and 183.
moments=(3 15 28  32 43 53  58 68 78  83 91 99  103 111 119  124 137 150  156 168 180  185 190 196)
at=()
for moment in "${moments[@]}"; do at+=(--at "$moment"); done
# One frame per 50 ms of show time instead of every 5 ms (about 4000 frames
# instead of 40000): the same for every build, so the pictures must still agree.
cadence=(--cadence 50)

render() {   # render NAME BUILD FRAME-TOOL RUNNER... : frames and tables of one build into $out/NAME
  local name=$1 build=$2 frames=$3
  shift 3
  mkdir -p "$out/$name/frames" "$out/$name/tables"
  (cd "$build" && "$@" "$frames" "${at[@]}" "${cadence[@]}" --out "$out/$name/frames") \
    >"$out/$name/frames.log" 2>&1 || { cat "$out/$name/frames.log"; echo "FAIL: $name frame tool"; return 1; }
  [[ "$frames" == lanternfay-frames ]] || return 0
  (cd "$build" && "$@" lanternfay-tables "$out/$name/tables") >"$out/$name/tables.log" 2>&1 ||
    { cat "$out/$name/tables.log"; echo "FAIL: $name table dump"; return 1; }
}
native_run() { local tool=$1; shift; "$native/$(cd "$native" && find tools tests/cross -name "$tool" -type f | head -n 1)" "$@"; }
i386_run() { local tool=$1; shift; "$i386/$(cd "$i386" && find tools tests/cross -name "$tool" -type f | head -n 1)" "$@"; }
aarch64_run() {
  local tool=$1; shift
  qemu-aarch64 -L "$aarch64_root" "$aarch64/$(cd "$aarch64" && find tools tests/cross -name "$tool" -type f | head -n 1)" "$@"
}
win32_run() {
  local tool=$1; shift
  win32_wine "$win32/$(cd "$win32" && find tools tests/cross -name "$tool.exe" -type f | head -n 1)" "$@"
}

# The native and i386 runs share the two cores; wine's comes after them.
render native "$native" lanternfay-frames native_run & native_pid=$!
status=0
if [[ -n "$2" ]]; then
  render i386 "$i386" lanternfay-frames i386_run || status=1
fi
wait $native_pid || status=1
# Wine needs the kernel's own 32-bit support (tests/cross/x86_32.bash).
if [[ ${LANTERNFAY_X86_32:-native} == native ]]; then
  win32_prepare "$win32"
  win32_start_services
  render win32 "$win32" lanternfay-frames win32_run || status=1
  render win32-glibc-random "$win32" lanternfay-frames-glibc-random win32_run || status=1
else
  echo "win32: not rendered, this kernel runs no 32-bit x86 program itself (wine needs that)"
fi
# The emulated ARM build is the slowest: alone on the cores.
if [[ -n "${4:-}" ]]; then
  render aarch64 "$aarch64" lanternfay-frames aarch64_run || status=1
fi
[[ $status -eq 0 ]] || exit 1

# Allowed differences: lines "TARGET PATTERN  reason" (bash patterns on the file name).
allowed() {   # allowed TARGET FILE : prints the reason when listed
  local target=$1 file=$2 t pattern reason
  while read -r t pattern reason; do
    [[ -z "$t" || "$t" == \#* ]] && continue
    # shellcheck disable=SC2053
    [[ "$t" == "$target" && "$file" == $pattern ]] && { echo "$reason"; return 0; }
  done <"$here/expected-differences.txt"
  return 1
}

failed=0
for target in i386 win32 win32-glibc-random aarch64; do
  for kind in frames tables; do
    [[ -d "$out/$target/$kind" && -n "$(ls -A "$out/$target/$kind")" ]] || continue
    "$compare" "$out/native/$kind" "$out/$target/$kind" >"$out/$target-$kind.txt" || {
      cat "$out/$target-$kind.txt"; echo "FAIL: $target $kind could not be compared"; failed=1; continue; }
    total=$(wc -l <"$out/$target-$kind.txt")
    same=$(grep -c ' identical$' "$out/$target-$kind.txt" || true)
    echo "$target vs native, $kind: $same of $total bit-identical"
    while read -r file verdict; do
      [[ "$verdict" == identical ]] && continue
      if reason=$(allowed "$target" "$file"); then
        echo "  $file $verdict"
        echo "    (expected: $reason)"
      else
        echo "  $file $verdict"
        echo "    FAIL: not an expected difference (tests/cross/expected-differences.txt)"
        failed=1
      fi
    done <"$out/$target-$kind.txt"
  done
done
echo "the pictures and dumps are in $out"
exit $failed
