#!/usr/bin/env bash
# reproducible.sh: builds the windows-release viewer twice, from copies of
# the sources in two different folders, at two different times, and
# compares the two vellum.exe byte for byte. Prints the SHA-256 and writes
# build/reproducible/test-results/reproducible.xml. Any 8192-bit modulus
# will do for the comparison (a release build refuses only the test key),
# so a random one is used.
set -euo pipefail
cd "$(dirname "$0")/.."
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
RESULTS=build/reproducible/test-results
mkdir -p "$RESULTS"
report() {  # report PASSED(0|1) MESSAGE
  local failure=""
  [ "$1" = 1 ] || failure="<failure message=\"$2\"/>"
  printf '<testsuites><testsuite name="reproducible" tests="1" failures="%d"><testcase classname="reproducible" name="two release builds are bit-identical">%s</testcase></testsuite></testsuites>\n' \
    "$((1 - $1))" "$failure" >"$RESULTS/reproducible.xml"
}

printf 'c%s1\n' "$(head -c 1023 /dev/urandom | od -An -tx1 -v | tr -d ' \n')" >"$WORK/modulus.hex"
build() {  # build FOLDER: the tracked (and new, unignored) files copied there, then built
  mkdir -p "$1"
  git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$1"
  (cd "$1" && VELLUM_PUBLIC_MODULUS="$WORK/modulus.hex" cmake --preset windows-release >/dev/null &&
    cmake --build --preset windows-release --target vellum >/dev/null)
}
first=$WORK/first/vellum
second=$WORK/second/elsewhere/vellum-again
build "$first"
sleep 2
build "$second"
one=$(sha256sum <"$first/build/windows-release/vellum.exe" | cut -d' ' -f1)
two=$(sha256sum <"$second/build/windows-release/vellum.exe" | cut -d' ' -f1)
echo "reproducible: first build  $one"
echo "reproducible: second build $two"
if [ "$one" = "$two" ]; then
  report 1 ""
  echo "reproducible: the two release builds are bit-identical"
else
  cmp -l "$first/build/windows-release/vellum.exe" "$second/build/windows-release/vellum.exe" | head -n 20 || true
  report 0 "the two release builds differ"
  exit 1
fi
