#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   scripts/test.sh               the normal build (build/)
#   scripts/test.sh asan          unit tests built with address,undefined (build-asan/)
#   scripts/test.sh tsan          the threaded tests built with thread (build-tsan/)
#   scripts/test.sh compat        the normal build's unit, threaded, golden and
#                                 end-to-end tests against sdl12-compat, the SDL 1.2
#                                 interface over SDL2 (Debian's libsdl1.2-compat,
#                                 unpacked into build-sdl12-compat/, not installed)
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
  compat)
    "$root/scripts/build.sh" "$root/build"
    "$root/scripts/setup.sh" --sdl12-compat "$root/build-sdl12-compat"
    library=$(compgen -G "$root/build-sdl12-compat/usr/lib/*/sdl12-compat/libSDL-1.2.so.0" | head -n 1)
    export LD_LIBRARY_PATH=$(dirname "$library")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
    # The program and SDL_mixer must both find it rather than the system's SDL.
    # ldd's listing is read whole: grep -q on a pipe would close it early, and
    # pipefail would take ldd's SIGPIPE for a failure.
    found=$(ldd "$root/build/lanternfay" | awk '$1 == "libSDL-1.2.so.0" { print $3 }')
    [[ "$found" == "$library" ]] ||
      { echo "test.sh compat: the program loads ${found:-no SDL 1.2}, not $library" >&2; exit 1; }
    echo "test.sh compat: the tests against $library"
    ctest --test-dir "$root/build" --output-on-failure -j 2 -L '^(unit|threads|golden|e2e)$' ;;
  *) echo "usage: $0 [asan|tsan|compat]" >&2; exit 2 ;;
esac
