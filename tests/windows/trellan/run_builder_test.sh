#!/usr/bin/env bash
# Runs every Trellan.dll builder under Wine on a virtual card reader, then
# judges the card images on the Linux side with card-inspect (fsck and blkid).
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

same_size() { [ "$(stat -c %s "$1")" = "$2" ]; }

# card-inspect's key=value lines for the card in hand; each check below asks
# for one of them and shows them all when it fails.
facts=
has_fact() { grep -qxF "$1=$2" <<<"$facts" || { printf '%s\n' "$facts"; return 1; }; }
has_partition() { grep -q '^partition_start_sector=' <<<"$facts" || { printf '%s\n' "$facts"; return 1; }; }

# card LETTER SIZE BUILDER FILE_SYSTEM EXPECTED_LABEL [LABEL]
card() {
  local letter=$1 size=$2 builder=$3 file_system=$4 expected=$5
  shift 5
  local image=$cards/$letter.img
  truncate -s "$size" "$image"
  "$repo/tools/card-reader.sh" "$prefix" "$letter" "$image"
  local bytes; bytes=$(stat -c %s "$image")
  check "$builder: builds a $size card in $letter:" wine "$exe" build "$builder" "$letter" "$@"
  check "$builder: the image keeps its size" same_size "$image" "$bytes"
  facts=$("$repo/tools/card-inspect" "$image" --expect-fs "$file_system" --expect-label "$expected" 2>&1)
  check "$builder: the first partition can be read" has_partition
  check "$builder: the volume is $file_system" has_fact filesystem "$file_system"
  check "$builder: fsck finds no error" has_fact fsck clean
  check "$builder: label reads '$expected'" has_fact label "$expected"
}

card E 64G exfat exfat "Été 2024" "Été 2024"
card F 40G exfat exfat "" ""
card M 40G exfat exfat "Trip" "Trip  "
card N 40G exfat exfat "" "   "
card G 8G fat32 fat32 "HOLIDAY" "holiday"
card H 1G sd fat16 "CAMERA" "Camera"
card I 128M mmc fat16 "" ""
card J 512M cf fat16 "CF CARD" "CF card"
# FAT labels beyond ASCII: Wine in this locale reads the label in ANSI code
# page 1252 and stores FAT labels in OEM code page 437, as Windows does with
# upper case and '_' for what 437 cannot hold (Ø). fsck.fat 4.2 refuses every
# label byte from 80h up, so the bytes are judged here, not its verdict.
# oem_card LETTER BUILDER FILE_SYSTEM SHOWN BYTES LABEL
oem_card() {
  local letter=$1 builder=$2 file_system=$3 shown=$4 bytes=$5 label=$6
  local image=$cards/$letter.img
  truncate -s 256M "$image"
  "$repo/tools/card-reader.sh" "$prefix" "$letter" "$image"
  check "$builder: builds with the ANSI label '$label'" wine "$exe" build "$builder" "$letter" "$label"
  facts=$("$repo/tools/card-inspect" "$image" --codepage 437 2>&1)
  check "$builder: the volume is $file_system" has_fact filesystem "$file_system"
  check "$builder: label reads '$shown'" has_fact label "$shown"
  check "$builder: label bytes are $bytes" has_fact label_bytes "$bytes"
}
oem_card O sd fat16 "CAFÉ" "43 41 46 90" "Café"
oem_card P cf fat16 "SM_RREBR_D" "53 4d 5f 52 52 45 42 52 5f 44" "Smørrebrød"

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
