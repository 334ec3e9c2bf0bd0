#!/usr/bin/env bash
# Every test, from a fresh machine: installs what is missing, then builds and
# runs the native tests, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the 32-bit Windows build's tests under Wine,
# then the real viewer driven end to end under Wine and Xvfb, then every
# fuzzer for a short bounded time. The end-to-end run takes the 32-bit
# viewer where this machine runs 32-bit x86 code natively, and the same
# sources built for 64-bit Windows in any case (scripts/i386-way.sh): where
# 32-bit code runs only emulated, every Wine process start costs minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# shellcheck source=scripts/i386-way.sh
source scripts/i386-way.sh
echo "=== $(i386_way_text)"

status=0
run_preset() {
  local preset=$1
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  rm -rf "build/$preset/test-results"
  echo "=== $preset: tests"
  ctest --preset "$preset" || status=1
}
run_preset native
run_preset asan
# The window's own tests make windows, which Wine draws on an X display.
WORK=$(mktemp -d)
# shellcheck source=scripts/wine-gui.sh
source scripts/wine-gui.sh
trap 'stop_gui; rm -rf "$WORK"' EXIT
start_xvfb || echo "=== no X display: the window's tests will be skipped"
run_preset windows
# Whatever Wine still runs on that display ends with it.
WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true
stop_gui
unset DISPLAY
echo "=== release: two windows-release builds compared byte for byte, then signed and verified"
bash scripts/release-checks.sh || status=1
mkdir -p build/windows/test-results
echo "unit tests $(windows_way build/windows/tests/vellum_tests.exe)" >build/windows/test-results/vellum_tests.way
e2e_builds=""
kit=yes
for way in $(e2e_ways); do
  tree=build/windows
  if [ "$way" = 64 ]; then
    tree=build/windows64
    echo "=== windows64: configure and build what the end-to-end run needs"
    cmake --preset windows64 >/dev/null
    cmake --build --preset windows64 --target vellum e2e_driver menu_report_hook
    rm -rf build/windows64/test-results
    e2e_builds=build/windows64
  fi
  echo "=== $(basename $tree): the real viewer end to end under Wine and Xvfb, $(windows_way $tree/vellum.exe)"
  # The first way also runs the kit for real Windows, as a user would.
  VELLUM_E2E_KIT=$kit bash scripts/e2e.sh build/native $tree || status=1
  kit=""
done
echo "=== fuzz: every fuzzer for a short bounded time"
rm -rf build/fuzz/test-results
FUZZ_SEED=1 bash scripts/fuzz.sh 12 || status=1

echo "=== summary"
python3 scripts/test-summary.py build/native build/asan build/windows build/release $e2e_builds build/fuzz
exit $status
