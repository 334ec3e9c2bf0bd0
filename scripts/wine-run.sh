#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARGS...]
# Runs a Windows program under Wine in PREFIX, creating the prefix on first
# use (about 30 s) and reusing it afterwards. Exits with the program's code.
# A 64-bit program, and Wine's own programs (cmd, regedit: no such file
# here), go straight to the 64-bit loader: plain `wine` first starts the
# 32-bit loader, which costs a minute or two where 32-bit x86 code runs only
# emulated.
set -eu
prefix=$1; shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
# Never stop to offer Mono or Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE64=/usr/lib/wine/wine64

# shellcheck source=scripts/i386-way.sh
source "$(dirname "$0")/i386-way.sh"
loader=wine
if [ -x "$WINE64" ] && { [ ! -f "$1" ] || [ "$(pe_machine "$1")" = 8664 ]; }; then
  loader=$WINE64
fi

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.vellum-ready" ]; then
    echo "wine-run: creating Wine prefix $prefix" >&2
    if [ -x "$WINE64" ]; then "$WINE64" wineboot -i >/dev/null 2>&1 || true; else wineboot -i >/dev/null 2>&1 || true; fi
    wineserver -w || true
    touch "$prefix/.vellum-ready"
  fi
) 9>"$prefix.lock"
exec "$loader" "$@"
