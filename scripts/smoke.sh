#!/usr/bin/env bash
# smoke.sh [NATIVE_TREE] [WINDOWS_TREE]   (defaults build/native, build/windows)
# The real viewer on a real package: in a fresh folder, vellum.exe renamed
# viewer.exe beside viewer_data sealed with the test key, run under Wine on a
# private Xvfb display. The main window must come up titled with the package's
# title and list its files from a new working folder; closing it must end the
# process with exit code 0 and delete that folder. The results also go to
# WINDOWS_TREE/test-results/smoke.xml for the test summary.
set -uo pipefail
cd "$(dirname "$0")/.."
NATIVE=${1:-build/native}
WINDOWS=${2:-build/windows}
TITLE="Smoke test"
PACKAGE_ZIP=tests/data/viewer_data.zip
WAIT_SECONDS=300  # one Wine process start under emulation takes about a minute

passed=0
failed=0
cases=""  # JUnit test cases, so that the test summary counts the smoke run
xml_text() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g' <<<"$1"; }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  local name; name=$(xml_text "$what")
  if "$@"; then
    echo "ok - $what"; passed=$((passed + 1))
    cases+="<testcase classname=\"smoke\" name=\"$name\"/>"
  else
    echo "not ok - $what"; failed=$((failed + 1))
    cases+="<testcase classname=\"smoke\" name=\"$name\"><failure/></testcase>"
    return 1
  fi
}
finish() {
  echo "smoke: $passed passed, $failed failed"
  mkdir -p "$WINDOWS/test-results"
  printf '<testsuites><testsuite name="smoke" tests="%d" failures="%d">%s</testsuite></testsuites>\n' \
    $((passed + failed)) "$failed" "$cases" >"$WINDOWS/test-results/smoke.xml"
  [ "$failed" = 0 ] && exit 0
  for log in probe.out probe.err viewer.err; do
    [ -s "$WORK/$log" ] && { echo "--- $log"; tail -n 20 "$WORK/$log"; }
  done
  exit 1
}

VIEWER=$(find "$WINDOWS" -path "$WINDOWS/wineprefix" -prune -o -name vellum.exe -print -quit 2>/dev/null)
PROBE=$(find "$WINDOWS" -path "$WINDOWS/wineprefix" -prune -o -name window_probe.exe -print -quit 2>/dev/null)
SEAL=$NATIVE/tools/vellum-seal
PREFIX=$(realpath -m "$WINDOWS/wineprefix")
WORK=$(mktemp -d)
GUI_PID=""
# shellcheck source=scripts/wine-gui.sh
source scripts/wine-gui.sh
trap 'stop_gui; rm -rf "$WORK"' EXIT

built_present() {
  local built
  for built in "$VIEWER" "$PROBE" "$SEAL"; do [ -n "$built" ] && [ -x "$built" ] || return 1; done
}
check "vellum.exe, window_probe.exe and vellum-seal built" built_present || finish
PROBE=$(realpath "$PROBE")

cp "$VIEWER" "$WORK/viewer.exe"
seal_package() {
  "$SEAL" seal --key keys/test_private_key.pem --name viewer_data --title "$TITLE" \
    "$PACKAGE_ZIP" "$WORK/viewer_data" >/dev/null
}
check "package sealed with the test key" seal_package
check "Xvfb started" start_xvfb || finish
ensure_prefix

before=$(guid_folders)
scripts/wine-run.sh "$PREFIX" "$WORK/viewer.exe" >/dev/null 2>"$WORK/viewer.err" &
GUI_PID=$!
start_probe "viewer - $TITLE" "$WAIT_SECONDS"

await_window $((WAIT_SECONDS + 300))  # the probe's own wait starts once Wine has started it
seen=$(probe_value title)
check "window VellumMainWnd titled \"viewer - $TITLE\" (seen: \"$seen\")" \
  test "$seen" = "viewer - $TITLE"
expected_files=$(unzip -Z1 "$PACKAGE_ZIP" | grep -v / | sort)
check "list shows the archive's $(echo "$expected_files" | wc -l) top-level files (rows: $(probe_value rows))" \
  test "$(probe_value rows)" = "$(echo "$expected_files" | wc -l)"
temp_dir=$(probe_temp_dir)
opened=$(comm -13 <(echo "$before") <(guid_folders))
check "one new working folder in $temp_dir" \
  test "$(echo "$opened" | grep -c .)" = 1 -a "$(dirname "$opened" 2>/dev/null)" = "${temp_dir%/}"
check "working folder holds exactly those files" \
  test "$(ls -A "$opened" 2>/dev/null | sort)" = "$expected_files"

check "window closed by WM_CLOSE" release_probe 120
code="none: still running"
if check "viewer process ended" await_exit "$GUI_PID" 120; then
  wait "$GUI_PID"; code=$?
  GUI_PID=""
fi
check "exit code 0 (got $code)" test "$code" = 0
check "working folder deleted" test -n "$opened" -a ! -e "$opened"
check "no working folder or temporary archive left behind" \
  test -z "$(comm -13 <(echo "$before") <(guid_folders))" -a -z "$(ls "${opened}.zip" 2>/dev/null)"
finish
