#!/usr/bin/env bash
# Makes the deliverables from builds that already exist, through their own
# install rules (cmake/install.cmake), each named with the one version number:
#   lanternfay-VERSION-linux-x86_64.tar.gz, lanternfay_VERSION_amd64.deb   (build/)
#   lanternfay-VERSION-linux-i386.tar.gz,   lanternfay_VERSION_i386.deb    (build-i386/, scripts/cross-i386.sh)
#   lanternfay-VERSION-linux-aarch64.tar.gz, lanternfay_VERSION_arm64.deb  (build-aarch64/, scripts/cross-aarch64.sh)
#   lanternfay-VERSION-win32.zip                                           (build-win32/, scripts/cross-win32.sh)
#   scripts/package.sh [out-dir]     (default: build-packages/)
# An archive holds one folder: the program, its data folder, README.txt and
# LICENSE.txt (the "folder" install component). The .deb holds the system
# layout under /usr (the default install). A build that does not exist is
# skipped with a notice and the status is 1.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build-packages}")
native=${LANTERNFAY_NATIVE_BUILD:-$root/build}
mkdir -p "$out"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

version_of() {   # version_of BUILD : the project version its configuration holds
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

# archive BUILD PLATFORM FORMAT : the folder layout of BUILD, packed
archive() {
  local build=$1 platform=$2 format=$3 version name
  version=$(version_of "$build")
  name=lanternfay-$version-$platform
  [[ -d "$build/data" ]] || { echo "package: no data folder in $build" >&2; return 1; }
  cmake --install "$build" --component folder --prefix "$stage/$name" --strip >/dev/null
  rm -f "$out/$name.$format"
  if [[ $format == zip ]]; then
    (cd "$stage" && zip -qr "$out/$name.zip" "$name")
  else
    tar -C "$stage" -czf "$out/$name.tar.gz" "$name"
  fi
  echo "package: $out/$name.$format"
}

# debian BUILD : the Debian package of BUILD's default install, by CPack
debian() {
  local build=$1 made
  rm -rf "$stage/cpack"
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$stage/cpack" >"$stage/cpack.log" 2>&1 ||
    { cat "$stage/cpack.log" >&2; return 1; }
  made=$(find "$stage/cpack" -maxdepth 1 -name 'lanternfay_*.deb')
  [[ -n "$made" ]] || { cat "$stage/cpack.log" >&2; return 1; }
  mv "$made" "$out/"
  echo "package: $out/$(basename "$made")"
}

status=0
if [[ -x "$native/lanternfay" ]]; then
  archive "$native" linux-x86_64 tar.gz || status=1
  debian "$native" || status=1
else
  status=1; echo "package: skipped Linux x86-64 (no $native/lanternfay)"
fi
if [[ -x "$root/build-i386/lanternfay" ]]; then
  archive "$root/build-i386" linux-i386 tar.gz || status=1
  debian "$root/build-i386" || status=1
else
  status=1; echo "package: skipped Linux i386 (no build-i386/lanternfay)"
fi
if [[ -x "$root/build-aarch64/lanternfay" ]]; then
  archive "$root/build-aarch64" linux-aarch64 tar.gz || status=1
  debian "$root/build-aarch64" || status=1
else
  status=1; echo "package: skipped Linux aarch64 (no build-aarch64/lanternfay)"
fi
if [[ -f "$root/build-win32/lanternfay.exe" ]]; then
  archive "$root/build-win32" win32 zip || status=1
else
  status=1; echo "package: skipped Windows (no build-win32/lanternfay.exe)"
fi
exit $status
