#!/usr/bin/env bash
# e2e-fixtures.sh NATIVE_TREE WINDOWS_TREE FIXTURES
# The end-to-end run's fixtures: one fresh folder per scenario in FIXTURES,
# each with a renamed copy of the viewer beside a package sealed by the tool
# (or broken on purpose), and titled/expected.txt with what the titled
# package holds (times in UTC: the driver shows them in its desktop's zone).
# Used by e2e.sh and by windows-kit.sh.
set -uo pipefail
cd "$(dirname "$0")/.."
NATIVE=$1
WINDOWS=$2
FIX=$(realpath -m "$3")
TITLE="E2E テスト用パッケージ"
SEAL=$NATIVE/tools/vellum-seal
find_built() { find "$WINDOWS" -path "$WINDOWS/wineprefix" -prune -o -name "$1" -print -quit 2>/dev/null; }
VIEWER=$(find_built vellum.exe)
PLANTED_DLL=$(find_built planted_version_dll.dll)
UNRESTRICTED=$(find_built vellum_unrestricted.exe)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "e2e-fixtures: $1" >&2; exit 1; }
for built in "$SEAL" "$VIEWER" "$PLANTED_DLL" "$UNRESTRICTED"; do
  [ -n "$built" ] && [ -f "$built" ] ||
    fail "not built: vellum-seal, vellum.exe, planted_version_dll.dll or vellum_unrestricted.exe"
done

# The archive: top-level files of several kinds and sizes with known times,
# and folders whose files the viewer must not list.
rm -rf "$FIX"
mkdir -p "$FIX/src/sub/deeper"
printf 'hello from the e2e run\r\n' >"$FIX/src/readme.txt"
printf 'name,value\r\nalpha,1\r\n' >"$FIX/src/データ.csv"
: >"$FIX/src/empty.bin"
head -c 70000 /dev/urandom >"$FIX/src/big.bin"
printf 'inside a folder\n' >"$FIX/src/sub/inner.txt"
printf 'deeper\n' >"$FIX/src/sub/deeper/x.txt"
stamp=1709677800  # 2024-03-05 22:30:00 UTC: already the next day in Tokyo
{
  printf 'title\t%s\n' "$TITLE"
  for file in readme.txt データ.csv empty.bin big.bin; do
    touch -d "@$stamp" "$FIX/src/$file"
    printf 'file\t%s\t%s\t%s\n' "$file" "$(stat -c %s "$FIX/src/$file")" \
      "$(TZ=UTC date -d "@$stamp" '+%Y %-m %-d %-H %-M %-S')"
    stamp=$((stamp + 86400 * 40 + 3661))
  done
} >"$WORK/expected.txt"

scenario() {  # scenario FOLDER EXE_NAME: a fresh folder with a renamed copy of the viewer
  mkdir -p "$FIX/$1" && cp "$VIEWER" "$FIX/$1/$2"
}
seal() {  # seal OUTPUT [--title T]: the archive of $FIX/src (or of $SOURCE)
  local out=$1; shift
  "$SEAL" seal --key keys/test_private_key.pem --name viewer_data "$@" "${SOURCE:-$FIX/src}" "$out" >/dev/null
}
scenario titled viewer.exe && seal "$FIX/titled/viewer_data" --title "$TITLE" || fail "sealing failed"
cp "$WORK/expected.txt" "$FIX/titled/expected.txt"
scenario untitled viewer.exe && seal "$FIX/untitled/viewer_data"
scenario missing viewer.exe
scenario tiny viewer.exe && head -c 100 /dev/urandom >"$FIX/tiny/viewer_data"
scenario flipped viewer.exe && cp "$FIX/titled/viewer_data" "$FIX/flipped/viewer_data"
/usr/bin/python3 - "$FIX/flipped/viewer_data" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
data[len(data) // 2] ^= 0x10  # one bit in the middle of the payload
open(path, "wb").write(data)
PY
scenario truncated viewer.exe && head -c -100 "$FIX/titled/viewer_data" >"$FIX/truncated/viewer_data"
scenario othername other.exe && cp "$FIX/titled/viewer_data" "$FIX/othername/other_data"
scenario renamedpackage viewer.exe && cp "$FIX/titled/viewer_data" "$FIX/renamedpackage/other_data"
for name in twins heldopen shorttemp endsession; do
  scenario $name viewer.exe && cp "$FIX/titled/viewer_data" "$FIX/$name/"
done
# A DLL named like a system one beside the viewer, as anyone can leave one in
# a downloads folder; beside a copy of the viewer that does not restrict the
# DLL search too, which must load it.
for name in planted plantedunrestricted; do
  mkdir -p "$FIX/$name" && cp "$FIX/titled/viewer_data" "$PLANTED_DLL" "$FIX/$name/"
  mv "$FIX/$name/$(basename "$PLANTED_DLL")" "$FIX/$name/version.dll"
done
cp "$VIEWER" "$FIX/planted/viewer.exe" && cp "$UNRESTRICTED" "$FIX/plantedunrestricted/viewer.exe"
# An archive as Japanese Windows makes them: Shift_JIS names without the
# UTF-8 flag (the trail byte of 表 is 0x5C) and DOS times of a winter and a
# summer day, 10:00 local.
/usr/bin/python3 - "$WORK/legacy.zip" <<'PY'
import sys, zipfile
class ShiftJis(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode("cp932"), self.flag_bits
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    for name, month in (("見積.txt", 1), ("表.txt", 7)):
        entry = ShiftJis(name, (2024, month, 15, 10, 0, 0))
        entry.create_system = 0  # MS-DOS, as Windows writes
        archive.writestr(entry, name + "\r\n")
PY
scenario legacy viewer.exe && SOURCE="$WORK/legacy.zip" seal "$FIX/legacy/viewer_data" || fail "sealing failed"
# A package that takes seconds to unpack (a gibibyte of zeros, small sealed),
# so that a close can come while it loads.
mkdir -p "$WORK/big" && truncate -s 1G "$WORK/big/zeros.bin"
scenario bigpackage viewer.exe && SOURCE="$WORK/big" seal "$FIX/bigpackage/viewer_data" || fail "sealing failed"
