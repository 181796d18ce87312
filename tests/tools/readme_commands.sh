#!/usr/bin/env bash
# Every command in README.md's code blocks works as written, or at least
# names programs, scripts, tests and options that exist. Each block runs from
# the top of the project, as a reader would type it; `build` is this build.
#   tests/tools/readme_commands.sh SOURCE_DIR BUILD_DIR
# How each command is tried:
#   scripts/*.sh ...          exists, is executable, parses (bash -n): the
#                             README's scripts build and play the whole show
#   cd DIR                    changes folder, as typed
#   ctest ... -R PATTERN      lists the tests (-N): at least one matches
#   a test program            runs as written: at least one test passes
#   the frame tool            runs as written, one frame a second (--cadence
#                             1000), its --out folder put in a scratch place
#   a benchmark               exists and is executable (it runs for minutes)
#   any other program         its --help, status 0 (every tool has it): a
#                             tool's own run may take as long as the show
#   cmake --install, cpack    run as written, with HOME in a scratch place
# A command of another form fails the test, so that it gets a rule here.
set -euo pipefail
source_dir=$(realpath "$1") build_dir=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: README: $*" >&2; [[ -f "$work/log" ]] && tail -20 "$work/log" >&2; exit 1; }
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy HOME=$work/home
mkdir -p "$HOME" "$work/root"
# The project as the README sees it, with this build as its build folder.
for entry in "$source_dir"/*; do ln -s "$entry" "$work/root/$(basename "$entry")"; done
rm -f "$work/root/build"
ln -s "$build_dir" "$work/root/build"

# The code blocks: lines indented by four or more spaces after a blank line
# or another such line; blocks are separated by an empty line in the output.
awk 'BEGIN { blank = 1 }
  /^[[:space:]]*$/ { if (in_block) print ""; in_block = 0; blank = 1; next }
  /^    / && (blank || in_block) { sub(/^ +/, ""); print; in_block = 1; next }
  { in_block = 0; blank = 0 }
' "$source_dir/README.md" >"$work/blocks"

checked=0
try() {   # try COMMAND-TEXT : one command, in the current folder
  local text=$1 status=0
  local -a words
  eval "words=($text)"
  local -a environment=()
  while [[ ${#words[@]} -gt 0 && "${words[0]}" == *=* ]]; do
    environment+=("${words[0]}")
    words=("${words[@]:1}")
  done
  local program=${words[0]}
  case "$program" in
    cd)
      cd "${words[1]}" || fail "cannot cd ${words[1]} (in $(pwd))" ;;
    scripts/*.sh)
      [[ -x "$program" ]] || fail "$program is not an executable script"
      bash -n "$program" || fail "$program does not parse" ;;
    ctest)
      env "${environment[@]}" ctest "${words[@]:1}" -N >"$work/log" 2>&1 || fail "$text: status $?"
      grep -qE "Total Tests: [1-9]" "$work/log" || fail "$text: no test matches" ;;
    cmake|cpack)
      env "${environment[@]}" "${words[@]}" >"$work/log" 2>&1 || fail "$text: status $?" ;;
    */lanternfay-frames)
      local -a arguments=() i
      for (( i = 1; i < ${#words[@]}; i++ )); do
        arguments+=("${words[i]}")
        [[ "${words[i]}" == --out ]] && { arguments+=("$work/frames"); i=$(( i + 1 )); }
      done
      [[ " ${arguments[*]} " == *" --help "* ]] || arguments+=(--cadence 1000)
      env "${environment[@]}" "$program" "${arguments[@]}" >"$work/log" 2>&1 || fail "$text: status $?" ;;
    */tests/test_*)
      env "${environment[@]}" "${words[@]}" >"$work/log" 2>&1 || fail "$text: status $?"
      grep -qE "^\[  PASSED  \] [1-9][0-9]* test" "$work/log" || fail "$text: no test ran" ;;
    */bench/*|*/bench_*)
      [[ -x "$program" ]] || fail "$text: no program $program (in $(pwd))" ;;
    */*)
      [[ -x "$program" ]] || fail "$text: no program $program (in $(pwd))"
      env "${environment[@]}" "$program" --help >"$work/log" 2>&1 || fail "$text: $program --help: status $?" ;;
    *)
      fail "no rule for \"$text\": add one to tests/tools/readme_commands.sh" ;;
  esac
  checked=$(( checked + 1 ))
  echo "ok: $text"
}

cd "$work/root"
while IFS= read -r line; do
  if [[ -z "$line" ]]; then
    cd "$work/root"   # the next block starts afresh
    continue
  fi
  line=${line%%  #*}          # a comment after the command
  line=${line%"${line##*[![:space:]]}"}
  # "A && B": each in turn, in the same folder.
  while [[ "$line" == *" && "* ]]; do
    try "${line%% && *}"
    line=${line#* && }
  done
  try "$line"
done <"$work/blocks"
(( checked > 0 )) || fail "no command found"
echo "all $checked README commands work"
