#!/usr/bin/env bash
# The packages, unpacked or installed as a person would: each archive holds
# its program, the whole data folder, a readme naming the version and the
# licence; the Linux programs start from the unpacked folder with nothing but
# the system's SDL libraries and end with status 0 on an interrupt; the
# Windows one imports only system DLLs and plays under wine
# (tests/cross/win32_show.sh, on the unpacked folder). Each x86 .deb is
# installed, played from another folder and removed
# (tests/cross/debian_package.sh). The 64-bit ARM program plays from its
# unpacked archive under qemu-aarch64, with the unpacked arm64 libraries of
# LANTERNFAY_AARCH64_ROOT (by default build-aarch64-root/) as its "/"; its
# .deb, which this system cannot install, holds the amd64 package's files.
#   tests/cross/packages.sh PACKAGE_DIR DATA_DIR WINE_HOME
# The version is the native build's (DATA_DIR's parent folder).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
packages=$(realpath "$1") data=$(realpath "$2") wine_home=$(realpath "$3")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$(dirname "$data")/CMakeCache.txt")
[[ -n "$version" ]] || { echo "FAIL: no version in $(dirname "$data")/CMakeCache.txt" >&2; exit 1; }
work=$(mktemp -d)
show_pid=""
cleanup() {
  if [[ -n "$show_pid" ]]; then kill -KILL "$show_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/show.log" >&2 2>/dev/null; exit 1; }
expected_files=$(find "$data" -type f ! -name .generated | wc -l)

check_contents() {   # check_contents FOLDER PROGRAM
  [[ -f "$1/$2" ]] || fail "$(basename "$1"): no $2"
  [[ -s "$1/README.txt" ]] || fail "$(basename "$1"): no README.txt"
  head -n 1 "$1/README.txt" | grep -qF "lanternfay $version " || fail "$(basename "$1"): README.txt does not name version $version"
  grep -q "MIT License" "$1/LICENSE.txt" || fail "$(basename "$1"): no LICENSE.txt"
  local count
  count=$(find "$1/data" -type f | wc -l)
  [[ $count -eq $expected_files ]] || fail "$(basename "$1"): $count data files, expected $expected_files"
  diff -r "$data" "$1/data" -x .generated >/dev/null || fail "$(basename "$1"): data differs from the build's"
}

# play_then_interrupt NAME FOLDER SECONDS GRACE COMMAND... : starts COMMAND in
# FOLDER with the dummy drivers (output in $work/show.log), lets it play
# SECONDS, interrupts it and waits up to GRACE seconds for it to end; its
# exit status is left in $status.
play_then_interrupt() {
  local name=$1 folder=$2 seconds=$3 grace=$4
  shift 4
  (cd "$folder" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy exec "$@") >"$work/show.log" 2>&1 &
  show_pid=$!
  sleep "$seconds"
  kill -0 "$show_pid" 2>/dev/null || fail "$name: the program ended within $seconds s of its start"
  kill -INT "$show_pid"
  status=0
  timeout "$grace" tail --pid="$show_pid" -f /dev/null || fail "$name: still running $grace s after the interrupt"
  wait "$show_pid" || status=$?
  show_pid=""
}

for name in lanternfay-$version-linux-x86_64 lanternfay-$version-linux-i386; do
  archive=$packages/$name.tar.gz
  [[ -f "$archive" ]] || fail "no $archive"
  tar -C "$work" -xzf "$archive"
  folder=$work/$name
  check_contents "$folder" lanternfay
  if [[ $name == *i386 && ${LANTERNFAY_X86_32:-native} == none ]]; then
    echo "$name: contents checked; not started, this machine runs no 32-bit x86 program"
    continue
  fi
  # Only libraries of the system, none of the build tree.
  if ldd "$folder/lanternfay" | grep -E "not found|/work/|build" >/dev/null; then
    ldd "$folder/lanternfay"; fail "$name: libraries that a user's machine lacks"
  fi
  play_then_interrupt "$name" "$folder" 4 10 ./lanternfay window
  if [[ $name == *i386 && ${LANTERNFAY_X86_32:-native} == emulated ]]; then
    # qemu-i386 delivers the signal itself, to a program with threads: the
    # status it then ends with is the emulator's, not the program's.
    echo "$name: program, $expected_files data files and readme; ran from the unpacked folder under qemu-i386 (status $status after an interrupt, not checked there)"
    continue
  fi
  [[ $status -eq 0 ]] || fail "$name: exit status $status after an interrupt"
  echo "$name: program, $expected_files data files and readme; started from the unpacked folder, status 0 on interrupt"
done

for architecture in amd64 i386; do
  deb=$packages/lanternfay_${version}_$architecture.deb
  [[ -f "$deb" ]] || fail "no $deb"
  dpkg-deb -f "$deb" Depends | grep -q "libsdl1.2debian.*libsdl-mixer1.2" || fail "$deb: Depends lacks SDL 1.2 and SDL_mixer 1.2"
  if [[ $architecture == i386 && ${LANTERNFAY_X86_32:-native} != native ]]; then
    echo "$(basename "$deb"): its dependencies checked; not installed and played, this kernel runs no 32-bit x86 program itself"
    continue
  fi
  bash "$here/debian_package.sh" "$deb" || fail "$(basename "$deb"): the install test failed"
done

aarch64_root=$(realpath -m "${LANTERNFAY_AARCH64_ROOT:-$here/../../build-aarch64-root}")
name=lanternfay-$version-linux-aarch64
archive=$packages/$name.tar.gz
[[ -f "$archive" ]] || fail "no $archive"
tar -C "$work" -xzf "$archive"
folder=$work/$name
check_contents "$folder" lanternfay
readelf -h "$folder/lanternfay" | grep -q 'Machine:.*AArch64' || fail "$name: the program is not a 64-bit ARM one"
# Only libraries of the system: the emulated loader's own list.
libraries=$(qemu-aarch64 -L "$aarch64_root" -E LD_TRACE_LOADED_OBJECTS=1 "$folder/lanternfay") ||
  fail "$name: the loader cannot list the program's libraries"
if grep -E "not found|/work/|build" <<<"$libraries" >/dev/null; then
  echo "$libraries"; fail "$name: libraries that a user's machine lacks"
fi
# Played a few seconds: its statistics say how many frames it drew.
LANTERNFAY_STATS=1 play_then_interrupt "$name" "$folder" 6 20 qemu-aarch64 -L "$aarch64_root" ./lanternfay window
[[ $status -eq 0 ]] || fail "$name: exit status $status after an interrupt"
frames=$(awk '$1 == "1" { print $2 }' "$work/show.log")
[[ ${frames:-0} -gt 0 ]] || fail "$name: no frame of scene 1 drawn in 6 s"
echo "$name: program, $expected_files data files and readme; played from the unpacked folder under qemu-aarch64 ($frames frames of scene 1), status 0 on interrupt"
deb=$packages/lanternfay_${version}_arm64.deb
[[ -f "$deb" ]] || fail "no $deb"
[[ "$(dpkg-deb -f "$deb" Architecture)" == arm64 ]] || fail "$deb: not an arm64 package"
dpkg-deb -f "$deb" Depends | grep -q "libsdl1.2debian.*libsdl-mixer1.2" || fail "$deb: Depends lacks SDL 1.2 and SDL_mixer 1.2"
files() { dpkg-deb -c "$1" | awk '{ print $6 }'; }
diff <(files "$packages/lanternfay_${version}_amd64.deb") <(files "$deb") >&2 ||
  fail "$deb: other files than the amd64 package's"
dpkg-deb -x "$deb" "$work/arm64-deb"
readelf -h "$work/arm64-deb/usr/lib/lanternfay/lanternfay" | grep -q 'Machine:.*AArch64' ||
  fail "$deb: the program is not a 64-bit ARM one"
echo "$(basename "$deb"): the amd64 package's $(files "$deb" | grep -vc '/$') files, a 64-bit ARM program; its dependencies checked"

archive=$packages/lanternfay-$version-win32.zip
[[ -f "$archive" ]] || fail "no $archive"
unzip -q "$archive" -d "$work"
folder=$work/lanternfay-$version-win32
check_contents "$folder" lanternfay.exe
dlls=$(i686-w64-mingw32-objdump -p "$folder/lanternfay.exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
for dll in $dlls; do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll|winmm.dll|shell32.dll|ole32.dll) ;;
    *) fail "lanternfay.exe needs $dll, which Windows does not have" ;;
  esac
done
# Windows readers: every line of the readme ends in CR LF.
[[ $(grep -c $'\r$' "$folder/README.txt") -eq $(wc -l <"$folder/README.txt") ]] ||
  fail "lanternfay-$version-win32: README.txt does not have Windows line endings"
# The icon (named for SDL's window) and the version in the file's properties.
resources=$(strings -el "$folder/lanternfay.exe")
grep -qx "SDL_APP" <<<"$resources" || fail "lanternfay.exe has no icon named SDL_app"
grep -qx "$version" <<<"$resources" && grep -qx "ProductName" <<<"$resources" ||
  fail "lanternfay.exe has no version information naming $version"
echo "lanternfay-$version-win32: program, $expected_files data files and readme; imports only $dlls"
if [[ ${LANTERNFAY_X86_32:-native} == native ]]; then
  bash "$here/win32_show.sh" "$folder" "$wine_home" "$wine_home/win32-screen.png"
else
  echo "lanternfay-$version-win32: not played, this kernel runs no 32-bit x86 program itself (wine needs that)"
fi
