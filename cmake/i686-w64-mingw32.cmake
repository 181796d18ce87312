# Windows, 32-bit x86, with Debian's mingw-w64 (posix threads: the win32
# flavour of gcc 12 has no std::mutex or std::thread).
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake
# (scripts/cross-win32.sh does this.) The libraries come from the prefix that
# scripts/cross-win32-deps.sh builds, LANTERNFAY_WIN32_PREFIX (environment or
# cache), by default build-win32-deps/prefix beside this folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(_lanternfay_host i686-w64-mingw32)

set(CMAKE_C_COMPILER ${_lanternfay_host}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_lanternfay_host}-g++-posix)
set(CMAKE_RC_COMPILER ${_lanternfay_host}-windres)
# Same rounding as the Linux builds: SSE maths rather than x87. In strict
# C++17 mingw's <cmath> keeps M_PI hidden unless asked, unlike glibc's.
set(_lanternfay_arch_flags "-march=i686 -msse2 -mfpmath=sse -D_USE_MATH_DEFINES")
set(CMAKE_C_FLAGS_INIT "${_lanternfay_arch_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_lanternfay_arch_flags}")

if(NOT LANTERNFAY_WIN32_PREFIX)
  if(DEFINED ENV{LANTERNFAY_WIN32_PREFIX})
    set(LANTERNFAY_WIN32_PREFIX $ENV{LANTERNFAY_WIN32_PREFIX})
  else()
    get_filename_component(LANTERNFAY_WIN32_PREFIX ${CMAKE_CURRENT_LIST_DIR}/../build-win32-deps/prefix ABSOLUTE)
  endif()
endif()
set(LANTERNFAY_WIN32_PREFIX ${LANTERNFAY_WIN32_PREFIX} CACHE PATH "Prefix of the Windows libraries")

# One self-contained program: no libgcc, libstdc++ or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -L${LANTERNFAY_WIN32_PREFIX}/lib")

set(CMAKE_FIND_ROOT_PATH ${LANTERNFAY_WIN32_PREFIX} /usr/${_lanternfay_host})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static libraries only (libz.dll.a sits beside libz.a).
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# What the static SDL and SDL_mixer need after them on the link line (the
# order of `sdl-config --static-libs`, then Ogg Vorbis for the music), and
# the usual Windows libraries.
set(CMAKE_C_STANDARD_LIBRARIES "-lvorbisfile -lvorbis -logg -lm -luser32 -lgdi32 -lwinmm -ldxguid -lkernel32 -lwinspool -lshell32 -lole32 -loleaut32 -luuid -lcomdlg32 -ladvapi32" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "${CMAKE_C_STANDARD_LIBRARIES}" CACHE STRING "")
