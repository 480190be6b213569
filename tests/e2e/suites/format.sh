#!/usr/bin/env bash
# Formatting cards end to end: from Start to the completion box and the
# "Format Done" broadcast, then the card checked on the Linux side.
source "$(dirname "$0")/../lib.sh"
suite_begin format

# inspect LETTER FS LABEL: the card holds a clean file system of that kind.
inspect() {
  "$repo_root/tools/card-inspect" "$(card "$1")" --expect-fs "$2" --expect-label "$3" >"$suite_dir/inspect.txt" 2>&1
  local status=$?
  cat "$suite_dir/inspect.txt"
  return $status
}
untouched() { [ "$(stat -c %b "$(card "$1")")" -eq 0 ]; }

printf '[Disk]\r\nCardType=0\r\n' >"$install_dir/Disk.ini"
reader e 256M

scenario "SD 256 MiB, Optimized: success, the completion box, one Format Done broadcast" <<'EOF_'
wait timeout 60000
start -start
wait dialog
track IDC_PROGRESS
pid
click IDC_OPTIMIZED_FORMAT
wait box
answer ok
type IDC_LABEL HOLIDAY
ticks 1
click IDC_START
wait box
box
expect box.text == It will delete all file in the media!  continue ?
expect box.buttons == &Yes,&No
answer yes
wait box
box
expect box.text == Format done, please re-insert the card!
text IDC_STATUS_RESULT
expect text.IDC_STATUS_RESULT == "Success "
text IDC_STATUS_HINT
expect text.IDC_STATUS_HINT == Please re-insert the card
screenshot format-success
broadcasts
expect formatdone.count == 0
answer ok
wait formatdone 1
wait tick
broadcasts
expect formatdone.count == 1
expect formatdone sameas pid
progress IDC_PROGRESS
expect progress.highest sameas progress.highest.upper
syscommand SC_CLOSE
wait exit
EOF_
check "the 256 MiB SD card holds FAT16 with the label typed" inspect e fat16 HOLIDAY

reader e 1G
reader g 8G
scenario "SD 8 GiB, Complete: Please wait during the job, which survives device changes and close requests" < <(cat <<'EOF_'
wait timeout 180000
start -start
wait dialog
track IDC_PROGRESS
select IDC_DRIVE_LIST G
EOF_
erase_mode_confirmed IDC_COMPLETE_FORMAT
cat <<'EOF_'
wait text IDC_STATUS_HINT Please wait!!
enabled IDC_DRIVE_LIST
expect enabled.IDC_DRIVE_LIST == 0
sleep 1000
screenshot format-erasing
progress IDC_PROGRESS
expect progress.visible == 1
devicechange DBT_DEVICEARRIVAL E
combo IDC_DRIVE_LIST
expect combo.IDC_DRIVE_LIST.selected == 1
syscommand SC_CLOSE
wait tick
title
expect title == Veltrane  1.0
wait box
box
expect box.text == Format done, please re-insert the card!
answer ok
progress IDC_PROGRESS
expect progress.highest sameas progress.highest.upper
text IDC_STATUS_RESULT
expect text.IDC_STATUS_RESULT == "Success "
EOF_
erase_mode_confirmed IDC_OPTIMIZED_FORMAT
cat <<'EOF_'
wait box
answer ok
wait formatdone 2
broadcasts
expect formatdone.count == 2
syscommand SC_CLOSE
wait exit
EOF_
)
check "the 8 GiB SD card holds FAT32" inspect g fat32 BREVALD

# The card's flash-parameters record is kept, though the trial write took
# sector 0 before the library came.
reader e 64G
exfat_card_with_flash_record e
scenario "SD 64 GiB, no erase mode, on a system that reads exFAT: no warning, no bar, exFAT" < <(
  echo track IDC_PROGRESS
  format_opening
  cat <<'EOF_'
wait box
progress IDC_PROGRESS
expect progress.highest == none
EOF_
  format_success_ending
)
check "the 64 GiB SD card holds exFAT" inspect e exfat BREVALD
check "the card's flash-parameters record is kept" kept_flash_record e

# exFAT holds any script: the label typed in Japanese is stored as typed,
# as the system's own exfatlabel reads it through a loop device on the partition.
exfat_label() {
  local image start loop
  image=$(card "$1")
  start=$("$repo_root/tools/card-inspect" "$image" | sed -n 's/^partition_start_sector=//p')
  loop=$(losetup --find --show --read-only --offset $((start * 512)) "$image") || return 1
  exfatlabel "$loop" 2>/dev/null | sed -n 's/^label: //p'
  losetup --detach "$loop"
}
reader e 64G
scenario "SD 64 GiB with a label in Japanese: exFAT stores it as typed" < <(
  printf 'wait timeout 60000\nstart -start\nwait dialog\ntype IDC_LABEL 写真2026\n'
  start_confirmed
  format_success_ending
)
check "exfatlabel reads the label as typed" test "$(exfat_label e)" = "写真2026"

# FAT holds only its code page: the user reads what will be stored before
# the question.
reader e 256M
scenario "SD 256 MiB with a label FAT cannot hold: what it will store is told before the question" <<'EOF_'
wait timeout 60000
start -start
wait dialog
type IDC_LABEL photo日本
ticks 1
click IDC_START
wait box
box
expect box.text == The card's FAT file system cannot hold every character of the label. It will be stored as "PHOTO__".
answer ok
wait box
box
expect box.text == It will delete all file in the media!  continue ?
answer no
syscommand SC_CLOSE
wait exit
EOF_
check "the card answered No is untouched" untouched e

reader e 64G
printf '[Disk]\r\nCardType=1\r\n' >"$install_dir/Disk.ini"
scenario "MMC 64 GiB: the MMC builder, no exFAT warning" < <(format_opening; format_success_ending)
check "the 64 GiB MMC card holds FAT32" inspect e fat32 BREVALD

reader e 1G
printf '[Disk]\r\nCardType=2\r\n' >"$install_dir/Disk.ini"
scenario "CF 1 GiB: the CF builder" < <(format_opening; format_success_ending)
check "the 1 GiB CF card holds FAT16" inspect e fat16 BREVALD

# The erase by its bytes: the card is patterned first, so every byte the
# erase zeroed shows, and the builder's own area is left out of the count.
erased() { python3 "$e2e_root/erase_bytes.py" check "$(card e)" "$1"; }
printf '[Disk]\r\nCardType=0\r\n' >"$install_dir/Disk.ini"
reader e 64M
python3 "$e2e_root/erase_bytes.py" pattern "$(card e)"
scenario "SD 64 MiB, Optimized, over a patterned card" < <(erase_opening IDC_OPTIMIZED_FORMAT; format_success_ending)
check "Optimized zeroed the first 8 KiB of every 512 KiB and left the rest" erased optimized
reader e 64M
python3 "$e2e_root/erase_bytes.py" pattern "$(card e)"
scenario "SD 64 MiB, Complete, over a patterned card" < <(erase_opening IDC_COMPLETE_FORMAT; format_success_ending)
check "Complete zeroed every byte" erased complete

reader e 256M
md5_before=$(md5sum <"$(card e)")
chattr +i "$(card e)"
printf '[Disk]\r\nCardType=0\r\n' >"$install_dir/Disk.ini"
scenario "a card that refuses the trial write: Write-Protect, then Fail, no broadcast" < <(format_opening; cat <<'EOF_'
wait box
box
expect box.text == Disk is Write-Protect !!!
answer ok
EOF_
format_failure_ending)
chattr -i "$(card e)"
check "the write-protected card is unchanged" test "$(md5sum <"$(card e)")" = "$md5_before"

# A system that cannot read exFAT: Wine answers as Windows XP.
in_suite wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d winxp /f >/dev/null 2>&1
reader e 64G
scenario "SD 64 GiB on a system without exFAT: the warning, and No or a closed box leaves the card untouched" < <(format_opening; cat <<'EOF_'
wait box
box
expect box.text == Your operating system can't support exFAT file system, Are you sure you want to format your card? Please update for Windows XP with exFAT patch KB955704 to support exFAT
expect box.buttons == &Yes,&No
answer no
wait text IDC_STATUS_RESULT Cancel
text IDC_STATUS_HINT
expect text.IDC_STATUS_HINT == Please repeat the process
ticks 1
click IDC_START
wait box
answer yes
wait box
dismiss close
wait text IDC_STATUS_RESULT Cancel
broadcasts
expect formatdone.count == 0
syscommand SC_CLOSE
wait exit
EOF_
)
check "the declined card is untouched, not even its first sector" untouched e

scenario "SD 64 GiB on a system without exFAT: Yes formats exFAT all the same" < <(
  format_opening
  printf '%s\n' "wait box" "answer yes"
  format_success_ending
)
check "the card holds exFAT after the warning was accepted" inspect e exfat BREVALD
