#!/usr/bin/env bash
# e2e.sh [NATIVE_TREE] [WINDOWS_TREE]   (defaults build/native, build/windows)
# The real viewer driven end to end under Wine on a private Xvfb display:
# prepares one fresh folder per scenario (renamed copies of vellum.exe beside
# packages sealed by the tool, or broken on purpose), then runs the
# cross-built driver, which acts as the user and the desktop and checks what
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
# VELLUM_E2E_BOUND fixes the bound in seconds.
set -uo pipefail
cd "$(dirname "$0")/.."
NATIVE=${1:-build/native}
WINDOWS=${2:-build/windows}
read -r -a SCENARIOS <<<"${VELLUM_E2E_SCENARIOS:-}"
TITLE="E2E テスト用パッケージ"

SEAL=$NATIVE/tools/vellum-seal
find_built() { find "$WINDOWS" -path "$WINDOWS/wineprefix" -prune -o -name "$1" -print -quit 2>/dev/null; }
VIEWER=$(find_built vellum.exe)
DRIVER=$(find_built e2e_driver.exe)
PLANTED_DLL=$(find_built planted_version_dll.dll)
UNRESTRICTED=$(find_built vellum_unrestricted.exe)
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
for built in "$SEAL" "$VIEWER" "$DRIVER" "$PLANTED_DLL" "$UNRESTRICTED"; do
  [ -n "$built" ] && [ -f "$built" ] ||
    fail_whole_run "not built: vellum-seal, vellum.exe, e2e_driver.exe, planted_version_dll.dll or vellum_unrestricted.exe"
done

# Z: is the Unix root in every Wine prefix.
winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr '/' '\\')"; }

# The archive: top-level files of several kinds and sizes with known times,
# and folders whose files the viewer must not list.
rm -rf "$E2E"
mkdir -p "$FIX/src/sub/deeper" "$SHOTS" "$(dirname "$RESULTS")"
rm -f "$RESULTS" "${RESULTS%.xml}.way"
printf 'hello from the e2e run\r\n' >"$FIX/src/readme.txt"
printf 'name,value\r\nalpha,1\r\n' >"$FIX/src/データ.csv"
: >"$FIX/src/empty.bin"
head -c 70000 /dev/urandom >"$FIX/src/big.bin"
printf 'inside a folder\n' >"$FIX/src/sub/inner.txt"
printf 'deeper\n' >"$FIX/src/sub/deeper/x.txt"
stamp=1709677800  # 2024-03-05 22:30:00 UTC: already the next day in Tokyo
{
  printf 'title\t%s\n' "$TITLE"
  for file in readme.txt データ.csv empty.bin big.bin; do
    touch -d "@$stamp" "$FIX/src/$file"
    printf 'file\t%s\t%s\t%s\n' "$file" "$(stat -c %s "$FIX/src/$file")" \
      "$(TZ=Asia/Tokyo date -d "@$stamp" '+%Y %-m %-d %-H %-M %-S')"
    stamp=$((stamp + 86400 * 40 + 3661))
  done
} >"$WORK/expected.txt"

scenario() {  # scenario FOLDER EXE_NAME: a fresh folder with a renamed copy of the viewer
  mkdir -p "$FIX/$1" && cp "$VIEWER" "$FIX/$1/$2"
}
seal() {  # seal OUTPUT [--title T]: the archive of $FIX/src (or of $SOURCE)
  local out=$1; shift
  "$SEAL" seal --key keys/test_private_key.pem --name viewer_data "$@" "${SOURCE:-$FIX/src}" "$out" >/dev/null
}
scenario titled viewer.exe && seal "$FIX/titled/viewer_data" --title "$TITLE" || fail_whole_run "sealing failed"
cp "$WORK/expected.txt" "$FIX/titled/expected.txt"
scenario untitled viewer.exe && seal "$FIX/untitled/viewer_data"
scenario missing viewer.exe
scenario tiny viewer.exe && head -c 100 /dev/urandom >"$FIX/tiny/viewer_data"
scenario flipped viewer.exe && cp "$FIX/titled/viewer_data" "$FIX/flipped/viewer_data"
/usr/bin/python3 - "$FIX/flipped/viewer_data" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
data[len(data) // 2] ^= 0x10  # one bit in the middle of the payload
open(path, "wb").write(data)
PY
scenario truncated viewer.exe && head -c -100 "$FIX/titled/viewer_data" >"$FIX/truncated/viewer_data"
scenario othername other.exe && cp "$FIX/titled/viewer_data" "$FIX/othername/other_data"
scenario renamedpackage viewer.exe && cp "$FIX/titled/viewer_data" "$FIX/renamedpackage/other_data"
for name in twins heldopen shorttemp endsession; do
  scenario $name viewer.exe && cp "$FIX/titled/viewer_data" "$FIX/$name/"
done
# A DLL named like a system one beside the viewer, as anyone can leave one in
# a downloads folder; beside a copy of the viewer that does not restrict the
# DLL search too, which must load it.
for name in planted plantedunrestricted; do
  mkdir -p "$FIX/$name" && cp "$FIX/titled/viewer_data" "$PLANTED_DLL" "$FIX/$name/"
  mv "$FIX/$name/$(basename "$PLANTED_DLL")" "$FIX/$name/version.dll"
done
cp "$VIEWER" "$FIX/planted/viewer.exe" && cp "$UNRESTRICTED" "$FIX/plantedunrestricted/viewer.exe"
# An archive as Japanese Windows makes them: Shift_JIS names without the
# UTF-8 flag (the trail byte of 表 is 0x5C) and DOS times of a winter and a
# summer day, 10:00 local.
/usr/bin/python3 - "$WORK/legacy.zip" <<'PY'
import sys, zipfile
class ShiftJis(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode("cp932"), self.flag_bits
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    for name, month in (("見積.txt", 1), ("表.txt", 7)):
        entry = ShiftJis(name, (2024, month, 15, 10, 0, 0))
        entry.create_system = 0  # MS-DOS, as Windows writes
        archive.writestr(entry, name + "\r\n")
PY
scenario legacy viewer.exe && SOURCE="$WORK/legacy.zip" seal "$FIX/legacy/viewer_data" || fail_whole_run "sealing failed"
# A package that takes seconds to unpack (a gibibyte of zeros, small sealed),
# so that a close can come while it loads.
mkdir -p "$WORK/big" && truncate -s 1G "$WORK/big/zeros.bin"
scenario bigpackage viewer.exe && SOURCE="$WORK/big" seal "$FIX/bigpackage/viewer_data" || fail_whole_run "sealing failed"
cp "$(dirname "$DRIVER")/menu_report_hook.dll" "$DRIVER" "$E2E/"

start_xvfb || fail_whole_run "Xvfb did not start"
ensure_prefix
use_cjk_fonts
# Local time differs from UTC (Asia/Tokyo), so the time column shows the
# conversion.
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
# Runs the driver with the scenarios given (none: every one run in the
# ordinary locale) under the environment given, reporting into $RESULTS.
run_driver() {
  local code started=$SECONDS
  env "$@" scripts/wine-run.sh "$PREFIX" "$E2E/e2e_driver.exe" "$(winpath "$FIX")" "$(winpath "$SHOTS")" \
    "$(winpath "$RESULTS")" "${RUN_SCENARIOS[@]}" > >(tee "$WORK/driver.out") 2>"$WORK/driver.err" &
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
  [ -s "$RESULTS" ] || { tail -n 20 "$WORK/driver.err"; fail_whole_run "the driver wrote no report (exit code $code)"; }
  [ "$code" = 0 ]
}

# legacy needs the Japanese locale and summer time: a run of its own.
RUN_SCENARIOS=() legacy=yes first=yes
if [ ${#SCENARIOS[@]} -gt 0 ]; then
  legacy="" first=""
  for name in "${SCENARIOS[@]}"; do
    if [ "$name" = legacy ]; then legacy=yes; else RUN_SCENARIOS+=("$name"); first=yes; fi
  done
fi
status=0
if [ -n "$first" ]; then
  run_driver TZ=Asia/Tokyo || status=1
fi
if [ -n "$legacy" ]; then
  RESULTS=${RESULTS%.xml}-japanese.xml RUN_SCENARIOS=(legacy)
  # Wineserver keeps a prefix's locale from its first program: start afresh.
  WINEPREFIX="$PREFIX" wineserver -k 2>/dev/null
  run_driver LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 TZ=Europe/Berlin || status=1
fi
exit $status
