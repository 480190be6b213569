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
combo 1032
expect combo.1032 == E,G
expect combo.1032.selected == 0
text 1003
expect text.1003 == "7.99 GBytes ( 8587192320  Bytes )    "
enabled 1002
expect enabled.1002 == 0
ticks 1
enabled 1002
expect enabled.1002 == 1
select 1032 G
text 1003
expect text.1003 == "251 MBytes ( 263208960 Bytes )    "
enabled 1002
expect enabled.1002 == 0
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
enabled 1002
expect enabled.1002 == 1
signal pull
# One poll period (2 s) and a margin for a busy machine.
wait timeout 3000
wait text 1003 "0 Bytes                                        "
enabled 1002
expect enabled.1002 == 0
sleep 300
screenshot no-card
signal push
wait text 1003 "7.99 GBytes ( 8587192320  Bytes )    "
enabled 1002
expect enabled.1002 == 1
kill
EOF_

scenario "a device arrival rebuilds the list and selects the first entry; another event does not" <<'EOF_'
start -start
wait dialog
select 1032 G
combo 1032
expect combo.1032.selected == 1
devicechange 0x0007 E
combo 1032
expect combo.1032.selected == 1
devicechange 0x8000 E
combo 1032
expect combo.1032 == E,G
expect combo.1032.selected == 0
select 1032 G
devicechange 0x8004 E
combo 1032
expect combo.1032.selected == 0
kill
EOF_

scenario "choosing MMC resets the pictures at once and lights MMC at the next tick" <<'EOF_'
start -start
wait dialog
sleep 300
pixels 1019 sd_plain
pixels 1018 mmc_plain
ticks 1
sleep 300
pixels 1019 sd_lit
expect sd_lit differsfrom sd_plain
click 1005
sleep 300
pixels 1019 sd_after
pixels 1018 mmc_after
expect sd_after sameas sd_plain
expect mmc_after sameas mmc_plain
ticks 1
sleep 300
pixels 1018 mmc_lit
expect mmc_lit differsfrom mmc_plain
pixels 1019 sd_now
expect sd_now sameas sd_plain
kill
EOF_

scenario "the erase modes exclude each other, each with its message" <<'EOF_'
start -start
wait dialog
click 1031
wait box
box
expect box.text == It will take the MOST LONG time!!
answer ok
checked 1031
expect checked.1031 == 1
click 1034
wait box
box
expect box.text == It will take SHORTER time than Complete Format!!
answer ok
checked 1031
expect checked.1031 == 0
checked 1034
expect checked.1034 == 1
click 1034
sleep 300
box
expect box == none
checked 1034
expect checked.1034 == 0
kill
EOF_

scenario "the label typed is recorded on close, and the next run starts with BREVALD" <<'EOF_'
start -start
wait dialog
click 1006
type 1007 HOLIDAY
key altf4
wait exit
start -start
wait dialog
text 1007
expect text.1007 == BREVALD
checked 1006
expect checked.1006 == 1
key altf4
wait exit
EOF_
check "Disk.ini holds the CF card type and the typed label" \
  grep -qz $'CardType=2\r\\?\n.*Label=HOLIDAY' "$ini"

printf '[Disk]\r\nCardType=2\r\nClearAll=0\r\n' >"$ini"
scenario "a saved CF card type starts with CF checked and the default label" <<'EOF_'
start -start
wait dialog
checked 1006
expect checked.1006 == 1
checked 1004
expect checked.1004 == 0
text 1007
expect text.1007 == BREVALD
kill
EOF_

printf '[Disk]\r\nCardType=7\r\nClearAll=0\r\n' >"$ini"
scenario "an unknown card type checks no radio and is kept" <<'EOF_'
start -start
wait dialog
checked 1004
expect checked.1004 == 0
checked 1005
expect checked.1005 == 0
checked 1006
expect checked.1006 == 0
key altf4
wait exit
EOF_
check "Disk.ini still says CardType=7" grep -q '^CardType=7' "$ini"

scenario "a thousand capacity refreshes leave GDI objects and memory where they were" <<'EOF_'
start -start
wait dialog
click 1004
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
select 1032 H
click 1031
wait box
answer ok
ticks 1
text 1003
expect text.1003 == "1.99 GBytes ( 2146798080  Bytes )    "
click 1002
wait box
answer yes
wait text 1014 Please wait!!
ticks 3
enabled 1002
expect enabled.1002 == 0
text 1003
expect text.1003 == "1.99 GBytes ( 2146798080  Bytes )    "
text 1014
expect text.1014 == Please wait!!
wait box
box
expect box.text == Format done, please re-insert the card!
answer ok
signal pull-h
# Two poll periods (2 s each) and a margin for a busy machine.
wait timeout 5000
wait text 1003 "0 Bytes                                        "
enabled 1002
expect enabled.1002 == 0
kill
EOF_
