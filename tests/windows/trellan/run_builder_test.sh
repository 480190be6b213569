#!/usr/bin/env bash
# Runs every Trellan.dll builder under Wine on a virtual card reader, then
# judges the card images on the Linux side with fsck and blkid.
#   run_builder_test.sh TEST_EXE TRELLAN_DLL REPO_ROOT WORK_DIR
set -uo pipefail
test_exe=$(realpath "${1:?test exe}")
dll=$(realpath "${2:?Trellan.dll}")
repo=$(realpath "${3:?repo root}")
work=$(realpath -m "${4:?work dir}")
prefix=$work/prefix
cards=$work/cards
bin=$work/bin

failures=0
check() {  # check NAME COMMAND...: runs the command, counts a failure
  local name=$1; shift
  local output
  if output=$("$@" 2>&1); then
    echo "ok   $name"
  else
    echo "FAIL $name"
    printf '%s\n' "$output" | sed 's/^/     /'
    failures=$((failures + 1))
  fi
}

cleanup() {
  "$repo/tools/wine-prefix.sh" remove "$prefix"
  rm -rf "$work"
}
trap cleanup EXIT

rm -rf "$work"
mkdir -p "$cards" "$bin"
cp "$test_exe" "$dll" "$bin/"
"$repo/tools/wine-prefix.sh" create "$prefix" || { echo "cannot create the Wine prefix"; exit 1; }
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
exe=$bin/$(basename "$test_exe")

# Copies the first partition of a card image into its own sparse file (data
# extents only, so a large card costs what was written on it).
extract_partition() {
  python3 - "$1" "$2" <<'PY'
import os, struct, sys
card, volume = sys.argv[1], sys.argv[2]
with open(card, 'rb') as f:
    mbr = f.read(512)
start, length = struct.unpack_from('<II', mbr, 0x1BE + 8)
if mbr[510:512] != b'\x55\xaa' or length == 0:
    sys.exit('no partition table on ' + card)
begin, end = start * 512, (start + length) * 512
fin = os.open(card, os.O_RDONLY)
fout = os.open(volume, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
os.ftruncate(fout, end - begin)
pos = begin
while pos < end:
    try:
        data = os.lseek(fin, pos, os.SEEK_DATA)
    except OSError:
        break
    if data >= end:
        break
    hole = min(os.lseek(fin, data, os.SEEK_HOLE), end)
    while data < hole:
        chunk = os.pread(fin, min(1 << 20, hole - data), data)
        os.pwrite(fout, chunk, data - begin)
        data += len(chunk)
    pos = hole
PY
}

label_of() { blkid -p -s LABEL -o value "$1"; }
same_size() { [ "$(stat -c %s "$1")" = "$2" ]; }
fsck_fat() { fsck.fat -n "$1"; }
fsck_exfat() { local out; out=$(fsck.exfat -n "$1" 2>&1) && ! grep -qi error <<<"$out"; }

# card LETTER SIZE BUILDER FSCK EXPECTED_LABEL [LABEL]
card() {
  local letter=$1 size=$2 builder=$3 fsck=$4 expected=$5
  shift 5
  local image=$cards/$letter.img volume=$cards/$letter.volume
  truncate -s "$size" "$image"
  "$repo/tools/card-reader.sh" "$prefix" "$letter" "$image"
  local bytes; bytes=$(stat -c %s "$image")
  check "$builder: builds a $size card in $letter:" wine "$exe" build "$builder" "$letter" "$@"
  check "$builder: the image keeps its size" same_size "$image" "$bytes"
  check "$builder: the first partition can be read" extract_partition "$image" "$volume"
  check "$builder: $fsck finds no error" "$fsck" "$volume"
  check "$builder: label reads '$expected'" test "$(label_of "$volume")" = "$expected"
  rm -f "$volume"
}

card E 64G exfat fsck_exfat "Été 2024" "Été 2024"
card F 40G exfat fsck_exfat "" ""
card G 8G fat32 fsck_fat "HOLIDAY" "holiday"
card H 1G sd fsck_fat "CAMERA" "Camera"
card I 128M mmc fsck_fat "" ""
card J 512M cf fsck_fat "CF CARD" "CF card"
# A null label pointer is an empty label.
truncate -s 40G "$cards/K.img"
"$repo/tools/card-reader.sh" "$prefix" K "$cards/K.img"
check "exfat: a null label pointer formats" wine "$exe" build exfat K

check "probe: a virtual reader is offered" wine "$exe" probe E
"$repo/tools/card-reader.sh" "$prefix" L --empty
for builder in exfat fat32 sd mmc cf; do
  check "$builder: fails on a reader without a card" wine "$exe" refuse "$builder" L
  check "$builder: fails on a letter without a drive" wine "$exe" refuse "$builder" Q
done

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
