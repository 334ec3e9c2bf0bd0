#!/usr/bin/env bash
# windows-kit.sh [NATIVE_TREE] [WINDOWS_TREE]   (defaults build/native, build/windows)
# The end-to-end run for a real Windows machine, as one file:
# WINDOWS_TREE/vellum-windows-check.zip holds a folder per scenario (the
# viewer beside its package, made by scripts/e2e-fixtures.sh), the driver
# with its hook DLL, and run.cmd. Unzipped anywhere on Windows 7 to 11 and
# started with a double-click, run.cmd runs every scenario on the desktop it
# finds, leaves results.tap, results.xml and the screenshots beside itself
# and ends with the summary line. The driver works out what it expects
# itself (local times in the machine's zone, its temporary directory), and
# notes which way the viewer took where the shell decides: its ZIP folder or
# the built-in reader, its data object or the folder's own. From the 32-bit
# tree the kit runs on x86 and x64 Windows alike. e2e.sh with
# VELLUM_E2E_KIT=yes runs the kit under Wine as a test.
set -euo pipefail
cd "$(dirname "$0")/.."
NATIVE=${1:-build/native}
WINDOWS=${2:-build/windows}
find_built() { find "$WINDOWS" -path "$WINDOWS/wineprefix" -prune -o -path "$WINDOWS/e2e" -prune -o -name "$1" -print -quit; }
DRIVER=$(find_built e2e_driver.exe)
HOOK=$(find_built menu_report_hook.dll)
[ -n "$DRIVER" ] && [ -n "$HOOK" ] || { echo "windows-kit: not built: e2e_driver.exe, menu_report_hook.dll" >&2; exit 1; }
ZIP=$(realpath -m "$WINDOWS/vellum-windows-check.zip")
STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
KIT=$STAGE/vellum-windows-check

bash scripts/e2e-fixtures.sh "$NATIVE" "$WINDOWS" "$KIT/fixtures"
rm -rf "$KIT/fixtures/src"  # the archive's sources: the packages hold them
cp "$DRIVER" "$HOOK" "$KIT/"
# Windows reads batch files in its ANSI code page: ASCII only, CRLF lines.
sed 's/$/\r/' >"$KIT/run.cmd" <<'CMD'
@echo off
rem The viewer's end-to-end checks on this desktop. Double-click, keep hands
rem off mouse and keyboard until the summary line, then read results.tap.
setlocal
cd /d "%~dp0"
if not exist screenshots mkdir screenshots
e2e_driver.exe "%~dp0fixtures" "%~dp0screenshots" "%~dp0results.xml"
set code=%errorlevel%
echo Results: %~dp0results.tap, %~dp0results.xml, %~dp0screenshots
if /i not "%~1"=="--no-pause" pause
exit /b %code%
CMD
sed 's/$/\r/' >"$KIT/README.txt" <<'TXT'
Vellum viewer: end-to-end checks for a real Windows machine

1. Unzip this folder anywhere (the Downloads folder will do).
2. Double-click run.cmd and leave mouse and keyboard alone until the last
   line "e2e: N passed, M failed" appears (a few minutes).
3. results.tap lists every check, results.xml is the same in JUnit form,
   screenshots holds what the windows looked like.

The lines "the archive was opened by" and "the copied data object came from"
tell which way the viewer took where Windows decides. The check of archives
from Japanese Windows runs only where the system's code page for them is 932.
TXT
rm -f "$ZIP"
mkdir -p "$(dirname "$ZIP")"
# Sorted names and fixed times: the same inputs give the same kit.
python3 - "$STAGE" "$ZIP" <<'PY'
import os, sys, zipfile
root, out = sys.argv[1], sys.argv[2]
paths = sorted(os.path.join(d, f) for d, _, files in os.walk(root) for f in files)
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as kit:
    for path in paths:
        info = zipfile.ZipInfo(os.path.relpath(path, root), (2026, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(path, "rb") as f:
            kit.writestr(info, f.read())
PY
echo "windows-kit: $ZIP ($(du -h "$ZIP" | cut -f1))"
