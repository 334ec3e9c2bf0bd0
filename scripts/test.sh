#!/usr/bin/env bash
# Every test, from a fresh machine: installs what is missing, then builds and
# runs the native tests, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the 32-bit Windows build's tests under Wine,
# then the real viewer driven end to end under Wine and Xvfb, then every
# fuzzer for a short bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

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
run_preset windows
echo "=== windows: the real viewer end to end under Wine and Xvfb"
bash scripts/e2e.sh build/native build/windows || status=1
echo "=== fuzz: every fuzzer for a short bounded time"
rm -rf build/fuzz/test-results
FUZZ_SEED=1 bash scripts/fuzz.sh 12 || status=1

echo "=== summary"
python3 scripts/test-summary.py build/native build/asan build/windows build/fuzz
exit $status
