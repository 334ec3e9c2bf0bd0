# Shared by e2e.sh and demo.sh (sourced, not run): an X server for Wine's
# windows, the probe that finds and closes the viewer's window from inside
# Wine, and the viewer's working folders in a prefix's temporary directory.
# Callers set: PREFIX (absolute Wine prefix), WORK (a scratch folder), PROBE
# (window_probe.exe) if they use the probe, and must `trap stop_gui EXIT`.

XVFB_PID=""
PROBE_PID=""

# Starts Xvfb on the first free display from :90 and exports DISPLAY; the
# screen is SIZE (default 2560x1440).
start_xvfb() {  # start_xvfb [SIZE]
  local n size=${1:-2560x1440}
  for n in $(seq 90 190); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local tries
    for tries in $(seq 50); do
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.2
    done
    kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""
  done
  echo "wine-gui: could not start Xvfb" >&2
  return 1
}

# Starts the probe in the background: it waits up to TIMEOUT seconds for the
# window of class CLASS titled TITLE and reports into $WORK/probe.out; it
# closes the window once release_probe is called.
#   start_probe TITLE TIMEOUT [--desktop NAME]
start_probe() {
  local title=$1 timeout=$2; shift 2
  rm -f "$WORK/go" "$WORK/probe.out"
  mkfifo "$WORK/go"
  scripts/wine-run.sh "$PREFIX" "$PROBE" "$@" --title "$title" VellumMainWnd "$timeout" \
    <"$WORK/go" >"$WORK/probe.out" 2>"$WORK/probe.err" &
  PROBE_PID=$!
  exec 7>"$WORK/go"
}

# The value of the probe's report line KEY (empty when not reported).
probe_value() { sed -n "s/^$1=//p" "$WORK/probe.out" 2>/dev/null | tr -d '\r' | head -n 1; }

# Polls, up to SECONDS, until the probe has found the window (true) or has
# given up (false).
await_window() {
  local deadline=$((SECONDS + $1))
  while [ $SECONDS -lt $deadline ]; do
    grep -q '^rect=' "$WORK/probe.out" 2>/dev/null && return 0
    kill -0 "$PROBE_PID" 2>/dev/null || return 1
    sleep 2
  done
  return 1
}

# Lets the probe close the window and waits, up to SECONDS, for it to report.
release_probe() {
  exec 7>&-
  await_exit "$PROBE_PID" "$1" && grep -q '^closed' "$WORK/probe.out"
}

# Waits up to SECONDS for the background process PID; true when it ended.
await_exit() {
  local pid=$1 deadline=$((SECONDS + $2))
  while kill -0 "$pid" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 1
  done
  return 0
}

# The unix path of the temporary directory the probe reported (C:\...\Temp\).
probe_temp_dir() {
  local temp; temp=$(probe_value temp)
  temp=${temp#[Cc]:}
  printf '%s/drive_c%s\n' "$PREFIX" "$(printf '%s' "$temp" | tr '\\' '/')"
}

# GUID-named folders ({xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}) in the prefix's
# temporary directories (Wine 8 puts TEMP in the profile; Windows in AppData):
# the viewer's working folders.
guid_folders() {
  find "$PREFIX"/drive_c/users/*/Temp "$PREFIX"/drive_c/users/*/AppData/Local/Temp \
    -mindepth 1 -maxdepth 1 -type d \
    -regextype posix-extended -regex '.*/\{[0-9A-Fa-f-]{36}\}' 2>/dev/null | sort
}

# Ends whatever is still running: closing the probe's input first lets it
# close the window the ordinary way; whatever Wine runs in PREFIX after that
# (the viewer is not our child when a desktop started it) is ended through the
# prefix's wineserver; Xvfb last.
stop_gui() {
  { exec 7>&-; } 2>/dev/null
  local pid left=""
  for pid in $PROBE_PID ${GUI_PID:-}; do
    await_exit "$pid" 20 || left=1
  done
  if [ -n "$left" ]; then
    WINEPREFIX="$PREFIX" wineserver -k 2>/dev/null
    for pid in $PROBE_PID ${GUI_PID:-}; do
      await_exit "$pid" 10 || kill -KILL "$pid" 2>/dev/null
    done
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    await_exit "$XVFB_PID" 10 || kill -KILL "$XVFB_PID" 2>/dev/null
  fi
  PROBE_PID=""; GUI_PID=""; XVFB_PID=""
}

# Runs a 64-bit Wine program (regedit, explorer) in PREFIX directly through the
# 64-bit loader: `wine` would first start the 32-bit loader, which is emulated
# and slow on some machines, only to hand over. The prefix must exist.
wine64_run() {
  WINEPREFIX="$PREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" /usr/lib/wine/wine64 "$@"
}

# The viewer asks for Japanese UI fonts Wine does not have; without a
# replacement every Japanese text is drawn as boxes. Needs WORK.
use_cjk_fonts() {
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for face in "Meiryo UI" "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "MS UI Gothic"; do
      printf '"%s"="Noto Sans CJK JP"\r\n' "$face"
    done
  } >"$WORK/fonts.reg"
  wine64_run regedit /S "$(wine64_run winepath -w "$WORK/fonts.reg" 2>/dev/null)"
}

# Creates PREFIX if it does not exist yet (minutes under emulation), so that
# the waits for the viewer's window do not count it.
ensure_prefix() {
  [ -f "$PREFIX/.vellum-ready" ] || scripts/wine-run.sh "$PREFIX" cmd /c exit >/dev/null 2>&1 || true
}
