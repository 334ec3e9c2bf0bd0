#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARGS...]
# Runs a cross-built program under Wine in PREFIX, creating the prefix on first
# use (about 30 s) and reusing it afterwards. Exits with the program's code.
set -eu
prefix=$1; shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
# Never stop to offer Mono or Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.vellum-ready" ]; then
    echo "wine-run: creating Wine prefix $prefix" >&2
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
    touch "$prefix/.vellum-ready"
  fi
) 9>"$prefix.lock"
exec wine "$@"
