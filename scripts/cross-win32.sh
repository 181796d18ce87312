#!/usr/bin/env bash
# Builds the Windows 32-bit show (one static lanternfay.exe), its frame tool
# and the unit tests (run under wine) into build-win32/, with the data folder
# that a native build generated.
#   scripts/cross-win32.sh [native-build-dir]     (default: build/)
# Needs `scripts/setup.sh --cross`; builds the libraries first when
# build-win32-deps/ does not hold them yet (scripts/cross-win32-deps.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$(realpath -m "${1:-$root/build}")
build=$root/build-win32
deps=$root/build-win32-deps
toolchain=$root/cmake/i686-w64-mingw32.cmake
jobs=$(nproc)

"$root/scripts/cross-win32-deps.sh" "$deps"

# Debian ships GoogleTest as sources; build it once with the same toolchain.
gtest=$build/googletest
if [[ ! -f $gtest/prefix/lib/cmake/GTest/GTestConfig.cmake ]]; then
  echo "win32: GoogleTest"
  cmake -S /usr/src/googletest -B "$gtest/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
    -DCMAKE_INSTALL_PREFIX="$gtest/prefix" >/dev/null
  cmake --build "$gtest/build" -j "$jobs" >/dev/null
  cmake --install "$gtest/build" >/dev/null
fi

# The build lists each test program's cases by running it under wine. Where
# wine cannot run (a kernel without 32-bit x86 support: tests/cross/x86_32.bash)
# only the program and its tools are built, for the packages.
tests=ON
if [[ ${LANTERNFAY_X86_32:-native} == native ]]; then
  # shellcheck source=tests/cross/wine.bash
  source "$root/tests/cross/wine.bash"
  win32_prepare "$build"
  win32_start_services
else
  tests=OFF
  echo "win32: without its tests, which only wine could run, and this kernel runs no 32-bit x86 program itself"
fi

echo "win32: the show"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLANTERNFAY_WIN32_PREFIX="$deps/prefix" -DLANTERNFAY_DATA_DIR="$native/data" -DLANTERNFAY_CAPTURE=OFF \
  -DLANTERNFAY_TESTS=$tests -DGTest_DIR="$gtest/prefix/lib/cmake/GTest" -DCMAKE_CROSSCOMPILING_EMULATOR=wine >/dev/null
cmake --build "$build" -j "$jobs"
