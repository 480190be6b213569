#!/usr/bin/env bash
# The main dialog as a user and the host launcher meet it: place, size, title,
# captions, the start-up broadcast, the keys that must not end it, the About
# box and closing.
source "$(dirname "$0")/../lib.sh"
suite_begin dialog

scenario "the dialog opens at the launcher's position with its skin and captions" <<'EOF_'
start -start top=120 left=340 END
wait dialog
rect
expect rect == 340,120 485x403
title
expect title == Veltrane  1.0
expect caption == 0
text 1020
expect text.1020 == Disk Drive
text 1021
expect text.1021 == Disk Size
text 1016
expect text.1016 == Format Label
text 1035
expect text.1035 == Optimized Format
text 1033
expect text.1033 == Complete Format
visible 1009
expect visible.1009 == 0
visible 2
expect visible.2 == 0
sleep 500
screenshot dialog-idle
kill
EOF_

scenario "the host hears the start-up announcement once, with the tool's process id" <<'EOF_'
start -start
wait dialog
sleep 1500
pid
broadcasts
expect announce.count == 1
invalidate
sleep 500
broadcasts
expect announce.count == 1
kill
EOF_

scenario "Enter, keypad Enter and Escape change nothing; Tab moves the focus" <<'EOF_'
start -start
wait dialog
key return
key kpenter
key escape
sleep 500
rect
expect rect == 0,0 485x403
box
expect box == none
key tab
sleep 300
focus
expect focus == 1007
kill
EOF_

scenario "the About item opens the About box with the version line, and OK closes it" <<'EOF_'
start -start
wait dialog
syscommand 0x10
wait about
about
expect about.caption == About Veltrane
expect about.version == Veltrane  Version :  1.0
answer ok
about
expect about == none
syscommand 0x10
wait about
about
expect about.version == Veltrane  Version :  1.0
answer ok
rect
expect rect == 0,0 485x403
kill
EOF_

scenario "Alt+F4 closes the dialog and ends the program" <<'EOF_'
start -start
wait dialog
key altf4
wait exit
EOF_
