#!/usr/bin/env bash
# Cross-checks vellum-seal against package_oracle.py, an independent Python reader and sealer of
# packages: each side must open what the other seals, byte for byte, and both must reject damaged
# packages. The reference itself is first checked against the openssl command line.
#
# Usage: cross_check.sh [VELLUM_SEAL] SOURCE_DIR   (without the tool only the reference is checked)
set -u

TOOL=
if (($# == 2)); then
  TOOL=$(realpath "$1")
  shift
fi
SRC=$(realpath "${1:?usage: $0 [VELLUM_SEAL] SOURCE_DIR}")
PY=/usr/bin/python3  # Debian's interpreter, which has the cryptography package
ORACLE=$SRC/tests/oracle/package_oracle.py
KEY=$SRC/keys/test_private_key.pem
MODULUS=$SRC/keys/test_public_modulus.hex
NAME=Sample_data
JAPANESE_TITLE=日本語のタイトル

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1

passed=0
failed=0
# check DESCRIPTION COMMAND...: runs the command, reports it, shows its output on failure.
check() {
  local what=$1
  shift
  if "$@" >log 2>&1; then
    echo "ok - $what"
    passed=$((passed + 1))
  else
    echo "not ok - $what"
    sed 's/^/#   /' log
    failed=$((failed + 1))
    return 1
  fi
}
# rejected OPENER NAME PACKAGE: the opener runs and turns the package down. A missing program or
# a crash by signal is not a rejection.
rejected() {
  local status
  "$1" --name "$2" "$3"
  status=$?
  ((status != 0 && status < 126))
}
# damaged OPENER GOOD DAMAGE...: a copy of the good package, damaged by the command, is rejected.
damaged() {
  local opener=$1 good=$2
  shift 2
  cp "$good" bad.pkg && "$@" && rejected "$opener" "$NAME" bad.pkg
}

oracle() { "$PY" "$ORACLE" "$@"; }
oracle_seal() { oracle seal --key "$KEY" "$@"; }
oracle_open() { oracle open --modulus "$MODULUS" "$@"; }
tool_seal() { "$TOOL" seal --key "$KEY" "$@"; }
tool_verify() { "$TOOL" verify --modulus "$MODULUS" "$@"; }

# opens_to OPENER TITLE ZIP NAME PACKAGE: the opener accepts the package under NAME, prints the
# title and its payload is the ZIP, byte for byte.
opens_to() {
  local opener=$1 title=$2 zip=$3 name=$4 package=$5
  rm -f opened.zip
  "$opener" --name "$name" --payload-out opened.zip "$package" >opened.txt || return 1
  cat opened.txt
  grep -qxF "title=$title" opened.txt && grep -qxF "length=$(stat -c %s "$zip")" opened.txt &&
    cmp "$zip" opened.zip
}

# Byte-level helpers for files.
hex_of() { od -An -v -tx1 "$@" | tr -d ' \n'; }
byte_at() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }
flip_byte() {  # flip_byte FILE OFFSET: inverts the low bit of one byte in place
  printf '%b' "$(printf '\\x%02x' $(( $(byte_at "$1" "$2") ^ 1 )))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
xor_hex() {  # xor_hex HEX HEX: the two byte strings (same length) XORed
  local a=$1 b=$2 out='' i
  for ((i = 0; i < ${#a}; i += 2)); do
    printf -v out '%s%02x' "$out" $(( 0x${a:i:2} ^ 0x${b:i:2} ))
  done
  echo "$out"
}
counter_hex() {  # counter_hex N: the keystream counter block of N (64-bit little-endian + 0s)
  local n=$1 out='' i
  for ((i = 0; i < 8; i++)); do printf -v out '%s%02x' "$out" $(( (n >> (8 * i)) & 255 )); done
  echo "${out}0000000000000000"
}
aes_ecb_hex() {  # aes_ecb_hex KEYHEX BLOCKSHEX: AES-256 encryption by openssl
  xxd -r -p <<<"$2" | openssl enc -aes-256-ecb -nopad -K "$1" | hex_of
}
utf16_field() {  # utf16_field HEX: UTF-16LE text up to the first 0 code unit, as UTF-8
  local hex=$1 i
  for ((i = 0; i < ${#hex}; i += 4)); do [[ ${hex:i:4} == 0000 ]] && break; done
  xxd -r -p <<<"${hex:0:i}" | iconv -f UTF-16LE -t UTF-8
}

# --- Test inputs ---------------------------------------------------------------------------------
mkdir small large
echo "first file" >small/readme.txt
head -c 3000 /dev/urandom >small/data.bin
(cd small && zip -q ../small.zip readme.txt data.bin)
# Stored without compression so the payload really spans several 64 KiB chunks.
head -c 150000 /dev/urandom >large/big.bin
head -c 50000 /dev/urandom >large/second.bin
(cd large && zip -q -0 ../large.zip big.bin second.bin)

# --- The reference against openssl ---------------------------------------------------------------
keystream_matches_openssl() {
  local key block counters
  key=$(openssl rand -hex 32)
  for block in 0 1 62 258 72623859790382856; do
    [[ $(oracle keystream --key "$key" --block "$block") == \
       $(aes_ecb_hex "$key" "$(counter_hex "$block")") ]] || { echo "block $block"; return 1; }
  done
  # The counter wraps from 2^64 - 1 to 0.
  counters=$(counter_hex -1)$(counter_hex 0)
  [[ $(oracle keystream --key "$key" --block 18446744073709551615 --count 2) == \
     $(aes_ecb_hex "$key" "$counters") ]]
}
check "reference keystream matches openssl AES-256-ECB of little-endian counters" \
  keystream_matches_openssl

modulus_matches_key() {
  local from_key
  from_key=$(openssl rsa -in "$KEY" -noout -modulus) || return 1
  [[ ${from_key#Modulus=} == "$(tr -d ' \n' <"$MODULUS" | tr a-f A-F)" ]]
}
check "test key's modulus equals the modulus file (openssl)" modulus_matches_key

reference_round_trip() {
  oracle_seal --title "$JAPANESE_TITLE" --name "$NAME" small.zip ref.pkg &&
    opens_to oracle_open "$JAPANESE_TITLE" small.zip "${NAME^^}" ref.pkg
}
check "reference round trip, name in another letter case" reference_round_trip

# Opens ref.pkg again with openssl and coreutils only, so a misreading of the layout that the
# reference's sealer and reader share would show up here.
header_matches_openssl() {
  local b key digest keystream plain stored size first counters='' i
  openssl pkey -in "$KEY" -pubout -out public.pem || return 1
  head -c 1024 ref.pkg >sealed.bin
  openssl pkeyutl -verifyrecover -pubin -inkey public.pem -pkeyopt rsa_padding_mode:none \
    -in sealed.bin -out block.bin || return 1
  oracle_open --name "$NAME" --block-out oracle-block.bin ref.pkg >/dev/null &&
    cmp block.bin oracle-block.bin || return 1
  b=$(hex_of block.bin)
  digest=$(tail -c +2 block.bin | head -c 991 | sha256sum | cut -c1-64)
  key=$(xor_hex "${b:1984:64}" "$digest")
  for ((i = 0; i < 62; i++)); do counters+=$(counter_hex "$i"); done
  keystream=$(aes_ecb_hex "$key" "$counters")
  plain=00$(xor_hex "${b:2:1982}" "${keystream:2}")
  stored=${plain:1920:64}
  plain=${plain:0:1920}$(printf '0%.0s' {1..64})$key
  size=$(stat -c %s small.zip)
  [[ $(xxd -r -p <<<"$plain" | sha256sum | cut -c1-64) == "$stored" ]] || { echo digest; return 1; }
  [[ ${plain:32:16} == "$(printf '%016x' "$size" | fold -w2 | tac | tr -d '\n')" ]] ||
    { echo length; return 1; }
  [[ ${plain:64:4} == 0000 ]] || { echo zero word; return 1; }
  [[ ${plain:576:64} == "$(sha256sum small.zip | cut -c1-64)" ]] ||
    { echo payload digest; return 1; }
  [[ $(utf16_field "${plain:640:512}") == "$JAPANESE_TITLE" ]] || { echo title; return 1; }
  [[ $(utf16_field "${plain:1152:768}") == "$NAME" ]] || { echo name; return 1; }
  # The payload starts with keystream block 62.
  first=$(tail -c +1025 ref.pkg | head -c 16 | hex_of)
  [[ $(xor_hex "$first" "$(aes_ecb_hex "$key" "$(counter_hex 62)")") == \
     "$(head -c 16 small.zip | hex_of)" ]] || { echo payload start; return 1; }
}
check "reference package opened independently with openssl and coreutils" header_matches_openssl

# negative_controls OPENER PACKAGE ZIP TITLE LABEL: damage a good package in the ways a reader must
# notice, and a few ways it must not.
negative_controls() {
  local opener=$1 good=$2 zip=$3 title=$4 label=$5
  check "$label accepts the undamaged package" opens_to "$opener" "$title" "$zip" "$NAME" "$good" ||
    { echo "# $label: damage checks skipped"; return; }
  check "$label rejects a flipped header byte" damaged "$opener" "$good" flip_byte bad.pkg 500
  check "$label rejects a flipped top header byte" damaged "$opener" "$good" flip_byte bad.pkg 0
  check "$label rejects a flipped payload byte" \
    damaged "$opener" "$good" flip_byte bad.pkg $((1024 + $(stat -c %s "$zip") / 2))
  check "$label rejects a package one byte short" damaged "$opener" "$good" truncate -s -1 bad.pkg
  check "$label rejects a wrong name" rejected "$opener" Other_data "$good"
  check "$label rejects a name with one character more" rejected "$opener" "${NAME}x" "$good"
  check "$label rejects a name with one character fewer" rejected "$opener" "${NAME%?}" "$good"
  check "$label accepts the name in lower case" "$opener" --name "${NAME,,}" "$good"
  cp "$good" long.pkg && printf 'trailing bytes' >>long.pkg
  check "$label ignores bytes after the payload" opens_to "$opener" "$title" "$zip" "$NAME" long.pkg
}

# faulty_rejected OPENER PACKAGE SEAL_OPTION...: the reference seals small.zip correctly but with
# one rule of the content broken (once per PACKAGE), and the opener rejects it.
faulty_rejected() {
  local opener=$1 package=$2
  shift 2
  [[ -e $package ]] || oracle_seal --title "" --name "$NAME" "$@" small.zip "$package" || return 1
  rejected "$opener" "$NAME" "$package"
}
# opens_empty OPENER: a package with an empty payload opens.
opens_empty() {
  if [[ ! -e empty.pkg ]]; then
    : >empty.bin && oracle_seal --title "" --name "$NAME" empty.bin empty.pkg || return 1
  fi
  opens_to "$1" "" empty.bin "$NAME" empty.pkg
}
check "reference rejects a zero word of 1" faulty_rejected oracle_open zero-word.pkg --zero-word 1
check "reference rejects a payload encrypted from block 0" \
  faulty_rejected oracle_open block-0.pkg --payload-block 0
negative_controls oracle_open ref.pkg small.zip "$JAPANESE_TITLE" "reference:"
check "reference opens an empty payload" opens_empty oracle_open

# --- vellum-seal against the reference -----------------------------------------------------------
if [[ -n $TOOL ]]; then
  cases=("ASCII title|small.zip" "$JAPANESE_TITLE|large.zip" "|small.zip")
  # sealed_and_opened SEALER OPENER TITLE ZIP PACKAGE
  sealed_and_opened() {
    "$1" --title "$3" --name "$NAME" "$4" "$5" >/dev/null && opens_to "$2" "$3" "$4" "$NAME" "$5"
  }
  for i in "${!cases[@]}"; do
    title=${cases[i]%|*}
    zip=${cases[i]#*|}
    check "tool seals, reference opens: $zip, title '$title'" \
      sealed_and_opened tool_seal oracle_open "$title" "$zip" "tool-$i.pkg"
    check "reference seals, tool verifies and extracts: $zip, title '$title'" \
      sealed_and_opened oracle_seal tool_verify "$title" "$zip" "ref-$i.pkg"
  done

  negative_controls oracle_open tool-1.pkg large.zip "$JAPANESE_TITLE" "reference on tool package:"
  negative_controls tool_verify ref-1.pkg large.zip "$JAPANESE_TITLE" "tool on reference package:"
  check "tool rejects a zero word of 1" faulty_rejected tool_verify zero-word.pkg --zero-word 1
  check "tool rejects a payload encrypted from block 0" \
    faulty_rejected tool_verify block-0.pkg --payload-block 0
  # An empty payload passes every check of the format, but it is no archive:
  # the viewer could not open it, and verify says so.
  empty_payload_is_no_archive() {
    local out
    opens_empty oracle_open >/dev/null 2>&1 || return 1
    if out=$(tool_verify --name "$NAME" empty.pkg 2>&1); then return 1; fi
    grep -q "not a ZIP archive" <<<"$out"
  }
  check "tool refuses an empty payload as no archive" empty_payload_is_no_archive
fi

echo "cross-check: $passed passed, $failed failed"
((failed == 0))
