#!/usr/bin/env bash
# Makes the three deliverables, each the program, the generated data folder
# and a short readme, from builds that already exist:
#   lanternfay-linux-x86_64.tar.gz   (from build/)
#   lanternfay-linux-i386.tar.gz     (from build-i386/, scripts/cross-i386.sh)
#   lanternfay-win32.zip             (from build-win32/, scripts/cross-win32.sh)
#   scripts/package.sh [out-dir]     (default: build-packages/)
# A build that does not exist is skipped with a notice and the status is 1;
# the data folder is the native build's, which the cross builds copy.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build-packages}")
native=${LANTERNFAY_NATIVE_BUILD:-$root/build}
mkdir -p "$out"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

linux_readme() {   # linux_readme ARCH DEBIAN-ARCH-SUFFIX
  cat <<TEXT
lanternfay ($1)
================

A real-time audiovisual show: eight scenes drawn in software into an
800 x 600 picture, played once against its music; 198 seconds in all.

Needs SDL 1.2 and SDL_mixer 1.2 (on Debian or Ubuntu:
  apt-get install libsdl1.2debian$2 libsdl-mixer1.2$2).

Run it from this folder, which holds the data folder it reads:
  ./lanternfay           full screen
  ./lanternfay window    in an 800 x 600 window
Escape, closing the window, or Ctrl-C ends the show early.
TEXT
}

windows_readme() {
  cat <<'TEXT'
lanternfay (Windows, 32-bit)
============================

A real-time audiovisual show: eight scenes drawn in software into an
800 x 600 picture, played once against its music; 198 seconds in all.

Nothing needs to be installed: start lanternfay.exe in this folder, which
holds the data folder it reads. It plays full screen; Escape ends it early.
Any message the program prints goes to stdout.txt beside lanternfay.exe.
TEXT
}

# stage_program NAME PROGRAM STRIP README-FUNCTION ARGUMENTS... : folder NAME in the stage
stage_program() {
  local name=$1 program=$2 strip=$3
  shift 3
  mkdir -p "$stage/$name"
  cp "$program" "$stage/$name/"
  "$strip" --strip-debug "$stage/$name/$(basename "$program")"
  cp -r "$native/data" "$stage/$name/data"
  rm -f "$stage/$name/data/.generated"
  "$@" >"$stage/$name/README.txt"
}

[[ -d "$native/data" ]] || { echo "package: no data folder in $native (build the native show first)" >&2; exit 1; }
missing=0
if [[ -x "$native/lanternfay" ]]; then
  stage_program lanternfay-linux-x86_64 "$native/lanternfay" strip linux_readme "Linux, 64-bit x86" ""
  tar -C "$stage" -czf "$out/lanternfay-linux-x86_64.tar.gz" lanternfay-linux-x86_64
  echo "package: $out/lanternfay-linux-x86_64.tar.gz"
else
  missing=1; echo "package: skipped Linux x86-64 (no $native/lanternfay)"
fi
if [[ -x "$root/build-i386/lanternfay" ]]; then
  stage_program lanternfay-linux-i386 "$root/build-i386/lanternfay" strip linux_readme "Linux, 32-bit x86" ":i386"
  tar -C "$stage" -czf "$out/lanternfay-linux-i386.tar.gz" lanternfay-linux-i386
  echo "package: $out/lanternfay-linux-i386.tar.gz"
else
  missing=1; echo "package: skipped Linux i386 (no build-i386/lanternfay)"
fi
if [[ -f "$root/build-win32/lanternfay.exe" ]]; then
  stage_program lanternfay-win32 "$root/build-win32/lanternfay.exe" i686-w64-mingw32-strip windows_readme
  rm -f "$out/lanternfay-win32.zip"
  (cd "$stage" && zip -qr "$out/lanternfay-win32.zip" lanternfay-win32)
  echo "package: $out/lanternfay-win32.zip"
else
  missing=1; echo "package: skipped Windows (no build-win32/lanternfay.exe)"
fi
[[ $missing -eq 0 ]]
