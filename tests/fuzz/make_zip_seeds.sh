#!/usr/bin/env bash
# Remakes the ZIP seeds of the extraction fuzzer with the zip tools people
# use (Info-ZIP zip, bsdtar, 7-Zip, Python's zipfile), so the fuzzer starts
# from what real archives look like. The results are committed; run again
# only to change them (needs zip, libarchive-tools, p7zip-full).
#   bash tests/fuzz/make_zip_seeds.sh
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/seeds/zip_extract"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"
cd "$work"

mkdir -p files/sub/deeper folders/a/b folders/c
printf 'first file\r\n' > files/readme.txt
printf 'some text, some text, some text, some text\n%.0s' 1 2 3 4 5 6 > files/text.txt
: > files/empty.bin
head -c 300 /dev/urandom > files/random.bin
printf 'nested\n' > files/sub/inner.txt
printf 'deeper\n' > files/sub/deeper/deep.txt
printf 'データ\n' > "files/データ.csv"
touch -d '2024-03-05 22:30:00 UTC' files/* files/sub/* 2>/dev/null || true

# Info-ZIP: deflate, stored, forced ZIP64, a streamed entry (data descriptor),
# folders only, and the empty archive.
(cd files && zip -q -X -r "$out/infozip_deflate.zip" readme.txt text.txt empty.bin sub "データ.csv")
(cd files && zip -q -X -0 "$out/infozip_stored.zip" readme.txt random.bin)
(cd files && zip -q -X -fz "$out/infozip_zip64.zip" readme.txt text.txt)
printf 'streamed through a pipe\n' | zip -q -X - - > "$out/infozip_data_descriptor.zip"
(cd folders && zip -q -X -r "$out/infozip_folders_only.zip" a c)
(cd files && zip -q "$out/infozip_empty.zip" readme.txt && zip -q -d "$out/infozip_empty.zip" readme.txt)

# bsdtar: data descriptors on every deflated entry, UTF-8 names, and a
# Shift_JIS name as older Japanese tools wrote it.
(cd files && bsdtar --format zip -cf "$out/bsdtar_deflate.zip" readme.txt text.txt sub "データ.csv")
(cd files && bsdtar --format zip --options zip:hdrcharset=CP932 -cf "$out/bsdtar_shift_jis.zip" "データ.csv" readme.txt)
(cd files && bsdtar --format zip --options zip:compression=store -cf "$out/bsdtar_stored.zip" readme.txt empty.bin)

# 7-Zip: deflate with UTF-8 names, and its own ZIP64 handling of a small file.
(cd files && 7z a -tzip -mcu=on -bso0 -bsp0 "$out/7z_utf8.zip" readme.txt "データ.csv" sub >/dev/null)
(cd files && 7z a -tzip -mm=Copy -bso0 -bsp0 "$out/7z_stored.zip" text.txt >/dev/null)

# Python's zipfile: an unseekable output (data descriptors), forced ZIP64
# records, a cp437 name, and a comment.
python3 - "$out" <<'PY'
import io, sys, zipfile
out = sys.argv[1]

class Unseekable(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)

with open(f"{out}/python_streamed.zip", "wb") as f:
    with zipfile.ZipFile(Unseekable(f), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("streamed.txt", "written to a pipe\n" * 4)
        z.writestr("caf\u00e9.txt", "cp437 name\n")
with zipfile.ZipFile(f"{out}/python_zip64.zip", "w", zipfile.ZIP_DEFLATED) as z:
    with z.open("big.txt", "w", force_zip64=True) as e:
        e.write(b"zip64 records\n" * 8)
    z.writestr("dir/", "")
    z.comment = b"an archive comment"
PY
ls -l "$out"
