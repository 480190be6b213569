#!/usr/bin/env bash
# The drive view: which readers are listed, the size line and Start as cards
# come and go, device-change messages, card type and erase mode, Disk.ini.
source "$(dirname "$0")/../lib.sh"
suite_begin drives

reader e 8G
reader g 256M
reader f --fixed
ini=$install_dir/Disk.ini

scenario "removable readers are listed in order with the first selected; a fixed drive is not" <<'EOF_'
start -start
wait dialog
combo IDC_DRIVE_LIST
expect combo.IDC_DRIVE_LIST == E,G
expect combo.IDC_DRIVE_LIST.selected == 0
text IDC_DISK_SIZE
expect text.IDC_DISK_SIZE == "7.99 GBytes ( 8587192320  Bytes )    "
enabled IDC_START
expect enabled.IDC_START == 0
ticks 1
enabled IDC_START
expect enabled.IDC_START == 1
select IDC_DRIVE_LIST G
text IDC_DISK_SIZE
expect text.IDC_DISK_SIZE == "251 MBytes ( 263208960 Bytes )    "
enabled IDC_START
expect enabled.IDC_START == 0
key altf4
wait exit
EOF_

check "the first run wrote Disk.ini with SD, no erase flag and the label" \
  grep -qz $'\\[Disk\\]\r\\?\nCardType=0\r\\?\nClearAll=0\r\\?\n.*\\[FORMAT\\]\r\\?\nLabel=BREVALD' "$ini"

# Wine's mount manager keeps the reader's device path while it runs: the card
# is pulled by emptying its image (a reader of no length holds no card).
pull_card() { cp --sparse=always "$(card e)" "$(card e).out" && truncate -s 0 "$(card e)"; }
push_card() { cp --sparse=always "$(card e).out" "$(card e)" && rm "$(card e).out"; }
on_signal pull pull_card
on_signal push push_card
scenario "a card pulled from the reader reads 0 Bytes with Start inactive within 2 s, and back again" <<'EOF_'
start -start
wait dialog
ticks 1
enabled IDC_START
expect enabled.IDC_START == 1
signal pull
# One poll period (2 s) and a margin for a busy machine.
wait timeout 3000
wait text IDC_DISK_SIZE "0 Bytes                                        "
enabled IDC_START
expect enabled.IDC_START == 0
screenshot no-card
signal push
wait text IDC_DISK_SIZE "7.99 GBytes ( 8587192320  Bytes )    "
enabled IDC_START
expect enabled.IDC_START == 1
kill
EOF_

scenario "a device arrival rebuilds the list and selects the first entry; another event does not" <<'EOF_'
start -start
wait dialog
select IDC_DRIVE_LIST G
combo IDC_DRIVE_LIST
expect combo.IDC_DRIVE_LIST.selected == 1
devicechange DBT_DEVNODES_CHANGED E
combo IDC_DRIVE_LIST
expect combo.IDC_DRIVE_LIST.selected == 1
devicechange DBT_DEVICEARRIVAL E
combo IDC_DRIVE_LIST
expect combo.IDC_DRIVE_LIST == E,G
expect combo.IDC_DRIVE_LIST.selected == 0
select IDC_DRIVE_LIST G
devicechange DBT_DEVICEREMOVECOMPLETE E
combo IDC_DRIVE_LIST
expect combo.IDC_DRIVE_LIST.selected == 0
kill
EOF_

scenario "choosing MMC resets the pictures at once and lights MMC at the next tick" <<'EOF_'
start -start
wait dialog
pixels IDC_PICTURE_SD sd_plain
pixels IDC_PICTURE_MMC mmc_plain
ticks 1
pixels IDC_PICTURE_SD sd_lit
expect sd_lit differsfrom sd_plain
click IDC_CARD_MMC
wait tick
pixels IDC_PICTURE_SD sd_after
pixels IDC_PICTURE_MMC mmc_after
expect sd_after sameas sd_plain
expect mmc_after sameas mmc_plain
ticks 1
pixels IDC_PICTURE_MMC mmc_lit
expect mmc_lit differsfrom mmc_plain
pixels IDC_PICTURE_SD sd_now
expect sd_now sameas sd_plain
kill
EOF_

scenario "the erase modes exclude each other, each with its message" <<'EOF_'
start -start
wait dialog
click IDC_COMPLETE_FORMAT
wait box
box
expect box.text == It will take the MOST LONG time!!
answer ok
checked IDC_COMPLETE_FORMAT
expect checked.IDC_COMPLETE_FORMAT == 1
click IDC_OPTIMIZED_FORMAT
wait box
box
expect box.text == It will take SHORTER time than Complete Format!!
answer ok
checked IDC_COMPLETE_FORMAT
expect checked.IDC_COMPLETE_FORMAT == 0
checked IDC_OPTIMIZED_FORMAT
expect checked.IDC_OPTIMIZED_FORMAT == 1
click IDC_OPTIMIZED_FORMAT
wait tick
box
expect box == none
checked IDC_OPTIMIZED_FORMAT
expect checked.IDC_OPTIMIZED_FORMAT == 0
kill
EOF_

scenario "the label typed is recorded on close, and the next run starts with BREVALD" <<'EOF_'
start -start
wait dialog
click IDC_CARD_CF
type IDC_LABEL HOLIDAY
key altf4
wait exit
start -start
wait dialog
text IDC_LABEL
expect text.IDC_LABEL == BREVALD
checked IDC_CARD_CF
expect checked.IDC_CARD_CF == 1
key altf4
wait exit
EOF_
check "Disk.ini holds the CF card type and the typed label" \
  grep -qz $'CardType=2\r\\?\n.*Label=HOLIDAY' "$ini"

printf '[Disk]\r\nCardType=2\r\nClearAll=0\r\n' >"$ini"
scenario "a saved CF card type starts with CF checked and the default label" <<'EOF_'
start -start
wait dialog
checked IDC_CARD_CF
expect checked.IDC_CARD_CF == 1
checked IDC_CARD_SD
expect checked.IDC_CARD_SD == 0
text IDC_LABEL
expect text.IDC_LABEL == BREVALD
kill
EOF_

printf '[Disk]\r\nCardType=99\r\nClearAll=0\r\n' >"$ini"
scenario "an unknown card type reads as SD, as a negative one does" <<'EOF_'
start -start
wait dialog
checked IDC_CARD_SD
expect checked.IDC_CARD_SD == 1
checked IDC_CARD_MMC
expect checked.IDC_CARD_MMC == 0
checked IDC_CARD_CF
expect checked.IDC_CARD_CF == 0
key altf4
wait exit
EOF_
check "Disk.ini says CardType=0 after the close" grep -q '^CardType=0' "$ini"

scenario "a thousand capacity refreshes leave GDI objects and memory where they were" <<'EOF_'
start -start
wait dialog
click IDC_CARD_SD
ticks 20
leakcheck 1000
expect gdiobjects.growth <= 0
expect commitkib.growth <= 1024
kill
EOF_

# The poll around a job: a tick during the job would make Start usable again
# under the running job; after the job the timer runs again by itself.
reader h 2G
printf '[Disk]\r\nCardType=0\r\n' >"$ini"
on_signal pull-h truncate -s 0 "$(card h)"
scenario "poll ticks during a job change nothing; after it the timer polls again and sees a pulled card" <<'EOF_'
wait timeout 60000
start -start
wait dialog
select IDC_DRIVE_LIST H
click IDC_COMPLETE_FORMAT
wait box
answer ok
ticks 1
text IDC_DISK_SIZE
expect text.IDC_DISK_SIZE == "1.99 GBytes ( 2146798080  Bytes )    "
click IDC_START
wait box
answer yes
wait text IDC_STATUS_HINT Please wait!!
ticks 3
enabled IDC_START
expect enabled.IDC_START == 0
text IDC_DISK_SIZE
expect text.IDC_DISK_SIZE == "1.99 GBytes ( 2146798080  Bytes )    "
text IDC_STATUS_HINT
expect text.IDC_STATUS_HINT == Please wait!!
wait box
box
expect box.text == Format done, please re-insert the card!
answer ok
signal pull-h
# Two poll periods (2 s each) and a margin for a busy machine.
wait timeout 5000
wait text IDC_DISK_SIZE "0 Bytes                                        "
enabled IDC_START
expect enabled.IDC_START == 0
kill
EOF_
