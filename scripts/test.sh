#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   scripts/test.sh               the normal build (build/)
#   scripts/test.sh asan          unit tests built with address,undefined (build-asan/)
#   scripts/test.sh tsan          the threaded tests built with thread (build-tsan/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-dummy} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
case "${1:-}" in
  "")
    "$root/scripts/build.sh" "$root/build"
    ctest --test-dir "$root/build" --output-on-failure -j 2 ;;
  asan)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    "$root/scripts/build.sh" "$root/build-asan" -DLANTERNFAY_SANITIZE=address,undefined
    ctest --test-dir "$root/build-asan" --output-on-failure -j 2 -LE e2e ;;
  tsan)
    export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
    "$root/scripts/build.sh" "$root/build-tsan" -DLANTERNFAY_SANITIZE=thread
    ctest --test-dir "$root/build-tsan" --output-on-failure -L threads ;;
  *) echo "usage: $0 [asan|tsan]" >&2; exit 2 ;;
esac
