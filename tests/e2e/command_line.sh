#!/usr/bin/env bash
# --help and --version, as a person types them anywhere: the usage (what the
# show is, `window`, Escape, the environment, where the data is read from)
# or the version on standard output, nothing on standard error, status 0,
# with no display, no video driver chosen and no data folder in sight: the
# program must answer before SDL starts (SDL would fail without a display).
source "$(dirname "$0")/lib.bash"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
[[ -n "$version" ]] || fail "no version in $build_dir/CMakeCache.txt"

answer() {   # answer ARGUMENT : runs the program with it; sets status, out, err
  status=0
  (cd "$work" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER \
    timeout 10 "$program" "$1") >"$work/out.log" 2>"$work/err.log" || status=$?
  out=$(cat "$work/out.log") err=$(cat "$work/err.log")
  [[ $status -eq 0 ]] || fail "$1: exit status $status"
  [[ -z "$err" ]] || fail "$1: wrote to standard error"
}

answer --version
[[ "$out" == "lanternfay $version" ]] || fail "--version printed \"$out\", expected \"lanternfay $version\""
echo "--version: \"$out\", status 0"

for argument in --help -h; do
  answer "$argument"
  [[ "$(head -n 1 <<<"$out")" == "lanternfay $version: "* ]] || fail "$argument: the first line does not name the version"
  for word in "usage: lanternfay [window]" Escape LANTERNFAY_STATS=1 "LANTERNFAY_SCALE=smooth|sharp" data/; do
    grep -qF -- "$word" <<<"$out" || fail "$argument: the usage does not mention $word"
  done
  echo "$argument: $(wc -l <<<"$out") lines of usage, status 0"
done
