#!/usr/bin/env bash
# Builds the Windows 32-bit libraries the show links statically (SDL 1.2,
# Ogg, Vorbis, SDL_mixer 1.2, and libpng for the frame tool) from Debian's
# source packages with mingw-w64, into a prefix that later runs reuse.
#   scripts/cross-win32-deps.sh [deps-dir]     (default: build-win32-deps/)
# The prefix is deps-dir/prefix; it is rebuilt only when this script changes.
# Needs `scripts/setup.sh --cross` (mingw-w64, dpkg-dev, deb-src entries).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps=${1:-$root/build-win32-deps}
mkdir -p "$deps"
deps=$(cd "$deps" && pwd)
prefix=$deps/prefix
sources=$deps/src
host=i686-w64-mingw32

# One stamp for the whole prefix, keyed by this script: changed flags rebuild all.
key=$(sha256sum "$0" | cut -c1-16)
if [[ -f "$prefix/.built-$key" ]]; then
  echo "win32 deps: cached in $prefix"
  exit 0
fi
rm -rf "$prefix" "$sources"
mkdir -p "$prefix" "$sources"
log=$deps/build.log
: > "$log"
step() { echo "win32 deps: $*"; }
run() { "$@" >>"$log" 2>&1 || { echo "win32 deps: failed: $* (last lines of $log follow)" >&2; tail -30 "$log" >&2; exit 1; }; }

# apt-get source takes the newest version it can fetch; a mirror can list a
# security update before it serves its files, so older versions are tried next.
fetch() {
  local package=$1 version
  (cd "$sources" && apt-get source -qq "$package" >>"$log" 2>&1) && return 0
  for version in $(apt-cache showsrc --only-source "$package" | sed -n 's/^Version: //p' | sort -rV); do
    (cd "$sources" && apt-get source -qq "$package=$version" >>"$log" 2>&1) && return 0
  done
  echo "win32 deps: cannot fetch the source of $package (deb-src entries: scripts/setup.sh --cross)" >&2
  exit 1
}
source_dir() { find "$sources" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n1; }

export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib
export CPPFLAGS="-I$prefix/include" CFLAGS="-O2" LDFLAGS="-L$prefix/lib -static-libgcc"
# Only the prefix's own pkg-config files, never the build machine's.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
configure() { run ./configure --host=$host --prefix="$prefix" --disable-shared --enable-static "$@"; }
jobs=$(nproc)

step "fetching sources"
for package in libogg libvorbis libsdl1.2 sdl-mixer1.2 libpng1.6; do fetch "$package"; done

step "libogg"
cd "$(source_dir libogg)"
configure
run make -j"$jobs"
run make install

step "libvorbis"
cd "$(source_dir libvorbis)"
configure --with-ogg="$prefix" --disable-oggtest --disable-docs --disable-examples
run make -j"$jobs"
run make install

step "SDL 1.2"
cd "$(source_dir libsdl1.2)"
# Debian keeps -lmingw32 -lSDLmain -mwindows out of `sdl-config --libs`; a
# Windows program needs them, so that patch is taken back.
run patch -R -p1 -i debian/patches/dont_propagate_lpthread.diff
configure
run make -j"$jobs"
run make install

step "SDL_mixer 1.2"
cd "$(source_dir sdl-mixer1.2)"
# Ogg music only, linked in; the sample programs do not link statically,
# so only the headers and the library are installed.
# Its link test of libvorbisfile needs the libraries beneath it, being static.
LIBS="-lvorbis -logg" configure --with-sdl-prefix="$prefix" --disable-sdltest \
  --disable-music-mod --disable-music-midi --disable-music-mp3 --disable-music-flac \
  --disable-music-cmd --disable-music-ogg-shared
grep -q -- '-DOGG_MUSIC' Makefile || { echo "win32 deps: SDL_mixer was configured without Ogg music" >&2; exit 1; }
# (`make all` would also try to regenerate configure from Debian's patched configure.in.)
run make build
run make -j"$jobs" install-hdrs install-lib

step "libpng"
cd "$(source_dir libpng1.6)"
configure
run make -j"$jobs"
run make install

touch "$prefix/.built-$key"
step "done, in $prefix"
