#!/usr/bin/env bash
# Runs a command in this repository inside a private Debian root of the
# system's own release, made from the signed archive alone: its release and
# updates suites, amd64 and i386 at one version each.
#   scripts/cross-root.sh COMMAND [ARGUMENTS...]
# The cross builds need i386 libraries installed beside the system's amd64
# ones at the very same versions. When the system's libraries come from the
# security suite and that suite's i386 index fails its check (a mirror in
# the middle of a sync), no such pair can be installed safely: the only ways
# round are to downgrade the security updates or to trust an unchecked index.
# The root needs neither, and leaves the system's packages alone.
# Needs root (debootstrap, chroot, mounts). The root is made once and kept in
# LANTERNFAY_CROSS_ROOT (default ~/.cache/lanternfay/cross-root); the mounts
# live in a mount namespace of their own, so they end with the command.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
target=${LANTERNFAY_CROSS_ROOT:-${HOME:-/root}/.cache/lanternfay/cross-root}
[[ $# -gt 0 ]] || { echo "usage: scripts/cross-root.sh COMMAND [ARGUMENTS...]" >&2; exit 2; }
[[ $(id -u) -eq 0 ]] || { echo "cross-root: needs root (debootstrap, chroot and mounts)" >&2; exit 1; }

# The system's own archive, as its apt sources name it (deb822 or one-line).
archive_uri() {
  { awk '/^URIs:/ { for (i = 2; i <= NF; i++) print $i }' /etc/apt/sources.list.d/*.sources 2>/dev/null || true
    sed -nE 's/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+).*/\2/p' /etc/apt/sources.list 2>/dev/null || true
  } | sed -n 's:/$::; \:/debian$:p' | awk 'NR == 1'
}

make_root() {
  local release uri fresh=$target.new
  release=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
  uri=$(archive_uri)
  [[ -n "$uri" ]] || { echo "cross-root: no Debian archive among this system's apt sources" >&2; exit 1; }
  command -v debootstrap >/dev/null 2>&1 ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
  echo "cross-root: making a $release root from $uri in $target"
  # An earlier run cut short may have left debootstrap's mounts in it: never
  # follow those into the system's own file systems.
  rm -rf --one-file-system "$fresh"
  mkdir -p "$(dirname "$target")"
  debootstrap --variant=minbase --arch=amd64 "$release" "$fresh" "$uri" >"$fresh.log" 2>&1 ||
    { tail -n 20 "$fresh.log" >&2; exit 1; }
  cat >"$fresh/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb deb-src
URIs: $uri
Suites: $release $release-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  rm -f "$fresh/etc/apt/sources.list" "$fresh.log"
  chroot "$fresh" dpkg --add-architecture i386
  mv "$fresh" "$target"
}
[[ -f "$target/etc/apt/sources.list.d/debian.sources" ]] || make_root
cp /etc/resolv.conf "$target/etc/resolv.conf" 2>/dev/null || true

# In the namespace: the kernel's file systems, the devices, and this
# repository at its own path, so the build folders' paths hold inside too.
inside() {
  local target=$1 repo=$2
  shift 2
  mount --make-rprivate /
  mount -t proc proc "$target/proc"
  mount --rbind /sys "$target/sys"
  mount --rbind /dev "$target/dev"
  mkdir -p "$target$repo"
  mount --bind "$repo" "$target$repo"
  exec chroot "$target" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c 'cd "$1" && shift && exec "$@"' bash "$repo" "$@"
}
exec unshare --mount -- bash -c "$(declare -f inside); inside \"\$@\"" bash "$target" "$repo" "$@"
