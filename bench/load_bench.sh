#!/usr/bin/env bash
# Whole-load throughput and memory, natively on tmpfs.
#
#   bench/load_bench.sh [BUILD_DIR] [PAYLOAD_MIB] [WORK_DIR]
#
# Defaults: build/native, 256, /dev/shm/vellum-load-bench. Builds a ZIP of
# incompressible files (stored), seals it with the build's vellum-seal and
# times, each best of 3, pinned to one core (taskset -c 0) and unpinned:
#   ours:     vellum_load_bench PACKAGE TEMP      (LoadPackage: decrypt + digest
#             to verify, decrypt again to the archive, extract, delete archive)
#   pipeline: the same work with the openssl command-line tool and unzip on
#             the same bytes encrypted with AES-256-CTR under openssl's own
#             counter convention:
#               openssl enc -d -aes-256-ctr ... -in PAYLOAD | openssl dgst -sha256   (compare)
#               openssl enc -d -aes-256-ctr ... -in PAYLOAD -out ARCHIVE
#               unzip -q ARCHIVE -d OUT; rm ARCHIVE
# Then peak resident memory of loading a 1 MiB and a 1 GiB payload.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/native}
MIB=${2:-256}
WORK=${3:-/dev/shm/vellum-load-bench}
SEAL=$BUILD/tools/vellum-seal
LOAD=$BUILD/bench/vellum_load_bench
KEY=$ROOT/keys/test_private_key.pem
NAME=viewer_data
AES_KEY=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f
AES_IV=00000000000000000000000000000000

for tool in "$SEAL" "$LOAD"; do
  [ -x "$tool" ] || { echo "missing $tool: build the native preset first" >&2; exit 1; }
done
rm -rf "$WORK"
mkdir -p "$WORK"
trap 'rm -rf "$WORK"' EXIT

# make_package DIR MIB: DIR/content.zip (four stored files), DIR/package,
# DIR/payload.enc (the ZIP under openssl's AES-256-CTR) and DIR/digest.
make_package() {
  local dir=$1 mib=$2 i
  mkdir -p "$dir/files"
  for i in 1 2 3 4; do
    head -c $((mib * 1048576 / 4)) /dev/urandom >"$dir/files/part$i.bin"
  done
  (cd "$dir/files" && zip -q -0 ../content.zip part1.bin part2.bin part3.bin part4.bin)
  rm -rf "$dir/files"
  "$SEAL" seal --key "$KEY" --name "$NAME" "$dir/content.zip" "$dir/package" >/dev/null
  openssl enc -aes-256-ctr -K $AES_KEY -iv $AES_IV -in "$dir/content.zip" -out "$dir/payload.enc"
  sha256sum "$dir/content.zip" | cut -d' ' -f1 >"$dir/digest"
  rm -f "$dir/content.zip"
}

# The pipeline on DIR's payload, extracting under TEMP.
pipeline() {
  local dir=$1 temp=$2 digest
  digest=$(openssl enc -d -aes-256-ctr -K $AES_KEY -iv $AES_IV -in "$dir/payload.enc" |
           openssl dgst -sha256 -r | cut -d' ' -f1)
  [ "$digest" = "$(cat "$dir/digest")" ] || { echo "pipeline: digest differs" >&2; return 1; }
  openssl enc -d -aes-256-ctr -K $AES_KEY -iv $AES_IV -in "$dir/payload.enc" -out "$temp/archive.zip"
  unzip -q -o "$temp/archive.zip" -d "$temp/out"
  rm -f "$temp/archive.zip"
}
export -f pipeline
export AES_KEY AES_IV

# best_of CMD...: the best wall time of three runs, in seconds; TEMP is emptied between runs.
best_of() {
  local best="" t0 t1 t
  for _ in 1 2 3; do
    rm -rf "$WORK/temp" && mkdir -p "$WORK/temp"
    t0=$(date +%s.%N)
    "$@" >/dev/null
    t1=$(date +%s.%N)
    t=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  printf '%.3f' "$best"
}

echo "building a $MIB MiB payload in $WORK ..."
make_package "$WORK/big" "$MIB"
echo "package: $(stat -c %s "$WORK/big/package") bytes; pipeline input: $(stat -c %s "$WORK/big/payload.enc") bytes"

report() {
  local label=$1 ours=$2 theirs=$3
  printf '%-9s ours %7.3f s (%6.0f MB/s)  pipeline %7.3f s (%6.0f MB/s)  ratio ours/pipeline %.3f\n' \
    "$label" "$ours" "$(echo "$MIB * 1.048576 / $ours" | bc -l)" "$theirs" \
    "$(echo "$MIB * 1.048576 / $theirs" | bc -l)" "$(echo "$ours / $theirs" | bc -l)"
}
ours_pinned=$(best_of taskset -c 0 "$LOAD" "$WORK/big/package" "$WORK/temp" "$NAME")
theirs_pinned=$(best_of taskset -c 0 bash -c 'pipeline "$0" "$1"' "$WORK/big" "$WORK/temp")
ours_free=$(best_of "$LOAD" "$WORK/big/package" "$WORK/temp" "$NAME")
theirs_free=$(best_of bash -c 'pipeline "$0" "$1"' "$WORK/big" "$WORK/temp")
report pinned "$ours_pinned" "$theirs_pinned"
report unpinned "$ours_free" "$theirs_free"
rm -rf "$WORK/big" "$WORK/temp"

# Peak memory: the same load of a 1 MiB and a 1 GiB payload.
rss() {  # prints the loader's peak resident KiB for DIR's package
  rm -rf "$WORK/temp" && mkdir -p "$WORK/temp"
  "$LOAD" "$1/package" "$WORK/temp" "$NAME" | awk '/^max_rss_kib/ {print $2}'
}
echo "building 1 MiB and 1 GiB payloads for the memory comparison ..."
make_package "$WORK/small" 1
small=$(rss "$WORK/small")
rm -rf "$WORK/small"
make_package "$WORK/huge" 1024
huge=$(rss "$WORK/huge")
printf 'peak RSS: 1 MiB payload %d KiB, 1 GiB payload %d KiB, difference %d KiB\n' "$small" "$huge" $((huge - small))
