# x86_32.bash — how this machine runs 32-bit x86 programs (sourced by the cross scripts).
# Some kernels are built without their 32-bit x86 support: every i386
# program then fails with "Exec format error". There the i386 build runs
# under qemu's user-mode emulation (Debian's qemu-user), registered with the
# kernel's binfmt_misc so that CTest and the scripts start its programs as
# usual. Wine needs the kernel's own 32-bit support and cannot run at all
# there: the Windows build is still made, packed and checked, but not run.

# x86_32_mode : prints "native", "emulated" or "none".
x86_32_mode() {
  local probe mode=none
  probe=$(mktemp -d)
  printf 'int main(void) { return 0; }\n' >"$probe/probe.c"
  if gcc -m32 -o "$probe/probe" "$probe/probe.c" 2>/dev/null; then
    # The kernel alone: an emulator registered earlier (by an earlier run)
    # is switched off while the probe runs.
    local entry emulators=()
    for entry in /proc/sys/fs/binfmt_misc/*; do
      grep -qsx "interpreter .*/qemu-i386" "$entry" && grep -qsx enabled "$entry" && emulators+=("$entry")
    done
    for entry in "${emulators[@]}"; do echo 0 >"$entry" 2>/dev/null; done
    "$probe/probe" 2>/dev/null && mode=native
    for entry in "${emulators[@]}"; do echo 1 >"$entry" 2>/dev/null; done
    if [[ $mode != native ]] && x86_32_register_qemu && "$probe/probe" 2>/dev/null; then
      mode=emulated
    fi
  fi
  rm -rf "$probe"
  echo "$mode"
}

# x86_32_register_qemu : hands i386 ELF programs to qemu-i386 (needs root).
x86_32_register_qemu() {
  local misc=/proc/sys/fs/binfmt_misc qemu
  qemu=$(command -v qemu-i386) || return 1
  [[ -e $misc/register ]] || mount -t binfmt_misc binfmt_misc "$misc" 2>/dev/null || return 1
  [[ -e $misc/lanternfay-i386 ]] && return 0
  # The i386 ELF header of an executable or shared object, and its mask.
  echo ':lanternfay-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':' \
    >"$misc/register" 2>/dev/null
}
