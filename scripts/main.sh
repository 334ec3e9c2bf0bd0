#!/usr/bin/env bash
# The main job: sets up a fresh machine, builds both flavours, prints the
# crypto benchmarks, natively (beside OpenSSL) and for the 32-bit build under
# Wine, and the whole-load comparison (bench/load_bench.sh), then shows the
# viewer on the example files in demo/ and saves a screenshot of its window
# (scripts/demo.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# shellcheck source=scripts/i386-way.sh
source scripts/i386-way.sh
echo "=== $(i386_way_text): the Windows benchmark and the demo run the product, 32-bit $(i386_way)"
for preset in native windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
echo "=== native x86-64 (ratios against OpenSSL in the same run)"
build/native/bench/vellum_crypto_bench
echo "=== 32-bit Windows build under Wine (32-bit $(i386_way))"
scripts/wine-run.sh "$PWD/build/windows/wineprefix" build/windows/bench/vellum_crypto_bench.exe
echo "=== whole load of a 256 MiB payload against openssl + unzip, and peak memory"
bash bench/load_bench.sh build/native
echo "=== the viewer on the example files in demo/"
bash scripts/demo.sh build/native build/windows
