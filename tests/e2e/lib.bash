# lib.bash — helpers for the end-to-end scripts (sourced, not a test itself).
# Each script gets the program's path as $1 and runs in the build folder,
# where the generated data folder lives.
set -euo pipefail

program=$(realpath "$1")
build_dir=$(pwd)
work=$(mktemp -d)
show_pid=""

cleanup() {
  if [[ -n "$show_pid" ]] && kill -0 "$show_pid" 2>/dev/null; then
    kill -KILL "$show_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do
    [[ -f "$log" ]] && { echo "--- $log" >&2; cat "$log" >&2; }
  done
  exit 1
}

# Re-runs the calling script inside its own virtual X display, of
# $e2e_screen (default 1024x768x24). A server number of our own (not the
# shared default) keeps parallel runs apart.
run_under_xvfb() {
  if [[ -z "${LANTERNFAY_E2E_DISPLAY:-}" ]]; then
    export LANTERNFAY_E2E_DISPLAY=1
    exec xvfb-run --auto-servernum --server-num=$((100 + $$ % 800)) \
      --server-args="-screen 0 ${e2e_screen:-1024x768x24} -noreset" bash "$0" "$@"
  fi
}

# Whether the program runs on sdl12-compat (the SDL 1.2 interface over SDL2)
# rather than classic SDL 1.2.
on_sdl12_compat() {
  # SDL2 may be loaded under classic SDL too (through SDL_mixer's own
  # dependencies): look at the SDL 1.2 that is found, for sdl12-compat's settings.
  local sdl
  sdl=$(ldd "$program" | awk '$1 == "libSDL-1.2.so.0" { print $3 }')
  [[ -n "$sdl" ]] && grep -q SDL12COMPAT_ "$(readlink -f "$sdl")"
}

now_ms() { date +%s%3N; }

# start_show DIRECTORY ARGUMENTS... : plays the show in DIRECTORY in the
# background; its output goes to $work/show.log.
start_show() {
  local directory=$1
  shift
  (cd "$directory" && exec "$program" "$@") >"$work/show.log" 2>&1 &
  show_pid=$!
}

# wait_show SECONDS : waits for the show to end; sets show_status.
wait_show() {
  local deadline=$(( $(now_ms) + $1 * 1000 ))
  while kill -0 "$show_pid" 2>/dev/null; do
    (( $(now_ms) < deadline )) || fail "the show still runs after $1 s"
    sleep 0.02
  done
  show_status=0
  wait "$show_pid" || show_status=$?
  show_pid=""
}

# wait_window SECONDS : prints the id of the show's window once it exists.
wait_window() {
  local deadline=$(( $(now_ms) + $1 * 1000 )) id
  while (( $(now_ms) < deadline )); do
    id=$(xdotool search --name "^Quillfrost Lanternfay$" 2>/dev/null | head -n 1 || true)
    if [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    kill -0 "$show_pid" 2>/dev/null || fail "the show ended before its window appeared"
    sleep 0.1
  done
  fail "no window named \"Quillfrost Lanternfay\" within $1 s"
}

# wait_started SECONDS : waits until the show has prepared everything (the
# first frame shows once start-up is over; the preparation takes a moment).
wait_started() {
  sleep "$1"
  kill -0 "$show_pid" 2>/dev/null || fail "the show ended early"
}
