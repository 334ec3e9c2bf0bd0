#!/usr/bin/env bash
# Source coverage of what the fuzzers reach: builds the targets with clang's
# profile instrumentation (the `fuzz-coverage` preset), runs each once over
# its seeds and the corpus that scripts/fuzz.sh grew, and prints llvm-cov's
# line and branch figures for the code the target is about.
#   bash scripts/fuzz-coverage.sh [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
targets=${*:-zip_extract unseal_header opened_header big_num compare_names}
files_of() {
  case $1 in
    zip_extract) echo package/zip_reader.cpp package/zip_entry_stream.cpp package/zip_names.cpp package/zip_times.cpp package/cp437.cpp package/extraction.cpp ;;
    unseal_header) echo package/unseal_header.cpp crypto/rsa_public.cpp crypto/big_num.cpp ;;
    opened_header) echo package/unseal_header.cpp ;;
    big_num) echo crypto/big_num.cpp ;;
    compare_names) echo package/compare_names_portable.cpp ;;
  esac
}
cmake --preset fuzz-coverage >/dev/null 2>&1 || cmake --preset fuzz-coverage
cmake --build --preset fuzz-coverage >/dev/null
out=build/fuzz-coverage/profiles
mkdir -p "$out"
for target in $targets; do
  bin=build/fuzz-coverage/tests/fuzz/fuzz_$target
  mkdir -p "build/fuzz/corpus/$target"
  rm -f "$out/$target".*
  LLVM_PROFILE_FILE="$out/$target.profraw" "$bin" -runs=0 "build/fuzz/corpus/$target" "tests/fuzz/seeds/$target" >/dev/null 2>&1
  llvm-profdata merge -sparse "$out/$target.profraw" -o "$out/$target.profdata"
  echo "=== $target ($(find "build/fuzz/corpus/$target" "tests/fuzz/seeds/$target" -type f | wc -l) inputs)"
  # shellcheck disable=SC2046
  llvm-cov report "$bin" -instr-profile="$out/$target.profdata" $(files_of "$target") |
    awk -v root="$PWD/" '$1 ~ /\.cpp$/ || $1 == "TOTAL" {
      sub(root, "", $1)
      printf "  %-34s lines %5s of %5s (%s)  branches %5s of %5s (%s)\n", $1, $8 - $9, $8, $10, $11 - $12, $11, $13
    }'
done
