#!/usr/bin/env bash
# Installs the Debian packages the project needs, and only those missing.
# Does nothing when everything is present; uses sudo only when not root.
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
)

missing=()
for package in "${PACKAGES[@]}" "$@"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
