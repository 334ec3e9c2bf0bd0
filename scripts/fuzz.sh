#!/usr/bin/env bash
# Builds the libFuzzer targets (the `fuzz` preset: clang, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
#
#   bash scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#
# Default 12 seconds each, every target: the short run of the test command.
# A long run is the same with more seconds, e.g. `bash scripts/fuzz.sh 3600
# zip_extract`; FUZZ_RUNS=N also stops each target after N executions, and
# FUZZ_SEED=N fixes libFuzzer's random seed (the test command's short run
# does, so that it repeats; long runs draw a new seed each time). FUZZ_FAST=1
# fuzzes with the build without sanitizers (the `fuzz-fast` preset, many
# times faster on the arithmetic) and then replays the whole corpus once
# under the sanitizers. Each target first replays the inputs of earlier findings
# (tests/fuzz/regressions/<target>/), then fuzzes from its committed seeds
# (tests/fuzz/seeds/<target>/) and the corpus that earlier runs in this tree
# grew (build/fuzz/corpus/<target>/). A finding is saved under
# build/fuzz/findings/<target>/; copy it into regressions/ once fixed.
# Prints one line per target with executions and coverage, and writes
# build/fuzz/test-results/fuzz.xml for the test summary.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-12}
shift || true
all_targets="zip_extract unseal_header opened_header big_num compare_names"
targets=${*:-$all_targets}

# Per-target libFuzzer options. The extraction's allocation limit is far
# above what its inputs can need (64 KiB of archive inflating at most about
# 1000-fold) and far below any size an archive can merely declare.
options_of() {
  case $1 in
    zip_extract) echo "-max_len=65536 -malloc_limit_mb=256" ;;
    unseal_header | opened_header) echo "-max_len=1024" ;;
    big_num) echo "-max_len=4096" ;;
    compare_names) echo "-max_len=512" ;;
    *) echo "fuzz: no target $1" >&2; exit 2 ;;
  esac
}

echo "=== fuzz: configure and build"
cmake --preset fuzz >/dev/null 2>&1 || cmake --preset fuzz
cmake --build --preset fuzz
bin=build/fuzz/tests/fuzz
runner=$bin
if [ -n "${FUZZ_FAST:-}" ]; then
  cmake --preset fuzz-fast >/dev/null 2>&1 || cmake --preset fuzz-fast
  cmake --build --preset fuzz-fast
  runner=build/fuzz-fast/tests/fuzz
fi

results=build/fuzz/test-results
mkdir -p "$results"
cases=""
failures=0
status=0
add_case() {  # name, failure text (empty when passed)
  local body=""
  [ -n "$2" ] && { body="<failure message=\"$2\"/>"; failures=$((failures + 1)); status=1; }
  cases="$cases<testcase classname=\"fuzz\" name=\"$1\">$body</testcase>"
}

for target in $targets; do
  # shellcheck disable=SC2046
  set -- $(options_of "$target")
  regressions=tests/fuzz/regressions/$target
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    if "$bin/fuzz_$target" "$@" "$regressions"/* >"build/fuzz/$target.regressions.log" 2>&1; then
      echo "fuzz $target: $(ls "$regressions" | wc -l) past findings replayed, all pass"
      add_case "$target regressions" ""
    else
      echo "fuzz $target: a past finding fails again (build/fuzz/$target.regressions.log)"
      add_case "$target regressions" "a past finding fails again"
    fi
  fi

  corpus=build/fuzz/corpus/$target
  findings=build/fuzz/findings/$target
  mkdir -p "$corpus" "$findings"
  log=build/fuzz/$target.log
  [ -n "${FUZZ_RUNS:-}" ] && set -- "$@" -runs="$FUZZ_RUNS"
  [ -n "${FUZZ_SEED:-}" ] && set -- "$@" -seed="$FUZZ_SEED"
  if "$runner/fuzz_$target" "$@" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "tests/fuzz/seeds/$target" >"$log" 2>&1; then
    outcome=""
  else
    outcome="finding (see $log and $findings/)"
  fi
  if [ "$runner" != "$bin" ] && [ -z "$outcome" ]; then
    # What the fast build found interesting, once more under the sanitizers.
    "$bin/fuzz_$target" "$@" -runs=0 -artifact_prefix="$findings/" "$corpus" >"build/fuzz/$target.replay.log" 2>&1 ||
      outcome="a corpus input fails under the sanitizers (see build/fuzz/$target.replay.log)"
    replayed=", corpus replayed under ASan+UBSan"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1 || true)
  echo "fuzz $target: ${runs:-?} runs in ${took:-$seconds}s (${rate:-?}/s), ${coverage:-no coverage line}, corpus $(ls "$corpus" | wc -l) files${replayed:-}${outcome:+ -- $outcome}"
  add_case "$target" "$outcome"
done

count=$(echo "$cases" | grep -o '<testcase' | wc -l)
printf '<?xml version="1.0"?>\n<testsuites><testsuite name="fuzz" tests="%s" failures="%s">%s</testsuite></testsuites>\n' \
  "$count" "$failures" "$cases" >"$results/fuzz.xml"
exit $status
