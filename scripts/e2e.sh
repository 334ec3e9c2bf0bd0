#!/usr/bin/env bash
# e2e.sh [NATIVE_TREE] [WINDOWS_TREE]   (defaults build/native, build/windows)
# The real viewer driven end to end under Wine on a private Xvfb display:
# prepares one fresh folder per scenario (scripts/e2e-fixtures.sh), then runs
# the cross-built driver, which acts as the user and the desktop and checks what
# the user sees, exit codes and the temporary directory. Screenshots go to
# WINDOWS_TREE/e2e/screenshots, the JUnit report to
# WINDOWS_TREE/test-results/e2e.xml. WINDOWS_TREE is the 32-bit product tree
# or the 64-bit one (build/windows64, where 32-bit code runs only emulated);
# its programs are started by the matching Wine loader. The whole run is
# bounded by a multiple of one process start measured first: a hung run is
# killed and reported as a failure with a screenshot of the screen.
# Environment: VELLUM_E2E_SCENARIOS picks some of titled, untitled, failures,
# twins, shorttemp, endsession, closeloading, planted, heldopen, legacy
# (default all; legacy runs in a second driver run under the Japanese locale
# and a time zone with summer time);
# VELLUM_E2E_BOUND fixes the bound in seconds; VELLUM_E2E_KIT=yes also makes
# the kit for real Windows (scripts/windows-kit.sh) and runs it by run.cmd,
# its report in WINDOWS_TREE/test-results/kit.xml.
set -uo pipefail
cd "$(dirname "$0")/.."
NATIVE=${1:-build/native}
WINDOWS=${2:-build/windows}
read -r -a SCENARIOS <<<"${VELLUM_E2E_SCENARIOS:-}"
DRIVER=$(find "$WINDOWS" -path "$WINDOWS/wineprefix" -prune -o -name e2e_driver.exe -print -quit 2>/dev/null)
PREFIX=$(realpath -m "$WINDOWS/wineprefix")
E2E=$(realpath -m "$WINDOWS/e2e")
FIX=$E2E/fixtures
SHOTS=$E2E/screenshots
RESULTS=$(realpath -m "$WINDOWS/test-results")/e2e.xml
WORK=$(mktemp -d)
GUI_PID=""
# shellcheck source=scripts/wine-gui.sh
source scripts/wine-gui.sh
# shellcheck source=scripts/i386-way.sh
source scripts/i386-way.sh
trap 'stop_gui; rm -rf "$WORK"' EXIT

fail_whole_run() {  # the run could not take place or did not finish: one failed case
  echo "e2e: $1" >&2
  mkdir -p "$(dirname "$RESULTS")"
  printf '<testsuites><testsuite name="e2e" tests="1" failures="1"><testcase classname="e2e" name="%s"><failure/></testcase></testsuite></testsuites>\n' \
    "$1" >"$RESULTS"
  exit 1
}
[ -n "$DRIVER" ] && [ -f "$DRIVER" ] || fail_whole_run "not built: e2e_driver.exe"

# Z: is the Unix root in every Wine prefix.
winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr '/' '\\')"; }

rm -rf "$E2E"
mkdir -p "$FIX" "$SHOTS" "$(dirname "$RESULTS")"
rm -f "$RESULTS" "${RESULTS%.xml}.way"
bash scripts/e2e-fixtures.sh "$NATIVE" "$WINDOWS" "$FIX" || fail_whole_run "the fixtures could not be made"
cp "$(dirname "$DRIVER")/menu_report_hook.dll" "$DRIVER" "$E2E/"

start_xvfb || fail_whole_run "Xvfb did not start"
ensure_prefix
use_cjk_fonts
WAY=$(windows_way "$DRIVER")
echo "end to end $WAY" >"${RESULTS%.xml}.way"
# The bound follows what this machine needs: a process start here costs a
# second natively and a minute or two emulated, and the run starts about a
# dozen viewers.
started=$SECONDS
scripts/wine-run.sh "$PREFIX" "$E2E/e2e_driver.exe" --started || fail_whole_run "the driver does not start"
start_seconds=$((SECONDS - started + 1))
BOUND_SECONDS=${VELLUM_E2E_BOUND:-$((900 + 60 * start_seconds))}
echo "e2e: $WAY; one process start took about ${start_seconds}s; driver running (bound ${BOUND_SECONDS}s)"
# Runs a command under Wine within the bound: run_bounded REPORT [VAR=VALUE...]
# COMMAND...; true when it ended with code 0. REPORT is the JUnit file it
# must have written.
run_bounded() {
  local report=$1 code started=$SECONDS; shift
  env "$@" > >(tee "$WORK/driver.out") 2>"$WORK/driver.err" &
  GUI_PID=$!
  if await_exit "$GUI_PID" "$BOUND_SECONDS"; then
    wait "$GUI_PID"; code=$?
    GUI_PID=""
    echo "e2e: driver ended with code $code after $((SECONDS - started))s; screenshots in $SHOTS"
  else
    # The screen as it is, taken while whatever hangs is still there; Wine's
    # windows are not in the X root's image, so Wine itself reads the screen.
    timeout 120 scripts/wine-run.sh "$PREFIX" "$E2E/e2e_driver.exe" --screenshot "$(winpath "$SHOTS/hung_screen.png")"
    WINEPREFIX="$PREFIX" wineserver -k 2>/dev/null
    fail_whole_run "the run did not finish within ${BOUND_SECONDS}s (screen: $SHOTS/hung_screen.png)"
  fi
  [ -s "$report" ] || { tail -n 20 "$WORK/driver.err"; fail_whole_run "the driver wrote no report (exit code $code)"; }
  [ "$code" = 0 ]
}
# The driver with the scenarios given (none: every one the locale allows)
# under the environment given, reporting into $RESULTS.
run_driver() {
  run_bounded "$RESULTS" "$@" scripts/wine-run.sh "$PREFIX" "$E2E/e2e_driver.exe" "$(winpath "$FIX")" \
    "$(winpath "$SHOTS")" "$(winpath "$RESULTS")" "${RUN_SCENARIOS[@]}"
}

# legacy needs the Japanese locale and summer time: a run of its own. The
# first run's local time differs from UTC (Asia/Tokyo), so the time column
# shows the conversion.
RUN_SCENARIOS=() legacy=yes first=yes
if [ ${#SCENARIOS[@]} -gt 0 ]; then
  legacy="" first=""
  for name in "${SCENARIOS[@]}"; do
    if [ "$name" = legacy ]; then legacy=yes; else RUN_SCENARIOS+=("$name"); first=yes; fi
  done
fi
status=0
REPORTS=()
if [ -n "$first" ]; then
  REPORTS+=("$RESULTS")
  run_driver TZ=Asia/Tokyo || status=1
fi
if [ -n "$legacy" ]; then
  RESULTS=${RESULTS%.xml}-japanese.xml RUN_SCENARIOS=(legacy)
  REPORTS+=("$RESULTS")
  # Wineserver keeps a prefix's locale from its first program: start afresh.
  WINEPREFIX="$PREFIX" wineserver -k 2>/dev/null
  run_driver LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 TZ=Europe/Berlin || status=1
fi
# The kit for real Windows, unzipped into a fresh folder and run as a user
# would start it, by run.cmd; under the Japanese locale and summer time, so
# that every scenario runs in one go. It must pass just what the runs above
# passed, scenario by scenario.
if [ -n "${VELLUM_E2E_KIT:-}" ] && [ ${#SCENARIOS[@]} -eq 0 ]; then
  KIT_RESULTS=$(dirname "$RESULTS")/kit.xml
  bash scripts/windows-kit.sh "$NATIVE" "$WINDOWS" || fail_whole_run "the kit could not be made"
  KIT=$E2E/kit
  rm -rf "$KIT" && mkdir -p "$KIT"
  python3 -m zipfile -e "$WINDOWS/vellum-windows-check.zip" "$KIT"
  KIT=$KIT/vellum-windows-check SHOTS=$KIT/screenshots
  WINEPREFIX="$PREFIX" wineserver -k 2>/dev/null
  echo "e2e: the kit, by run.cmd in $KIT"
  run_bounded "$KIT/results.xml" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 TZ=Europe/Berlin \
    scripts/wine-run.sh "$PREFIX" cmd /c "$(winpath "$KIT/run.cmd")" --no-pause || status=1
  grep -a '^e2e: ' "$WORK/driver.out" | tail -n 1 | sed 's/^e2e:/e2e: the kit:/'
  cp "$KIT/results.xml" "$KIT_RESULTS"
  python3 - "$KIT_RESULTS" "${REPORTS[@]}" <<'PY' || status=1
import collections, sys, xml.etree.ElementTree as ET
def passes(path):
    counts = collections.Counter()
    for case in ET.parse(path).getroot().iter("testcase"):
        if case.find("failure") is None:
            counts[case.get("classname")] += 1
    return counts
kit, runs = passes(sys.argv[1]), collections.Counter()
for report in sys.argv[2:]:  # set-up and the closing check come in each run
    for scenario, n in passes(report).items():
        runs[scenario] = max(runs[scenario], n)
differ = sorted(s for s in set(kit) | set(runs) if kit[s] != runs[s])
for s in differ:
    print(f"e2e: {s}: the kit passed {kit[s]}, the runs above {runs[s]}")
failure = "<failure/>" if differ else ""
with open(sys.argv[1][:-len(".xml")] + "-same.xml", "w") as out:
    out.write('<testsuites><testsuite name="kit"><testcase classname="e2e.kit" '
              f'name="the kit passes what the runs above passed">{failure}</testcase></testsuite></testsuites>\n')
sys.exit(1 if differ else 0)
PY
fi
exit $status
