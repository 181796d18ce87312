#!/usr/bin/env bash
# The Debian package as a person meets it: installed with apt-get, the
# program is on the PATH; `lanternfay window`, started from a folder that has
# nothing to do with the show, opens its 800 x 600 window under Xvfb and
# Escape ends it with status 0; removed, the package leaves nothing behind.
# Then the same on a system whose only SDL 1.2 is sdl12-compat (Debian 12's
# libsdl1.2-compat with its shim, which replaces libsdl1.2debian and takes
# libsdl1.2-dev and what needs it away); every package that this removed is
# put back afterwards, whatever happens.
#   tests/cross/debian_package.sh PACKAGE.deb
# Installs into the system (with sudo when not root): for the packaging step
# of CI, not for the plain test command.
set -euo pipefail
if [[ -z "${LANTERNFAY_DEB_DISPLAY:-}" ]]; then
  export LANTERNFAY_DEB_DISPLAY=1
  exec xvfb-run --auto-servernum --server-num=$((100 + $$ % 800)) \
    --server-args="-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi
deb=$(realpath "$1")
name=$(basename "$deb")
# With its architecture: an i386 package on an amd64 system is "lanternfay:i386".
package=lanternfay:$(dpkg-deb -f "$deb" Architecture)
SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
apt() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get -y -qq -o DPkg::Lock::Timeout=300 "$@" >"$work/apt.log" 2>&1; }
installed() { [[ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)" == "install ok installed" ]]; }

work=$(mktemp -d)
show_pid=""
compat_installed=0
# Every package installed now, to put back what the sdl12-compat shim removes.
dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' | awk '$NF == "installed" { print $1 }' | sort >"$work/before"
restore_classic_sdl() {   # installing libsdl1.2debian again takes the shim away
  local now missing package_name
  now=$(dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' | awk '$NF == "installed" { print $1 }' | sort)
  missing=$(comm -23 "$work/before" <(echo "$now") | sed 's/:all$//' | tr '\n' ' ')
  if [[ -n "${missing// /}" ]]; then
    # shellcheck disable=SC2086
    apt install --no-install-recommends $missing || echo "$name: could not put back: $missing" >&2
  fi
  for package_name in libsdl1.2-compat-shim libsdl1.2-compat; do
    grep -q "^$package_name:" "$work/before" && continue
    if dpkg-query -W -f='${Status}' "$package_name" 2>/dev/null | grep -q 'ok installed'; then
      apt purge "$package_name" || echo "$name: could not remove $package_name" >&2
    fi
  done
  compat_installed=0
}
cleanup() {   # (each step whatever the one before gave: errexit stays out of the way)
  if [[ -n "$show_pid" ]]; then kill -KILL "$show_pid" 2>/dev/null || true; fi
  if installed; then apt purge "$package" || echo "$name: could not remove $package" >&2; fi
  if [[ $compat_installed -eq 1 ]]; then restore_classic_sdl; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $name: $*" >&2
  for log in "$work"/*.log; do [[ -f "$log" ]] && { echo "--- $log" >&2; cat "$log" >&2; }; done
  exit 1
}
now_ms() { date +%s%3N; }

if installed; then
  echo "$name: $package was installed before the test; removing it first"
  apt purge "$package" || fail "cannot remove the lanternfay installed before"
fi
# What the package holds, to look for after its removal.
dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | grep -v '/$' >"$work/files"
version=$(dpkg-deb -f "$deb" Version)

apt install "$deb" || fail "apt-get install failed"
installed || fail "not installed after apt-get install"
# Only the SDL 1.2 that the system loads: no sdl12-compat beside classic SDL.
if ! grep -q "^libsdl1.2-compat:" "$work/before" &&
  dpkg-query -W -f='${Status}' libsdl1.2-compat 2>/dev/null | grep -q 'ok installed'; then
  fail "installing the package brought libsdl1.2-compat, which the loader never picks beside classic SDL"
fi
[[ "$(dpkg-query -W -f='${Version}' "$package")" == "$version" ]] || fail "installed version is not $version"
[[ "$(command -v lanternfay)" == /usr/bin/lanternfay ]] || fail "lanternfay is not /usr/bin/lanternfay on the PATH"

# Started from elsewhere: the launcher finds the data, the show plays.
play_from_elsewhere() {
  mkdir -p "$work/elsewhere"
  (cd "$work/elsewhere" && SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy exec lanternfay window) >"$work/show.log" 2>&1 &
  show_pid=$!
  window=""
  deadline=$(( $(now_ms) + 20000 ))
  while [[ -z "$window" ]]; do
    (( $(now_ms) < deadline )) || fail "no window named \"Quillfrost Lanternfay\" within 20 s"
    kill -0 "$show_pid" 2>/dev/null || fail "the show ended before its window appeared"
    sleep 0.1
    window=$(xdotool search --name "^Quillfrost Lanternfay$" 2>/dev/null | head -n 1 || true)
  done
  xdotool getwindowgeometry "$window" | grep -q "Geometry: 800x600" || fail "the window is not 800x600"
  sleep 3
  kill -0 "$show_pid" 2>/dev/null || fail "the show ended within 3 s of its window"
  xdotool windowfocus --sync "$window"
  sent=$(now_ms)
  xdotool key Escape
  while kill -0 "$show_pid" 2>/dev/null; do
    (( $(now_ms) - sent < 5000 )) || fail "still running 5 s after Escape"
    sleep 0.02
  done
  local status=0
  wait "$show_pid" || status=$?
  show_pid=""
  took=$(( $(now_ms) - sent ))
  [[ $status -eq 0 ]] || fail "exit status $status after Escape"
  [[ -z "$(ls -A "$work/elsewhere")" ]] || fail "the show left files in the folder it was started from"
}
play_from_elsewhere
echo "$name: installed $version; 'lanternfay window' from another folder: 800x600 window, Escape ended it in $took ms, status 0"

apt purge "$package" || fail "apt-get purge failed"
installed && fail "still installed after apt-get purge"
left=()
while read -r file; do
  [[ -e "$file" || -L "$file" ]] && left+=("$file")
done <"$work/files"
for folder in /usr/lib/lanternfay /usr/share/lanternfay /usr/share/doc/lanternfay; do
  [[ -e "$folder" ]] && left+=("$folder")
done
[[ ${#left[@]} -eq 0 ]] || fail "left behind after removal: ${left[*]}"
echo "$name: removed; none of its $(wc -l <"$work/files") files or its folders are left"

# The same package where sdl12-compat is the only SDL 1.2 (the native
# architecture's: the shim is installed for it).
if [[ "$(dpkg-deb -f "$deb" Architecture)" == "$(dpkg --print-architecture)" ]]; then
  compat_installed=1
  apt install --no-install-recommends libsdl1.2-compat-shim || fail "cannot install libsdl1.2-compat-shim"
  dpkg-query -W -f='${Status}' libsdl1.2debian 2>/dev/null | grep -q 'ok installed' &&
    fail "libsdl1.2debian is still installed beside the shim"
  apt install "$deb" || fail "apt-get install failed with only sdl12-compat"
  sdl=$(ldd /usr/lib/lanternfay/lanternfay | awk '$1 == "libSDL-1.2.so.0" { print $3 }')
  [[ -n "$sdl" ]] && grep -q SDL12COMPAT_ "$(readlink -f "$sdl")" || fail "the program does not run on sdl12-compat"
  rm -rf "$work/elsewhere"
  play_from_elsewhere
  echo "$name: with only sdl12-compat $(dpkg-query -W -f='${Version}' libsdl1.2-compat): 800x600 window, Escape ended it in $took ms, status 0"
  apt purge "$package" || fail "apt-get purge failed"
  restore_classic_sdl
  dpkg-query -W -f='${Status}' libsdl1.2-dev 2>/dev/null | grep -q 'ok installed' || fail "libsdl1.2-dev was not put back"
  echo "$name: classic SDL 1.2 and its -dev package put back"
fi
