#!/usr/bin/env bash
# Start-up as the host launcher sees it: the launcher test, the window at the
# launcher's position, the relaunched copy, and a start without administrator
# rights.
source "$(dirname "$0")/../lib.sh"
suite_begin startup

scenario "started without -start: the launcher message, no window, the program ends" <<'EOF_'
start
wait box
box
expect box.text == Please run Orvinel.exe to launch this application
expect box.caption == Veltrane
expect box.buttons == OK
answer ok
wait exit
EOF_

scenario "started by the launcher with a position: the window sits there" <<'EOF_'
start -start top=120 left=340 END
wait dialog
rect
expect rect == 340,120 485x403
kill
EOF_

scenario "started with -start alone: the window sits at the screen origin" <<'EOF_'
start -start
wait dialog
rect
expect rect == 0,0 485x403
kill
EOF_

scenario "a relaunched copy that is an administrator opens the window" <<'EOF_'
start runas -start top=10 left=20 END
wait dialog
rect
expect rect == 20,10 485x403
kill
EOF_

# An administrator without an elevated token: Administrators deny-only.
# Under Wine "runas" starts the copy with the same restricted token, as when
# the user declines the prompt's elevation on Windows.
scenario "without administrator rights: relaunched with runas and the launcher's arguments; the copy says so and stops" <<'EOF_'
startrestricted -start top=10 left=20 END
wait exit
expect exit == 0
adopt
expect adopted.cmdline contains runas -start top=10 left=20 END
wait box
box
expect box.text == Veltrane requires Administrator Privileges.
expect box.caption == Veltrane
expect box.buttons == OK
processes
expect processes == 1
answer ok
wait exit
processes
expect processes == 0
EOF_

# The driver's own guard: a control name that res/resource.h does not define
# fails the scenario, where a number read from it would have meant control 0.
unknown_name_refused() {
  local log=$suite_dir/unknown-name.log
  if printf 'text IDC_NO_SUCH_CONTROL\n' | in_suite wine 'C:\driver\veltrane-driver.exe' >"$log" 2>&1; then
    return 1
  fi
  grep -q 'FAIL: unknown control IDC_NO_SUCH_CONTROL' "$log" || { cat "$log"; return 1; }
}
check "a control name res/resource.h does not define fails the scenario" unknown_name_refused
