# How this machine runs 32-bit x86 code (sourced, not run). Some machines run
# it natively; others have no 32-bit support in the kernel, and there the
# set-up script registers qemu's user-mode emulator for 32-bit ELF, which
# wine32 then runs through at a minute or two per process start.
#
# VELLUM_I386=emulated makes the set-up script register the emulator even
# where the kernel could run 32-bit code itself (binfmt_misc comes before the
# kernel's own ELF loader), so that the slow kind's path is exercised and
# timed on any machine; VELLUM_I386=native takes that registration back where
# the kernel can do without it. Either lasts until changed or the machine
# restarts.

I386_BINFMT=/proc/sys/fs/binfmt_misc/qemu-i386

i386_runs() { [ -x /lib/i386-linux-gnu/ld-linux.so.2 ] && /lib/i386-linux-gnu/ld-linux.so.2 --help >/dev/null 2>&1; }
i386_emulator_on() { [ -r "$I386_BINFMT" ] && [ "$(head -n 1 "$I386_BINFMT")" = enabled ]; }

# native, emulated, or none
i386_way() {
  if ! i386_runs; then echo none
  elif i386_emulator_on; then echo emulated
  else echo native
  fi
}

# The ways the end-to-end run takes: 32 (the product's own 32-bit viewer and
# driver under wine32) and 64 (the same sources built for 64-bit Windows, run
# by wine64, which needs no 32-bit code on the host). Where 32-bit code runs
# natively both are run, so that a difference between them shows; where it
# runs only emulated, 64 alone (the 32-bit run would take half an hour).
# VELLUM_E2E_WAYS="32", "64" or "32 64" chooses.
e2e_ways() {
  if [ -n "${VELLUM_E2E_WAYS:-}" ]; then echo "$VELLUM_E2E_WAYS"
  elif [ "$(i386_way)" = native ]; then echo "32 64"
  else echo 64
  fi
}

# One line for logs: what was proven where.
i386_way_text() {
  case "$(i386_way)" in
    native) echo "32-bit x86 code runs natively on this machine" ;;
    emulated) echo "32-bit x86 code runs only emulated on this machine (qemu-i386)" ;;
    *) echo "32-bit x86 code does not run on this machine" ;;
  esac
}

# The machine field of a PE file's header: 8664 for x86-64, 014c for x86.
pe_machine() {
  local offset
  offset=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ') || return 0
  [ -n "$offset" ] && od -An -t x2 -j $((offset + 4)) -N 2 "$1" 2>/dev/null | tr -d ' '
}

# How a Windows program runs here: "64-bit", "32-bit native" or "32-bit emulated".
windows_way() {
  if [ "$(pe_machine "$1")" = 8664 ]; then echo 64-bit; else echo "32-bit $(i386_way)"; fi
}
