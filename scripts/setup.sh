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
  clang libclang-rt-14-dev osslsigncode"
# Windows cross build and running it.
CROSS_PKGS="g++-mingw-w64-i686 binutils-mingw-w64-i686 libz-mingw-w64-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64"
# The viewer's window under Wine: an X server, finding its window, screenshots,
# a font with Japanese glyphs, and the Japanese locale its users run.
GUI_PKGS="xvfb x11-utils x11-apps xdotool netpbm fonts-noto-cjk locales"
WINE_PKGS="wine wine32:i386 wine64"

missing() {  # prints the packages of "$@" that are not installed
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

# Some virtual machines cannot execute 32-bit x86 code at all (wine32's loader
# then fails with "Exec format error"). There, qemu's user-mode emulator is
# registered for 32-bit ELF so wine32 runs, slowly but faithfully.
# VELLUM_I386=emulated registers it everywhere, VELLUM_I386=native takes it
# back where the kernel can do without (scripts/i386-way.sh).
# shellcheck source=scripts/i386-way.sh
source "$(dirname "$0")/i386-way.sh"
emulator_needed() { [ "${VELLUM_I386:-}" = emulated ] || ! i386_runs; }
register_i386_emulation() {
  emulator_needed || return 0
  i386_emulator_on && return 0
  [ -e /proc/sys/fs/binfmt_misc/register ] || $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || return 1
  [ -e "$I386_BINFMT" ] && $SUDO sh -c "echo -1 > $I386_BINFMT"
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    | $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null || return 1
  i386_runs && echo "setup: 32-bit x86 code runs through qemu-i386-static on this machine"
}
# VELLUM_I386=native: an emulator registered earlier is switched off when the
# kernel runs 32-bit code without it, and left on otherwise.
if [ "${VELLUM_I386:-}" = native ] && i386_emulator_on; then
  $SUDO sh -c "echo 0 > $I386_BINFMT"
  if i386_runs; then
    echo "setup: the emulator is off; 32-bit x86 code runs natively"
  else
    $SUDO sh -c "echo 1 > $I386_BINFMT"
    echo "setup: this machine cannot run 32-bit x86 code natively; the emulator stays" >&2
  fi
fi

# ja_JP.UTF-8: Wine then takes Japanese Windows' code pages (932) and formats.
japanese_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
  $SUDO localedef -i ja_JP -c -f UTF-8 -A /usr/share/locale/locale.alias ja_JP.UTF-8 && echo "setup: made the ja_JP.UTF-8 locale"
}

# shellcheck disable=SC2086
need=$(missing $NATIVE_PKGS $CROSS_PKGS $GUI_PKGS $WINE_PKGS)
if [ -z "$need" ] && { ! emulator_needed || [ -z "$(missing qemu-user-static)" ]; }; then
  register_i386_emulation || { echo "setup: could NOT make 32-bit x86 code run" >&2; exit 1; }
  japanese_locale || { echo "setup: could NOT make the ja_JP.UTF-8 locale" >&2; exit 1; }
  echo "setup: all packages present; $(i386_way_text)"
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

emulator_needed && install qemu-user-static
register_i386_emulation || failed="$failed (32-bit-x86-emulation)"
japanese_locale || failed="$failed (ja_JP.UTF-8-locale)"

# shellcheck disable=SC2086
still=$(missing $NATIVE_PKGS $CROSS_PKGS $GUI_PKGS $WINE_PKGS)$failed
if [ -n "$still" ]; then
  echo "setup: could NOT install:" $still >&2
  exit 1
fi
echo "setup: done; $(i386_way_text)"
