#!/usr/bin/env bash
# Installs the Debian packages the project needs, and only those missing.
# Does nothing when everything is present; uses sudo only when not root.
# Without apt (or dpkg) it installs nothing: it names what is missing and
# fails only when something is.
#   scripts/setup.sh            what the native build and its tests need
#   scripts/setup.sh --cross    also the Linux 32-bit and Windows 32-bit builds
#                               (i386 architecture, source entries, mingw-w64, wine)
#   scripts/setup.sh --web      also the browser build (emscripten) and its tests (chromium)
#   scripts/setup.sh --fuzz     also clang with its sanitizer and libFuzzer runtimes (scripts/fuzz.sh)
#   scripts/setup.sh --sdl12-compat DIR
#                               also unpacks Debian's libsdl1.2-compat (the SDL 1.2
#                               interface over SDL2) into DIR, leaving the system's
#                               SDL 1.2 alone; its library is then in
#                               DIR/usr/lib/<multiarch>/sdl12-compat (for LD_LIBRARY_PATH)
#   scripts/setup.sh --aarch64-root DIR
#                               also unpacks Debian's arm64 SDL 1.2, SDL_mixer 1.2 and
#                               libpng, with every library they need, into DIR: the
#                               64-bit ARM build links against it and qemu-aarch64 -L DIR
#                               runs it. apt works on a private copy of its state in
#                               DIR/apt: no architecture is added and nothing is installed
set -euo pipefail

PACKAGES=(
  # compiler and build
  g++ cmake make pkg-config
  # the show
  libsdl1.2-dev libsdl-mixer1.2-dev
  # the data generator: lettering, music; the frame tool: PNG
  libfreetype-dev fonts-dejavu-core libvorbis-dev libogg-dev libpng-dev
  # tests: unit tests, a display and keystrokes for end-to-end runs, audio analysis
  libgtest-dev xvfb xauth xdotool sox
  # the end-to-end tests: the peak memory of a run (/usr/bin/time)
  time
  # the tests under sdl12-compat: the SDL2 it runs on; a window manager for full screen
  libsdl2-2.0-0 openbox
  # the capture tool: encoding, scaling and resampling; ffprobe and ffmpeg for its tests
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
)

# The browser build (scripts/web.sh) and its tests: headless Chromium over
# its DevTools protocol. Only with --web: a viewer building the show needs none.
WEB_PACKAGES=(emscripten chromium python3-websockets)

# The fuzz targets (scripts/fuzz.sh, CI's fuzzing step): libFuzzer comes with
# clang's runtime libraries.
FUZZ_PACKAGES=(clang libclang-rt-dev)

# The cross builds. Debian's i386 -dev packages of SDL cannot sit beside the
# amd64 ones, so the 32-bit Linux build takes the amd64 headers and links the
# i386 runtime libraries. The Windows libraries are built from Debian's source
# packages by scripts/cross-win32-deps.sh; wine runs the results.
CROSS_PACKAGES=(
  # Linux 64-bit ARM (its libraries: --aarch64-root), run under qemu-aarch64
  g++-aarch64-linux-gnu
  # Linux 32-bit x86
  # (g++-12-multilib, not g++-multilib: that one conflicts with the ARM
  # cross compiler, and the i386 toolchain links the one header folder it adds)
  g++-12-multilib libsdl1.2debian:i386 libsdl-mixer1.2:i386 libpng16-16:i386
  # Windows 32-bit x86: compiler (posix threads), zlib, apt-get source's unpacking
  g++-mingw-w64-i686-posix libz-mingw-w64-dev dpkg-dev
  # running the Windows build and looking at its screen; packing it
  wine wine32:i386 x11-apps imagemagick zip unzip
  # where the kernel runs no 32-bit x86 program itself: the i386 build under emulation
  qemu-user
  # installing the i386 Debian package (its Depends)
  libc6:i386 libgcc-s1:i386 libstdc++6:i386
)

# Without dpkg the packages cannot be asked about: look for what they provide.
check_without_dpkg() {
  local absent=() command module
  for command in g++ cmake make pkg-config xvfb-run xauth xdotool sox; do
    command -v "$command" >/dev/null 2>&1 || absent+=("the command $command")
  done
  if command -v pkg-config >/dev/null 2>&1; then
    for module in sdl SDL_mixer freetype2 vorbisenc vorbisfile ogg libpng; do
      pkg-config --exists "$module" || absent+=("the library $module (pkg-config)")
    done
  fi
  [[ -x /usr/bin/time ]] || absent+=("the program /usr/bin/time")
  [[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ]] || absent+=("the DejaVu fonts in /usr/share/fonts/truetype/dejavu")
  [[ -d /usr/src/googletest || -f /usr/include/gtest/gtest.h ]] || absent+=("GoogleTest")
  if [[ ${#absent[@]} -gt 0 ]]; then
    echo "setup: no dpkg here to install with; missing:" >&2
    printf '  %s\n' "${absent[@]}" >&2
    exit 1
  fi
  echo "setup: no dpkg here; everything the build needs was found"
  exit 0
}

cross=0
compat_dir=""
aarch64_root=""
extra=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --cross) cross=1 ;;
    --web) extra+=("${WEB_PACKAGES[@]}") ;;
    --fuzz) extra+=("${FUZZ_PACKAGES[@]}") ;;
    --sdl12-compat) compat_dir=${2:?"--sdl12-compat needs a folder"}; shift ;;
    --aarch64-root) aarch64_root=${2:?"--aarch64-root needs a folder"}; shift ;;
    *) extra+=("$1") ;;
  esac
  shift
done

# The compatibility library unpacked privately: apt-get download needs no
# root, dpkg -x installs nothing. Done once; the folder keeps it.
unpack_sdl12_compat() {
  local dir=$1 deb
  [[ -z "$dir" ]] && return 0
  compgen -G "$dir/usr/lib/*/sdl12-compat/libSDL-1.2.so.0" >/dev/null && return 0
  mkdir -p "$dir/download"
  (cd "$dir/download" && apt-get download -q libsdl1.2-compat 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
  deb=$(compgen -G "$dir/download/libsdl1.2-compat_*.deb" | head -n 1 || true)
  [[ -n "$deb" ]] || { echo "setup: could not download libsdl1.2-compat" >&2; exit 1; }
  dpkg -x "$deb" "$dir"
  echo "setup: libsdl1.2-compat $(dpkg-deb -f "$deb" Version) unpacked into $dir"
}

# The arm64 libraries, unpacked privately: apt reads the system's sources but
# keeps the arm64 package lists and downloads in DIR/apt, and plans the
# downloads against an empty package database, so it fetches every library
# the runtime packages need, however the system is set up. The -dev packages
# add only their headers and link names (their own dependencies are not
# needed to link). Done once; the folder keeps it.
AARCH64_RUNTIME=(libsdl1.2debian libsdl-mixer1.2 libpng16-16 libstdc++6)
AARCH64_HEADERS=(libsdl1.2-dev libsdl-mixer1.2-dev libpng-dev zlib1g-dev)
unpack_aarch64_root() {
  local dir=$1 state deb link target
  [[ -z "$dir" ]] && return 0
  [[ -f "$dir/.complete" && "$(cat "$dir/.complete")" == "${AARCH64_RUNTIME[*]} ${AARCH64_HEADERS[*]}" ]] && return 0
  command -v apt-get >/dev/null 2>&1 || { echo "setup: --aarch64-root needs apt-get" >&2; exit 1; }
  dir=$(realpath -m "$dir")
  state=$dir/apt
  mkdir -p "$state/lists/partial" "$state/archives/partial" "$state/headers"
  : >"$state/status"
  local private=(-q -o APT::Architecture=arm64 -o APT::Architectures=arm64
    -o Dir::State::Lists="$state/lists" -o Dir::State::status="$state/status"
    -o Dir::Cache="$state/cache" -o Dir::Cache::archives="$state/archives"
    -o Acquire::IndexTargets::deb-src::Sources::DefaultEnabled=false
    -o APT::Sandbox::User="$(id -un)")
  # A source that has no arm64 list only warns: the download says plainly
  # what it then lacks.
  apt-get "${private[@]}" update >"$state/update.log" 2>&1 ||
    echo "setup: some arm64 package lists failed to download (see $state/update.log)" >&2
  apt-get "${private[@]}" -y --no-install-recommends install --download-only "${AARCH64_RUNTIME[@]}" \
    >"$state/download.log" 2>&1 || { cat "$state/download.log" >&2; echo "setup: could not download the arm64 libraries" >&2; exit 1; }
  (cd "$state/headers" && apt-get "${private[@]}" download "${AARCH64_HEADERS[@]}") >>"$state/download.log" 2>&1 ||
    { cat "$state/download.log" >&2; echo "setup: could not download the arm64 headers" >&2; exit 1; }
  for deb in "$state"/archives/*.deb "$state"/headers/*.deb; do
    dpkg-deb -x "$deb" "$dir"
  done
  # A link that names an absolute path (libz.so -> /lib/...) means that path
  # inside the root.
  while IFS= read -r link; do
    target=$(readlink "$link")
    if [[ $target == /* ]]; then ln -sfnr "$dir$target" "$link"; fi
  done < <(find "$dir" -path "$state" -prune -o -type l -print)
  echo "${AARCH64_RUNTIME[*]} ${AARCH64_HEADERS[*]}" >"$dir/.complete"
  echo "setup: $(find "$state" -name '*.deb' | wc -l) arm64 packages unpacked into $dir"
}

command -v dpkg-query >/dev/null 2>&1 || check_without_dpkg

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
refresh=0
can_install() { command -v apt-get >/dev/null 2>&1 && { [[ -z "$SUDO" ]] || command -v sudo >/dev/null 2>&1; }; }

if [[ $cross -eq 1 ]] && can_install; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: adding the i386 architecture"
    $SUDO dpkg --add-architecture i386
    refresh=1
  fi
  # apt-get source needs source entries; mirror the Debian ones that exist.
  if ! grep -rqsE '^[[:space:]]*(Types:.*deb-src|deb-src[[:space:]])' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "setup: adding deb-src entries for Debian's archive"
    sources=$(mktemp)
    for file in /etc/apt/sources.list.d/*.sources; do
      [[ -f "$file" ]] || continue
      # one stanza per paragraph; keep those that point at a Debian archive
      awk 'BEGIN { RS = ""; ORS = "\n\n" }
           /URIs:[^\n]*\/debian(-security)?\/?(\n|$)/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$file"
    done > "$sources"
    if [[ -f /etc/apt/sources.list ]]; then
      sed -nE 's/^deb[[:space:]]+(.*\/debian(-security)?\/?[[:space:]].*)$/deb-src \1/p' /etc/apt/sources.list > "$sources.list"
      [[ -s "$sources.list" ]] && $SUDO cp "$sources.list" /etc/apt/sources.list.d/lanternfay-src.list
      rm -f "$sources.list"
    fi
    [[ -s "$sources" ]] && $SUDO cp "$sources" /etc/apt/sources.list.d/lanternfay-src.sources
    rm -f "$sources"
    refresh=1
  fi
fi
[[ $cross -eq 1 ]] && extra+=("${CROSS_PACKAGES[@]}")

# A name without an architecture means the native one. dpkg-query lists every
# architecture a name is installed for (libsdl2 may be there for i386 too),
# one line each, so look for the wanted one (or "all") among the lines.
native=$(dpkg --print-architecture)
installed() {
  local wanted=$native
  [[ "$1" == *:* ]] && wanted=${1##*:}
  dpkg-query -W -f='${Architecture} ${Status}\n' "$1" 2>/dev/null |
    grep -qE "^($wanted|all) install ok installed\$"
}
missing=()
for package in "${PACKAGES[@]}" "${extra[@]}"; do
  installed "$package" || missing+=("$package")
done
if [[ ${#missing[@]} -eq 0 && $refresh -eq 0 ]]; then
  unpack_sdl12_compat "$compat_dir"
  unpack_aarch64_root "$aarch64_root"
  exit 0
fi

if ! can_install; then
  echo "setup: cannot install here (no apt-get, or not root and no sudo); missing Debian packages:" >&2
  echo "  ${missing[*]}" >&2
  exit 1
fi
# A mirror in the middle of a sync serves an index that fails its check; give
# it time, then go on with the lists that did come: the install itself says
# plainly if a package it needs is not to be had.
refresh_lists() {
  local try
  for try in 1 2 3; do
    $SUDO apt-get update -qq && return 0
    [[ $try -lt 3 ]] && sleep 30
  done
  echo "setup: some package lists failed to download; going on with those that came" >&2
}
refresh_lists
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "setup: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
unpack_sdl12_compat "$compat_dir"
unpack_aarch64_root "$aarch64_root"
