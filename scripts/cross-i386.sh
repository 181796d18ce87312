#!/usr/bin/env bash
# Builds the Linux 32-bit x86 show, its frame tool, benchmarks and unit tests
# into build-i386/, with the data folder that a native build generated.
#   scripts/cross-i386.sh [native-build-dir]     (default: build/)
# Needs `scripts/setup.sh --cross`; the native build's data must exist
# (scripts/test-cross.sh makes it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$(realpath -m "${1:-$root/build}")
build=$root/build-i386
toolchain=$root/cmake/i386-linux-gnu.cmake
jobs=$(nproc)

# Debian ships GoogleTest as sources; build it once with the same toolchain.
gtest=$build/googletest
if [[ ! -f $gtest/prefix/lib/cmake/GTest/GTestConfig.cmake ]]; then
  echo "i386: GoogleTest"
  cmake -S /usr/src/googletest -B "$gtest/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
    -DCMAKE_INSTALL_PREFIX="$gtest/prefix" >/dev/null
  cmake --build "$gtest/build" -j "$jobs" >/dev/null
  cmake --install "$gtest/build" >/dev/null
fi

echo "i386: the show"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLANTERNFAY_DATA_DIR="$native/data" -DLANTERNFAY_CAPTURE=OFF -DGTest_DIR="$gtest/prefix/lib/cmake/GTest" >/dev/null
cmake --build "$build" -j "$jobs"
