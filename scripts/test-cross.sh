#!/usr/bin/env bash
# Builds and tests the four deliverables: Linux x86-64 (native), Linux
# 32-bit x86, Windows 32-bit (under wine) and Linux 64-bit ARM (under
# qemu-aarch64), compares their frames and tables, and makes and checks the
# packages (the archives unpacked, the x86 Debian packages installed, played
# and removed). Exits non-zero when any step fails; prints the time of every
# step. On a kernel without 32-bit x86 support the i386 build runs under
# qemu-i386 and the Windows runs are skipped, each skip named in the summary
# (tests/cross/x86_32.bash).
#   scripts/test-cross.sh [native-build-dir]     (default: build/)
# Folders: the native build, build-i386/, build-win32/, build-win32-deps/
# (the Windows libraries, kept between runs), build-aarch64/,
# build-aarch64-root/ (the arm64 libraries, kept between runs) and
# build-packages/; in the private root, the native build is build-root-native/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$(realpath -m "${1:-$root/build}")
export SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-dummy} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
jobs=$(nproc)

timings=()
failures=()
step() {   # step NAME COMMAND... : runs and times one step; a failure is noted
  local name=$1 started status=0
  shift
  echo "==== $name"
  started=$(date +%s)
  "$@" || status=$?
  timings+=("$(printf '%-34s %4d s%s' "$name" $(( $(date +%s) - started )) "$([[ $status -eq 0 ]] || echo '  FAILED')")")
  [[ $status -eq 0 ]] || failures+=("$name")
  return $status
}
skip() {   # skip NAME REASON : notes a step that this machine cannot run
  echo "==== $1: skipped, $2"
  timings+=("$(printf '%-34s skipped: %s' "$1" "$2")")
}
summary() {
  echo "==== times"
  printf '%s\n' "${timings[@]}"
  if [[ ${#failures[@]} -gt 0 ]]; then
    echo "FAILED: ${failures[*]}"
    return 1
  fi
  echo "cross builds: all steps passed"
}
trap 'summary' EXIT

native_build() {
  cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$native" -j "$jobs" --target show_data show_icon lanternfay lanternfay-frames lanternfay-tables lanternfay-compare
}
i386_tests() {
  # Under emulation only what the build computes is tested (the unit tests
  # and the golden digests): emulated time, signals and stack limits are
  # qemu's, not the program's, and say nothing about the i386 build.
  if [[ $LANTERNFAY_X86_32 == emulated ]]; then
    ctest --test-dir "$root/build-i386" --output-on-failure -j 2 -L '^(unit|golden)$' \
      -E '^PresentTest.LastSceneFadesTheMusicOutOnceAndForAll$'
    return
  fi
  # Unit tests and the program's own end-to-end runs under Xvfb, but not the
  # 198-second full show (the native test command plays it), nor the thread
  # failure test: its 100 GB stack limit does not fit a 32-bit rlimit, which
  # the i386 C library then takes as unlimited, so threads start normally.
  ctest --test-dir "$root/build-i386" --output-on-failure -j 2 -E '^e2e_(full_show|thread_failure)$' || return 1
  # The same refusal on i386: a 3 GB default stack cannot be mapped in a
  # 32-bit address space.
  local log status=0
  log=$(cd "$root/build-i386" && ulimit -s 3000000 && timeout 30 ./lanternfay window 2>&1) || status=$?
  if [[ $status -ne 255 || "$log" != *"A scene thread could not be started"* ]]; then
    echo "FAIL: i386 with threads refused: status $status, output: $log"
    return 1
  fi
  echo "i386 with threads refused: \"$log\", status 255"
}
aarch64_tests() {
  # As for i386 under emulation: what the build computes, not its timing.
  ctest --test-dir "$root/build-aarch64" --output-on-failure -j 2 -L '^(unit|golden)$' \
    -E '^PresentTest.LastSceneFadesTheMusicOutOnceAndForAll$'
}
win32_tests() {
  # The unit tests under wine. Two assert Linux behaviour: the video flags
  # (Windows always asks for full screen on a hardware surface, whatever the
  # argument) and the path in a missing picture's message (the working
  # directory "C:\...\" is joined to "/data/..." with a forward slash, while
  # the test looks for the path spelled with backslashes).
  # shellcheck source=tests/cross/wine.bash
  source "$root/tests/cross/wine.bash"
  win32_prepare "$root/build-win32"
  win32_start_services
  ctest --test-dir "$root/build-win32" --output-on-failure -j 2 -LE e2e \
    -E '^(VideoModeFlags.WindowOnlyForExactlyWindow|BitmapsTest.AMissingPictureIsNamedAndNothingStaysLoaded)$'
}

# The i386 libraries must sit beside the system's own at the same versions;
# when that cannot be done safely here, every step runs in a private Debian
# root instead (scripts/cross-root.sh), with a native build of its own, since
# the root's libraries are not the system's.
if [[ -z ${LANTERNFAY_CROSS_ROOT_INSIDE:-} ]] && ! "$root/scripts/setup.sh" --cross; then
  trap - EXIT
  echo "cross: the i386 and Windows packages cannot be installed on this system; the cross steps run in a private Debian root"
  exec "$root/scripts/cross-root.sh" env LANTERNFAY_CROSS_ROOT_INSIDE=1 scripts/test-cross.sh "$root/build-root-native"
fi

# The builds: nothing after them can run when one fails.
step "set-up (scripts/setup.sh --cross)" "$root/scripts/setup.sh" --cross
# Before the i386 build, which runs its test programs to list their tests.
# shellcheck source=tests/cross/x86_32.bash
source "$root/tests/cross/x86_32.bash"
LANTERNFAY_X86_32=$(x86_32_mode)
export LANTERNFAY_X86_32
no_wine="this kernel runs no 32-bit x86 program itself, and wine needs that"
case $LANTERNFAY_X86_32 in
  native) ;;
  emulated) echo "cross: this kernel runs no 32-bit x86 program itself: the i386 build runs under qemu-i386, and the Windows build is built and packed but not run" ;;
  *) echo "cross: this machine runs no 32-bit x86 program, not even under qemu-i386 (qemu-user, binfmt_misc and root are needed)" ;;
esac
step "native build (data, program, tools)" native_build
if [[ $LANTERNFAY_X86_32 == none ]]; then
  skip "i386 build" "no way to run a 32-bit x86 program here (its build lists its tests by running them)"
else
  step "i386 build" "$root/scripts/cross-i386.sh" "$native"
fi
step "win32 libraries and build" "$root/scripts/cross-win32.sh" "$native"
step "aarch64 libraries and build" "$root/scripts/cross-aarch64.sh" "$native"

# The tests: each runs whatever the others give.
set +e
if [[ $LANTERNFAY_X86_32 == none ]]; then
  skip "i386 unit and end-to-end tests" "no way to run a 32-bit x86 program here"
else
  step "i386 unit and end-to-end tests" i386_tests
fi
step "aarch64 unit tests and digests" aarch64_tests
if [[ $LANTERNFAY_X86_32 == native ]]; then
  step "win32 unit tests under wine" win32_tests
else
  skip "win32 unit tests under wine" "$no_wine"
fi
i386_build=$root/build-i386
[[ $LANTERNFAY_X86_32 == none ]] && i386_build=""
step "frames and tables, four builds" bash "$root/tests/cross/compare_builds.sh" "$native" "$i386_build" "$root/build-win32" "$root/build-aarch64"
export LANTERNFAY_NATIVE_BUILD=$native
step "packages" "$root/scripts/package.sh" "$root/build-packages" &&
  step "packages unpacked, win32 under wine" bash "$root/tests/cross/packages.sh" "$root/build-packages" "$native/data" "$root/build-win32"
[[ ${#failures[@]} -eq 0 ]]
