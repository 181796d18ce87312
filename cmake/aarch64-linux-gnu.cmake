# Linux, 64-bit ARM, with Debian's cross compiler (g++-aarch64-linux-gnu).
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# (scripts/cross-aarch64.sh does this.) The libraries and their headers come
# from a folder of unpacked arm64 Debian packages, LANTERNFAY_AARCH64_ROOT
# (environment or cache), by default build-aarch64-root beside this folder
# (scripts/setup.sh --aarch64-root makes it). The C library and the C++
# library to link against are the cross compiler's own.
#
# The compiler would fuse a * b + c into one multiply-add, rounded once:
# the top CMakeLists.txt forbids that for every target (-ffp-contract=off),
# since the tables and the pictures depend on each product being rounded.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

if(NOT LANTERNFAY_AARCH64_ROOT)
  if(DEFINED ENV{LANTERNFAY_AARCH64_ROOT})
    set(LANTERNFAY_AARCH64_ROOT $ENV{LANTERNFAY_AARCH64_ROOT})
  else()
    get_filename_component(LANTERNFAY_AARCH64_ROOT ${CMAKE_CURRENT_LIST_DIR}/../build-aarch64-root ABSOLUTE)
  endif()
endif()
set(LANTERNFAY_AARCH64_ROOT ${LANTERNFAY_AARCH64_ROOT} CACHE PATH "Folder of the unpacked arm64 libraries")
set(_root ${LANTERNFAY_AARCH64_ROOT})

# Headers and libraries only from the root (never the build machine's
# x86-64 ones); programs stay the build machine's.
set(CMAKE_FIND_ROOT_PATH ${_root})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SDL, SDL_mixer and libpng need libraries of their own (PulseAudio, X11,
# FLAC, ...) that the program never names: the linker finds them in the root
# (PulseAudio's common library in its own folder, which libpulse's run path
# names only as a path of the arm64 system).
set(_libraries "${_root}/usr/lib/aarch64-linux-gnu:${_root}/lib/aarch64-linux-gnu:${_root}/usr/lib/aarch64-linux-gnu/pulseaudio")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-rpath-link,${_libraries}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,-rpath-link,${_libraries}")

# The tests and the build's own runs of its programs (listing the tests) go
# through qemu's user-mode emulation, with the root as the programs' "/".
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L ${_root})
