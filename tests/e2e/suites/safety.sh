#!/usr/bin/env bash
# The destructive path: only the chosen card is ever written, a failure is
# never reported as success, and a running job cannot be ended. Every
# scenario is judged by the card images afterwards, not by texts alone.
source "$(dirname "$0")/../lib.sh"
suite_begin safety

# plant LETTER: random bytes at the start, the middle and the end of the card.
plant() {
  local image size
  image=$(card "$1")
  size=$(stat -c %s "$image")
  for at in 0 $((size / 2)) $((size - 1048576)); do
    head -c 1048576 /dev/urandom | dd of="$image" bs=1M seek=$((at / 1048576)) conv=notrunc status=none
  done
}
digest() { md5sum <"$(card "$1")"; }
inspect() { "$repo_root/tools/card-inspect" "$(card "$1")" --expect-fs "$2" --expect-label BREVALD; }
untouched() { [ "$(stat -c %b "$(card "$1")")" -eq 0 ]; }

printf '[Disk]\r\nCardType=0\r\n' >"$install_dir/Disk.ini"

reader e 256M
reader g 512M
plant e
e_before=$(digest e)
scenario "a rescan while the question is open: Yes formats the card selected, not the one the list jumps to; a second Start asks nothing" <<'EOF_'
wait timeout 60000
start -start
wait dialog
select IDC_DRIVE_LIST G
ticks 1
click IDC_START
wait box
box
expect box.text == It will delete all file in the media!  continue ?
devicechange DBT_DEVICEARRIVAL K
combo IDC_DRIVE_LIST
expect combo.IDC_DRIVE_LIST.selected == 1
click IDC_START
wait tick
answer yes
wait box
box
expect box.text == Format done, please re-insert the card!
answer ok
wait formatdone 1
wait tick
box
expect box == none
broadcasts
expect formatdone.count == 1
syscommand SC_CLOSE
wait exit
EOF_
check "the card on E, never chosen, is byte for byte as it was" test "$(digest e)" = "$e_before"
check "the chosen card on G holds FAT16" inspect g fat16

reader e 256M
plant e
e_before=$(digest e)
scenario "the question closed, cancelled, escaped, closed from its menu or ended by WM_QUIT: nothing is erased, and WM_QUIT ends the program" <<'EOF_'
wait timeout 60000
start -start
wait dialog
ticks 1
click IDC_START
wait box
dismiss close
click IDC_START
wait box
dismiss cancel
click IDC_START
wait box
dismiss sysclose
click IDC_START
wait box
key escape
wait nobox
enabled IDC_DRIVE_LIST
expect enabled.IDC_DRIVE_LIST == 1
click IDC_START
wait box
quit
wait exit
EOF_
check "the card whose question was never answered Yes is byte for byte as it was" test "$(digest e)" = "$e_before"

reader e 256M
plant e
e_before=$(digest e)
scenario "Start reached with Tab and Space pressed twice on it: the question's default button is No, and nothing is erased" <<'EOF_'
wait timeout 60000
start -start
wait dialog
ticks 1
key tab
key tab
key tab
key tab
key tab
wait tick
focus
expect focus == IDC_START
key space
wait box
box
expect box.text == It will delete all file in the media!  continue ?
key space
wait nobox
sleep 500
box
expect box == none
syscommand SC_CLOSE
wait exit
EOF_
check "the card is byte for byte as it was" test "$(digest e)" = "$e_before"

# Between two polls the reader's card becomes a bigger one: the question is
# asked with the size of the card it is about.
reader g 512M
bigger_card() { rm -f "$(card g)" && truncate -s 1G "$(card g)"; }
on_signal bigger bigger_card
scenario "a card swapped for a bigger one between two polls: the size line shows the bigger card before the question" <<'EOF_'
wait timeout 60000
start -start
wait dialog
select IDC_DRIVE_LIST G
ticks 1
text IDC_DISK_SIZE
expect text.IDC_DISK_SIZE == "509 MBytes ( 534643200 Bytes )    "
signal bigger
click IDC_START
wait box
text IDC_DISK_SIZE
expect text.IDC_DISK_SIZE == "1019 MBytes ( 1069286400 Bytes )    "
answer no
syscommand SC_CLOSE
wait exit
EOF_
check "the bigger card, asked about and answered No, is untouched" untouched g

# Two cards of one size tell apart by what they hold, not by their length.
reader g 512M
plant g
swap_card() { rm -f "$(card g)" && truncate -s 512M "$(card g)"; }
on_signal swap swap_card
scenario "the card swapped for another of the same size while the question is open: Yes writes nothing and fails" < <(cat <<'EOF_'
wait timeout 60000
start -start
wait dialog
select IDC_DRIVE_LIST G
ticks 1
click IDC_START
wait box
signal swap
answer yes
wait box
box
expect box.text == The card in the drive is not the one you agreed to erase. Nothing has been written to it.
answer ok
EOF_
format_failure_ending)
check "the card put in instead is untouched" untouched g
check "the card on E is still as it was" test "$(digest e)" = "$e_before"

reader e 1G
plant e
pull_card() { truncate -s 0 "$(card e)"; }
on_signal pull pull_card
scenario "a card pulled during a Complete erase: the job stops with Fail and the card removed, no builder, no broadcast" < <(erase_opening IDC_COMPLETE_FORMAT 120000; cat <<'EOF_'
wait text IDC_STATUS_HINT Please wait!!
freeze IDC_PROGRESS 1
signal pull
thaw
wait box
box
expect box.text contains failed: the card was removed. The card has not been formatted.
answer ok
EOF_
format_failure_ending)
check "the pulled card's image is not written back to its old size" test "$(stat -c %s "$(card e)")" -eq 0

# Two programs on one card: the second is started while the first stands
# still mid-erase, holding the card.
reader e 1G
cat >"$suite_dir/second.script" <<'EOF_'
wait timeout 60000
start -start
wait dialog
type IDC_LABEL SECOND
ticks 1
click IDC_START
wait box
answer yes
wait box
box
expect box.text == The card is being formatted by another program. Nothing has been written to it.
answer ok
wait text IDC_STATUS_HINT Format Error
broadcasts
expect formatdone.count == 0
syscommand SC_CLOSE
wait exit
EOF_
on_signal second side_scenario second "$suite_dir/second.script"
scenario "two programs on one card: the one that holds it formats, the other is told and writes nothing" < <(cat <<'EOF_'
wait timeout 120000
start -start
wait dialog
type IDC_LABEL FIRST
EOF_
erase_mode_confirmed IDC_COMPLETE_FORMAT
cat <<'EOF_'
wait text IDC_STATUS_HINT Please wait!!
freeze IDC_PROGRESS 1
signal second
thaw
wait box
box
expect box.text == Format done, please re-insert the card!
answer ok
wait formatdone 1
broadcasts
expect formatdone.count == 1
syscommand SC_CLOSE
wait exit
EOF_
)
check "the second program was refused as its scenario expects" test "$(cat "$suite_dir/second.status")" = 0
check "the card holds one clean file system with the first program's label" \
  "$repo_root/tools/card-inspect" "$(card e)" --expect-fs fat16 --expect-label FIRST

reader e 8G
scenario "IDOK, Execute, an ending session and WM_QUIT during an 8 GiB Complete erase: the job runs to its end" < <(cat <<'EOF_'
wait timeout 180000
start -start
wait dialog
pid
EOF_
erase_mode_confirmed IDC_COMPLETE_FORMAT
cat <<'EOF_'
wait text IDC_STATUS_HINT Please wait!!
command IDOK
key execute
wait tick
endsession
expect endsession == 0
title
expect title == Veltrane  1.0
quit
# WM_QUIT ends the dialog's loop, so no tick can be waited for: the process
# is given time to end if it were going to.
sleep 1500
running
expect running == 1
wait box
box
expect box.text == Format done, please re-insert the card!
answer ok
wait formatdone 1
broadcasts
expect formatdone sameas pid
wait exit
EOF_
)
check "the 8 GiB card, left alone to the end, holds a clean FAT32" inspect e fat32

reader e 1G
scenario "Execute and IDOK while no job runs: Execute is swallowed like Enter; an ending session is let go" <<'EOF_'
start -start
wait dialog
key execute
wait tick
title
expect title == Veltrane  1.0
endsession
expect endsession == 1
syscommand SC_CLOSE
wait exit
EOF_

# 2 TiB and 1 MiB: beyond what an MBR addresses. Sector 0 carries a pattern.
reader e 2097153M
head -c 512 /dev/urandom | dd of="$(card e)" conv=notrunc status=none
sector0() { head -c 512 "$(card e)" | md5sum; }
sector0_before=$(sector0)
scenario "a card over 2 TiB: refused with the reason before anything is written" < <(format_opening; cat <<'EOF_'
wait box
box
expect box.caption == Veltrane
expect box.text == This card is too large to be formatted: cards of up to 2 TiB can be formatted. Nothing has been written to it.
answer ok
EOF_
format_failure_ending)
check "sector 0 of the 2 TiB + 1 MiB card is unchanged" test "$(sector0)" = "$sector0_before"

reader e 511
scenario "a card of 511 bytes: too small, refused before anything is written; a close right after the box is carried out" < <(format_opening; cat <<'EOF_'
wait box
box
expect box.text == This card is too small to hold a file system. Nothing has been written to it.
answer ok
syscommand SC_CLOSE
wait exit
EOF_
)
check "the 511-byte card is untouched" untouched e

reader e 256M
printf '[Disk]\r\nCardType=-1\r\n' >"$install_dir/Disk.ini"
scenario "CardType=-1 reads as SD, and Start formats the card with the SD builder" < <(
  cat <<'EOF_'
wait timeout 60000
start -start
wait dialog
checked IDC_CARD_SD
expect checked.IDC_CARD_SD == 1
ticks 1
click IDC_START
wait box
answer yes
EOF_
  format_success_ending
)
check "the card holds FAT16 from the SD builder" inspect e fat16

# launcher_position ARGUMENTS PLACE: the dialog started with ARGUMENTS sits at PLACE.
launcher_position() {
  printf '%s\n' "start -start $1" "wait dialog" "rect" "expect rect == $2" "syscommand SC_CLOSE" "wait exit"
}
positions=(
  'top=120 left=340 END|340,120 485x403'
  'top=120 left=900 END|900,120 485x403'
  'top=120 left=-99999 END|0,120 485x403'
  'top=99999999999999999999 left=-99999999999999999999 END|0,365 485x403'
)
scenario "launcher positions: values that fit stay, a window off every screen comes back whole" < <(
  for row in "${positions[@]}"; do launcher_position "${row%%|*}" "${row#*|}"; done
)
