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

fixed_mount=$work/fixed-mount
cleanup() {
  "$repo/tools/wine-prefix.sh" remove "$prefix"
  if mountpoint -q "$fixed_mount"; then
    umount "$fixed_mount"
  fi
  # Never into a file system that is still mounted here.
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT

rm -rf "$work"
mkdir -p "$cards" "$bin"
cp "$test_exe" "$dll" "$bin/"
"$repo/tools/wine-prefix.sh" create "$prefix" || { echo "cannot create the Wine prefix"; exit 1; }
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
exe=$bin/$(basename "$test_exe")

same_size() { [ "$(stat -c %s "$1")" = "$2" ]; }
same_sum() { [ "$(md5sum <"$1")" = "$2" ] || { echo "$1 changed"; return 1; }; }
fails() { ! "$@"; }

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
check "no card: the empty reader is left as it was" same_size "$prefix/readers/l.no-card" 0

# A drive holding a page file is what the probe hides; the builders refuse it
# by the same rule, before they write anything.
truncate -s 1G "$cards/M.img"
printf 'MARK%.0s' {1..128} | dd of="$cards/M.img" conv=notrunc status=none
"$repo/tools/card-reader.sh" "$prefix" M "$cards/M.img"
wine reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Memory Management' \
  /v PagingFiles /t REG_MULTI_SZ /d 'M:\pagefile.sys 0 0' /f >/dev/null 2>&1
page_file_sum=$(md5sum <"$cards/M.img")
check "probe: a page-file drive is never offered" fails wine "$exe" probe M
for builder in exfat fat32 sd mmc cf; do
  check "$builder: refuses a page-file drive" wine "$exe" refuse "$builder" M
done
check "page-file drive: its card is unchanged" same_sum "$cards/M.img" "$page_file_sum"
wine reg delete 'HKLM\System\CurrentControlSet\Control\Session Manager\Memory Management' \
  /v PagingFiles /f >/dev/null 2>&1

# A fixed drive whose folder is a real mount point: Wine opens \\.\Y: as the
# block device behind it, and dismounting that unmounts the host file system.
# Every builder must refuse before it locks or dismounts anything.
mkdir -p "$fixed_mount"
truncate -s 8M "$work/fixed.img"
if mkfs.ext2 -q -F "$work/fixed.img" && mount -o loop,noatime "$work/fixed.img" "$fixed_mount" 2>/dev/null; then
  echo kept >"$fixed_mount/KEPT.TXT"
  sync
  fixed_sum=$(md5sum <"$work/fixed.img")
  "$repo/tools/card-reader.sh" "$prefix" Y --fixed "$fixed_mount"
  for builder in exfat fat32 sd mmc cf; do
    check "$builder: refuses a fixed drive on a mount point" wine "$exe" refuse "$builder" Y
  done
  sync
  check "fixed drive: the host file system is still mounted" findmnt --mountpoint "$fixed_mount"
  check "fixed drive: its file is still there" grep -qx kept "$fixed_mount/KEPT.TXT"
  check "fixed drive: its image is unchanged" same_sum "$work/fixed.img" "$fixed_sum"
else
  echo "skip fixed drive on a mount point: cannot make and loop-mount an ext2 image here (root and loop devices needed)"
fi

# A card pulled mid-format (its image cut to nothing once the first write has
# landed) fails the format and is not written back to its old size. A 2 TiB
# CF card writes about 500 MiB of FAT, over a second: the pull lands well
# inside it. A write already under way when the card goes may still land:
# at most one piece of 1 MiB.
truncate -s 2T "$cards/P.img"
"$repo/tools/card-reader.sh" "$prefix" P "$cards/P.img"
wine "$exe" refuse cf P >"$work/pulled.out" 2>&1 &
builder_pid=$!
until [ "$(stat -c %b "$cards/P.img")" -gt 0 ] || ! kill -0 "$builder_pid" 2>/dev/null; do
  sleep 0.01
done
truncate -s 0 "$cards/P.img"
wait "$builder_pid"
pulled_status=$?
not_grown() {
  local bytes kib
  bytes=$(stat -c %s "$1") kib=$(du -k "$1" | cut -f1)
  [ "$bytes" -lt 2199023255552 ] && [ "$kib" -le 1024 ] || { echo "$bytes bytes, $kib KiB on disk"; return 1; }
}
check "cf: a card pulled mid-format fails the format" test "$pulled_status" -eq 0
check "cf: a pulled card is not written back" not_grown "$cards/P.img"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
