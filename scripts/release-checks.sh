#!/usr/bin/env bash
# release-checks.sh: what a publisher's IT department checks of a release.
# Builds the windows-release viewer twice, from copies of the sources in two
# different folders, at two different times, and compares the two vellum.exe
# byte for byte. Then signs through the preset with a throwaway code-signing
# certificate, verifies the signature, checks that a changed byte breaks it
# and that the signed file is the reproducible build. Writes
# build/release/test-results/release.xml. Any 8192-bit modulus will do (a
# release build refuses only the test key), so a random one is used.
set -euo pipefail
cd "$(dirname "$0")/.."
WORK=$(mktemp -d)
RESULTS=build/release/test-results
mkdir -p "$RESULTS"
rm -f "$RESULTS"/*.xml
CASES="" FAILED=0
check() {  # check NAME COMMAND...: one test case
  local name=$1; shift
  if "$@"; then
    echo "ok - $name"
    CASES="$CASES<testcase classname=\"release\" name=\"$name\"/>"
  else
    echo "not ok - $name"
    CASES="$CASES<testcase classname=\"release\" name=\"$name\"><failure/></testcase>"
    FAILED=$((FAILED + 1))
  fi
}
write_report() {
  printf '<testsuites><testsuite name="release" failures="%d">%s</testsuite></testsuites>\n' "$FAILED" "$CASES" \
    >"$RESULTS/release.xml"
}
trap 'write_report; rm -rf "$WORK"' EXIT

printf 'c%s1\n' "$(head -c 1023 /dev/urandom | od -An -tx1 -v | tr -d ' \n')" >"$WORK/modulus.hex"
build() {  # build FOLDER [VARIABLE=VALUE...]: the tracked (and new, unignored) files copied there, then built
  local folder=$1; shift
  mkdir -p "$folder"
  [ -f "$folder/CMakePresets.json" ] ||
    git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$folder"
  (cd "$folder" && env VELLUM_PUBLIC_MODULUS="$WORK/modulus.hex" "$@" cmake --preset windows-release >/dev/null 2>&1 &&
    cmake --build --preset windows-release --target vellum >/dev/null)
}
first=$WORK/first/vellum
second=$WORK/second/elsewhere/vellum-again
build "$first"
sleep 2
build "$second"
unsigned=$first/build/windows-release/vellum.exe
one=$(sha256sum <"$unsigned" | cut -d' ' -f1)
two=$(sha256sum <"$second/build/windows-release/vellum.exe" | cut -d' ' -f1)
echo "release: first build  sha256 $one"
echo "release: second build sha256 $two"
check "two release builds in two folders at two times are bit-identical" [ "$one" = "$two" ]

# Signing through the preset, with a throwaway code-signing certificate.
openssl req -x509 -newkey rsa:3072 -sha256 -days 2 -nodes -subj "/CN=Vellum throwaway publisher" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$WORK/key.pem" -out "$WORK/cert.pem" 2>/dev/null
printf 'throwaway\n' >"$WORK/password"
openssl pkcs12 -export -inkey "$WORK/key.pem" -in "$WORK/cert.pem" -out "$WORK/cert.p12" -passout "file:$WORK/password"
build "$second" VELLUM_SIGN_PKCS12="$WORK/cert.p12" VELLUM_SIGN_PASSWORD_FILE="$WORK/password"
signed=$second/build/windows-release/vellum.exe
verifies() { osslsigncode verify -CAfile "$WORK/cert.pem" -in "$1" >"$WORK/verify.out" 2>&1; }
check "the release build is signed (Authenticode, SHA-256) and the signature verifies" verifies "$signed"
grep -E "Subject:|Message digest algorithm|Current message digest|Signature verification" "$WORK/verify.out" |
  sed 's/^[[:space:]]*/release: /' | sort -u
cp "$signed" "$WORK/changed.exe"
printf '\001' | dd of="$WORK/changed.exe" bs=1 seek=$(( $(stat -c %s "$signed") / 3 )) conv=notrunc 2>/dev/null
breaks() { ! verifies "$1"; }
check "one changed byte breaks the signature" breaks "$WORK/changed.exe"
# What a publisher's reviewer does: the shipped file without its signature
# equals their own build signed with any certificate and stripped the same way.
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Reviewer" \
  -keyout "$WORK/reviewer.pem" -out "$WORK/reviewer-cert.pem" 2>/dev/null
osslsigncode sign -certs "$WORK/reviewer-cert.pem" -key "$WORK/reviewer.pem" -h sha256 \
  -in "$unsigned" -out "$WORK/reviewer.exe" >/dev/null
osslsigncode remove-signature -in "$WORK/reviewer.exe" -out "$WORK/reviewer-stripped.exe" >/dev/null
osslsigncode remove-signature -in "$signed" -out "$WORK/shipped-stripped.exe" >/dev/null
check "the signed viewer is the reproducible build" cmp -s "$WORK/reviewer-stripped.exe" "$WORK/shipped-stripped.exe"
[ "$FAILED" = 0 ]
