# Linux, 32-bit x86, with the build machine's multilib gcc.
#   cmake -S . -B build-i386 -DCMAKE_TOOLCHAIN_FILE=cmake/i386-linux-gnu.cmake
# (scripts/cross-i386.sh does this.)
#
# SSE maths, not the x87 unit: x87 keeps intermediates in 80 bits, so float and
# double expressions (sums, chains of products, conversions to int) round
# differently from x86-64, and the show's tables and pictures depend on them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# 64-bit file offsets and inode numbers: without them a 32-bit program fails
# to list a folder or to stat a file wherever the filesystem hands out wider
# values (large disks, and every folder under qemu's user-mode emulation).
set(_lanternfay_arch_flags "-m32 -march=i686 -msse2 -mfpmath=sse -D_FILE_OFFSET_BITS=64")
# The kernel's x86 headers (asm/) serve 32-bit builds too. Debian links them
# in as /usr/include/asm only through gcc-multilib, which conflicts with every
# cross compiler (the 64-bit ARM one among them), so the build links them
# itself; g++-12-multilib brings the rest (the 32-bit C and C++ libraries).
set(_lanternfay_asm ${CMAKE_BINARY_DIR}/i386-include)
if(NOT EXISTS ${_lanternfay_asm}/asm)
  file(MAKE_DIRECTORY ${_lanternfay_asm})
  file(CREATE_LINK /usr/include/x86_64-linux-gnu/asm ${_lanternfay_asm}/asm SYMBOLIC)
endif()
string(APPEND _lanternfay_arch_flags " -idirafter ${_lanternfay_asm}")
set(CMAKE_C_FLAGS_INIT "${_lanternfay_arch_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_lanternfay_arch_flags}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")

# Search the i386 library folder; headers stay the build machine's.
set(CMAKE_SYSTEM_LIBRARY_PATH /usr/lib/i386-linux-gnu /lib/i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# Debian's i386 -dev packages of SDL conflict with the amd64 ones, so only the
# i386 runtime libraries are installed: their headers are the same as the
# amd64 ones, and the libraries are named here since no libSDL.so link exists.
set(_i386 /usr/lib/i386-linux-gnu)
set(SDL_INCLUDE_DIR /usr/include/SDL CACHE PATH "")
set(SDL_LIBRARY ${_i386}/libSDL-1.2.so.0 CACHE STRING "")
set(SDL_MIXER_INCLUDE_DIR /usr/include/SDL CACHE PATH "")
set(SDL_MIXER_LIBRARY ${_i386}/libSDL_mixer-1.2.so.0 CACHE FILEPATH "")
set(PNG_PNG_INCLUDE_DIR /usr/include/libpng16 CACHE PATH "")
set(PNG_LIBRARY_RELEASE ${_i386}/libpng16.so.16 CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/include CACHE PATH "")
set(ZLIB_LIBRARY_RELEASE ${_i386}/libz.so.1 CACHE FILEPATH "")
