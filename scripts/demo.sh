#!/usr/bin/env bash
# demo.sh [NATIVE_TREE] [WINDOWS_TREE]   (defaults build/native, build/windows)
# Seals the example files in demo/ as viewer_data beside vellum.exe renamed
# viewer.exe in build/demo/, runs it under Wine in a virtual desktop (on
# $DISPLAY when there is one, else on a private Xvfb) in the Japanese locale,
# waits for its window, saves a screenshot of it to build/demo/screenshot.png
# and closes it; then the same at 144 DPI (build/demo/screenshot-144dpi.png).
set -euo pipefail
cd "$(dirname "$0")/.."
NATIVE=${1:-build/native}
WINDOWS=${2:-build/windows}
TITLE="デモ資料"
DESKTOP=vellum-demo
DEMO=$PWD/build/demo

VIEWER=$(find "$WINDOWS" -path "$WINDOWS/wineprefix" -prune -o -name vellum.exe -print -quit)
PROBE=$(realpath "$(find "$WINDOWS" -path "$WINDOWS/wineprefix" -prune -o -name window_probe.exe -print -quit)")
PREFIX=$(realpath -m "$WINDOWS/wineprefix")
WORK=$(mktemp -d)
GUI_PID=""
# shellcheck source=scripts/wine-gui.sh
source scripts/wine-gui.sh
trap 'stop_gui; rm -rf "$WORK"' EXIT

rm -rf "$DEMO"
mkdir -p "$DEMO"
cp "$VIEWER" "$DEMO/viewer.exe"
"$NATIVE/tools/vellum-seal" seal --key keys/test_private_key.pem --name viewer_data \
  --title "$TITLE" demo "$DEMO/viewer_data"

# As its users see it: Japanese Windows' formats and code pages (the time
# column reads 2026/12/10 13:04:46). Wine's programs take the locale from
# their environment; none started earlier in another may still run.
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
WINEPREFIX="$PREFIX" wineserver -k 2>/dev/null || true
ensure_prefix
use_cjk_fonts

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "demo: on display $DISPLAY"
else
  start_xvfb 3840x2160  # a 4K screen, as high-DPI screens are
  echo "demo: on a private Xvfb display $DISPLAY"
fi

# Windows opens the window at three quarters of the desktop; its four columns
# need about 1600 pixels at the font Wine substitutes at 96 DPI, half as much
# again at 144. desktop_size WIDTH HEIGHT: a desktop of at most that size
# that fits the screen.
read -r screen_width screen_height < <(xdpyinfo | sed -nE 's/^ *dimensions: *([0-9]+)x([0-9]+).*/\1 \2/p' | head -n 1)
desktop_size() {
  echo "$(( screen_width - 100 < $1 ? screen_width - 100 : $1 ))x$(( screen_height - 100 < $2 ? screen_height - 100 : $2 ))"
}

# The wait follows what this machine needs: one start of a 32-bit program
# (the probe, which ends at once without arguments) takes a second natively
# and a minute or two emulated.
started=$SECONDS
scripts/wine-run.sh "$PREFIX" "$PROBE" >/dev/null 2>&1 || true
WAIT_SECONDS=$((120 + 10 * (SECONDS - started + 1)))
echo "demo: starting the viewer (one process start took about $((SECONDS - started))s; waiting up to ${WAIT_SECONDS}s)"
# Shows the viewer in the virtual desktop, saves a screenshot of its window
# as PNG, and closes it.
show_viewer() {  # show_viewer PNG DESKTOP_SIZE
  wine64_run explorer "/desktop=$DESKTOP,$2" "$DEMO/viewer.exe" >/dev/null 2>&1 &
  GUI_PID=$!
  start_probe "viewer - $TITLE" "$WAIT_SECONDS" --desktop "$DESKTOP"
  if ! await_window $((2 * WAIT_SECONDS)); then  # the probe waits once Wine has started it
    echo "demo: the viewer's window did not appear" >&2
    cat "$WORK/probe.out" "$WORK/probe.err" >&2
    exit 1
  fi
  echo "demo: window \"$(probe_value title)\" lists $(probe_value rows) files"
  sleep 5  # let the list paint its rows and icons

  # The virtual desktop is one X window; crop the viewer's frame out of it.
  desktop_window=$(xdotool search --name "^$DESKTOP - " 2>/dev/null | head -n 1)
  if [ -n "$desktop_window" ]; then source_window=(-id "$desktop_window"); else source_window=(-root); fi
  xwd -silent "${source_window[@]}" | xwdtopnm 2>/dev/null >"$WORK/desktop.ppm"
  read -r width height < <(pnmfile "$WORK/desktop.ppm" | sed -E 's/.* ([0-9]+) by ([0-9]+).*/\1 \2/')
  read -r left top right bottom <<<"$(probe_value rect)"
  clamp() { local v=$1; [ "$v" -lt 0 ] && v=0; [ "$v" -gt "$2" ] && v=$2; echo "$v"; }
  left=$(clamp "$left" "$width"); right=$(clamp "$right" "$width")
  top=$(clamp "$top" "$height"); bottom=$(clamp "$bottom" "$height")
  pnmcut -left "$left" -top "$top" -width $((right - left)) -height $((bottom - top)) \
    "$WORK/desktop.ppm" | pnmtopng >"$1" 2>/dev/null
  echo "demo: screenshot saved to $1"

  release_probe 120 || echo "demo: the window did not close" >&2
  await_exit "$GUI_PID" 60 || true
}

# Wine's screen resolution in dots per inch (96 is Windows' default).
set_dpi() {
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n' "$1" >"$WORK/dpi.reg"
  printf '\r\n[HKEY_CURRENT_CONFIG\\Software\\Fonts]\r\n"LogPixels"=dword:%08x\r\n' "$1" >>"$WORK/dpi.reg"
  wine64_run regedit /S "$(wine64_run winepath -w "$WORK/dpi.reg" 2>/dev/null)"
}

show_viewer "$DEMO/screenshot.png" "$(desktop_size 2400 1200)"
# The same at 144 DPI (150 %), as on a 4K screen: the font follows the
# screen and the columns keep their proportions.
set_dpi 144
WINEPREFIX="$PREFIX" wineserver -k 2>/dev/null || true
show_viewer "$DEMO/screenshot-144dpi.png" "$(desktop_size 3740 2060)"
set_dpi 96
