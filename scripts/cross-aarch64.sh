#!/usr/bin/env bash
# Builds the Linux 64-bit ARM show, its frame tool and unit tests into
# build-aarch64/, with the data folder that a native build generated, against
# the arm64 libraries unpacked into build-aarch64-root/ (made here when
# missing: scripts/setup.sh --aarch64-root). The build lists the tests by
# running them under qemu-aarch64, as CTest then runs them; the benchmarks
# are left out, since times under emulation say nothing of a real processor.
#   scripts/cross-aarch64.sh [native-build-dir]     (default: build/)
# Needs `scripts/setup.sh --cross` (the cross compiler and qemu-user); the
# native build's data must exist (scripts/test-cross.sh makes it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$(realpath -m "${1:-$root/build}")
build=$root/build-aarch64
libraries=${LANTERNFAY_AARCH64_ROOT:-$root/build-aarch64-root}
toolchain=$root/cmake/aarch64-linux-gnu.cmake
jobs=$(nproc)

"$root/scripts/setup.sh" --aarch64-root "$libraries"

# Debian ships GoogleTest as sources; build it once with the same toolchain.
gtest=$build/googletest
if [[ ! -f $gtest/prefix/lib/cmake/GTest/GTestConfig.cmake ]]; then
  echo "aarch64: GoogleTest"
  cmake -S /usr/src/googletest -B "$gtest/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DLANTERNFAY_AARCH64_ROOT="$libraries" -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
    -DCMAKE_INSTALL_PREFIX="$gtest/prefix" >/dev/null
  cmake --build "$gtest/build" -j "$jobs" >/dev/null
  cmake --install "$gtest/build" >/dev/null
fi

echo "aarch64: the show"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLANTERNFAY_AARCH64_ROOT="$libraries" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLANTERNFAY_DATA_DIR="$native/data" -DLANTERNFAY_CAPTURE=OFF \
  -DLANTERNFAY_BENCHMARKS=OFF -DGTest_DIR="$gtest/prefix/lib/cmake/GTest" >/dev/null
cmake --build "$build" -j "$jobs"
