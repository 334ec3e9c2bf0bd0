#!/usr/bin/env bash
# Installs everything both builds and the tests need on a fresh Debian 12 machine.
# Idempotent: packages already present are skipped. A partly failing
# `apt-get update` (e.g. an i386 index out of sync) is tolerated; whatever
# could not be installed is listed at the end and the script exits non-zero.
set -u

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# Native build, tests, benchmarks, the publisher's tool and the fuzzers (clang).
NATIVE_PKGS="build-essential cmake ninja-build googletest libgtest-dev libgmock-dev
  libbenchmark-dev zlib1g-dev libssl-dev openssl python3 python3-cryptography zip unzip
  clang libclang-rt-14-dev"
# Windows cross build and running it.
CROSS_PKGS="g++-mingw-w64-i686 binutils-mingw-w64-i686 libz-mingw-w64-dev"
# The viewer's window under Wine: an X server, finding its window, screenshots,
# and a font with Japanese glyphs.
GUI_PKGS="xvfb x11-utils x11-apps xdotool netpbm fonts-noto-cjk"
WINE_PKGS="wine wine32:i386 wine64"

missing() {  # prints the packages of "$@" that are not installed
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

# Some virtual machines cannot execute 32-bit x86 code at all (wine32's loader
# then fails with "Exec format error"). There, qemu's user-mode emulator is
# registered for 32-bit ELF so wine32 runs, slowly but faithfully.
runs_i386() { [ -x /lib/i386-linux-gnu/ld-linux.so.2 ] && /lib/i386-linux-gnu/ld-linux.so.2 --help >/dev/null 2>&1; }
register_i386_emulation() {
  runs_i386 && return 0
  [ -e /proc/sys/fs/binfmt_misc/register ] || $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || return 1
  [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && $SUDO sh -c 'echo -1 > /proc/sys/fs/binfmt_misc/qemu-i386'
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    | $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null || return 1
  runs_i386 && echo "setup: 32-bit x86 code runs through qemu-i386-static on this machine"
}

# shellcheck disable=SC2086
need=$(missing $NATIVE_PKGS $CROSS_PKGS $GUI_PKGS $WINE_PKGS)
if [ -z "$need" ] && { runs_i386 || [ -z "$(missing qemu-user-static)" ]; }; then
  register_i386_emulation || { echo "setup: could NOT make 32-bit x86 code run" >&2; exit 1; }
  echo "setup: all packages present"
  exit 0
fi
echo "setup: installing:" $need

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
# A failing index (one architecture's mirror in sync) must not stop us:
# the other indexes are still refreshed and usually suffice.
$SUDO apt-get update -q || echo "setup: apt-get update reported errors; continuing with what it fetched"

failed=""
install() {  # install what is still missing of "$@", one by one if the batch fails
  local todo; todo=$(missing "$@")
  [ -z "$todo" ] && return 0
  # shellcheck disable=SC2086
  if ! $SUDO apt-get install -y -q --no-install-recommends $todo; then
    for p in $todo; do
      $SUDO apt-get install -y -q --no-install-recommends "$p" || failed="$failed $p"
    done
  fi
}
# shellcheck disable=SC2086
install $NATIVE_PKGS
# shellcheck disable=SC2086
install $CROSS_PKGS
# shellcheck disable=SC2086
install $GUI_PKGS
# shellcheck disable=SC2086
if [ -n "$(missing $WINE_PKGS)" ]; then
  # Pinning the release lets apt resolve wine32's i386 dependencies even when
  # the i386 index of the updates suite is stale.
  $SUDO apt-get install -y -q -t bookworm --no-install-recommends $WINE_PKGS \
    || install $WINE_PKGS
fi

runs_i386 || install qemu-user-static
register_i386_emulation || failed="$failed (32-bit-x86-emulation)"

# shellcheck disable=SC2086
still=$(missing $NATIVE_PKGS $CROSS_PKGS $GUI_PKGS $WINE_PKGS)$failed
if [ -n "$still" ]; then
  echo "setup: could NOT install:" $still >&2
  exit 1
fi
echo "setup: done"
