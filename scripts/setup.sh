#!/usr/bin/env bash
# Installs the Debian packages the project needs, and only those missing.
# Does nothing when everything is present; uses sudo only when not root.
# Without apt (or dpkg) it installs nothing: it names what is missing and
# fails only when something is.
#   scripts/setup.sh            what the native build and its tests need
#   scripts/setup.sh --cross    also the Linux 32-bit and Windows 32-bit builds
#                               (i386 architecture, source entries, mingw-w64, wine)
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
  # the capture tool: encoding, scaling and resampling; ffprobe and ffmpeg for its tests
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
  # the browser build (scripts/web.sh) and its tests: headless Chromium over its DevTools protocol
  emscripten chromium python3-websockets
)

# The cross builds. Debian's i386 -dev packages of SDL cannot sit beside the
# amd64 ones, so the 32-bit Linux build takes the amd64 headers and links the
# i386 runtime libraries. The Windows libraries are built from Debian's source
# packages by scripts/cross-win32-deps.sh; wine runs the results.
CROSS_PACKAGES=(
  # Linux 32-bit x86
  g++-multilib libsdl1.2debian:i386 libsdl-mixer1.2:i386 libpng16-16:i386
  # Windows 32-bit x86: compiler (posix threads), zlib, apt-get source's unpacking
  g++-mingw-w64-i686-posix libz-mingw-w64-dev dpkg-dev
  # running the Windows build and looking at its screen; packing it
  wine wine32:i386 x11-apps imagemagick zip unzip
  # installing the i386 Debian package (its Depends)
  libc6:i386 libgcc-s1:i386 libstdc++6:i386
)

# Without dpkg the packages cannot be asked about: look for what they provide.
check_without_dpkg() {
  local absent=() command module
  for command in g++ cmake make pkg-config xvfb-run xauth xdotool sox emcc chromium; do
    command -v "$command" >/dev/null 2>&1 || absent+=("the command $command")
  done
  if command -v pkg-config >/dev/null 2>&1; then
    for module in sdl SDL_mixer freetype2 vorbisenc vorbisfile ogg libpng; do
      pkg-config --exists "$module" || absent+=("the library $module (pkg-config)")
    done
  fi
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
extra=()
for argument in "$@"; do
  if [[ "$argument" == "--cross" ]]; then cross=1; else extra+=("$argument"); fi
done

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

missing=()
for package in "${PACKAGES[@]}" "${extra[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 && $refresh -eq 0 ]] && exit 0

if ! can_install; then
  echo "setup: cannot install here (no apt-get, or not root and no sudo); missing Debian packages:" >&2
  echo "  ${missing[*]}" >&2
  exit 1
fi
$SUDO apt-get update -qq
[[ ${#missing[@]} -eq 0 ]] && exit 0
echo "setup: installing ${missing[*]}"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
