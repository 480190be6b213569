# Shared by the end-to-end suites: one Wine prefix and X display per suite,
# the program installed in C:\Veltrane, virtual card readers, and scenarios
# run by the driver. A suite script sources this, calls suite_begin, then
# scenario blocks, and ends; the closing line counts passes and failures.
set -uo pipefail

e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_root=$(cd "$e2e_root/../.." && pwd)
: "${VELTRANE_BIN_DIR:?the folder holding Veltrane.exe, Trellan.dll and veltrane-driver.exe}"
: "${VELTRANE_SUITES_DIR:=$VELTRANE_BIN_DIR/suites}"
: "${VELTRANE_ARTIFACTS:=$VELTRANE_BIN_DIR/artifacts}"

passed=0
failed=0
signal_jobs=()

suite_begin() {
  suite_name=$1
  suite_dir=$VELTRANE_SUITES_DIR/e2e-$suite_name
  trap suite_end EXIT
  "$repo_root/tools/suite-env.sh" setup "$suite_dir" || { echo "cannot set up the suite" >&2; exit 1; }
  prefix=$suite_dir/prefix
  install_dir=$prefix/drive_c/Veltrane
  driver_dir=$prefix/drive_c/driver
  shots_dir=$prefix/drive_c/shots
  sync_dir=$prefix/drive_c/sync
  cards_dir=$suite_dir/cards
  mkdir -p "$install_dir" "$driver_dir" "$shots_dir" "$sync_dir" "$cards_dir"
  # The program's folder holds the two product files alone, as on Windows.
  cp "$VELTRANE_BIN_DIR/Veltrane.exe" "$VELTRANE_BIN_DIR/Trellan.dll" "$install_dir/"
  cp "$VELTRANE_BIN_DIR/veltrane-driver.exe" "$VELTRANE_BIN_DIR/restricted-launch.exe" "$driver_dir/"
}

suite_end() {
  local status=$?
  trap - EXIT
  [ ${#signal_jobs[@]} -gt 0 ] && kill "${signal_jobs[@]}" 2>/dev/null
  if [ -n "$(ls -A "$shots_dir" 2>/dev/null)" ]; then
    mkdir -p "$VELTRANE_ARTIFACTS/screenshots/$suite_name"
    for bmp in "$shots_dir"/*.bmp; do
      convert "$bmp" "$VELTRANE_ARTIFACTS/screenshots/$suite_name/$(basename "${bmp%.bmp}").png" 2>/dev/null
    done
  fi
  "$repo_root/tools/suite-env.sh" teardown "$suite_dir"
  echo "$suite_name: $passed passed, $failed failed"
  [ "$failed" -eq 0 ] && [ "$status" -eq 0 ] && [ "$passed" -gt 0 ] && exit 0
  exit 1
}

in_suite() { "$repo_root/tools/suite-env.sh" run "$suite_dir" "$@"; }

# reader LETTER SIZE   a removable reader holding a fresh sparse card of SIZE
# reader LETTER --empty | --fixed | --remove
reader() {
  local letter=$1 what=$2
  case $what in
    --empty|--remove) in_suite "$repo_root/tools/card-reader.sh" "$prefix" "$letter" "$what" ;;
    --fixed) in_suite "$repo_root/tools/card-reader.sh" "$prefix" "$letter" --fixed "$suite_dir/fixed-$letter" ;;
    *)
      rm -f "$(card "$letter")"
      truncate -s "$what" "$(card "$letter")"
      in_suite "$repo_root/tools/card-reader.sh" "$prefix" "$letter" "$(card "$letter")"
      ;;
  esac
}

card() { echo "$cards_dir/$(printf '%s' "$1" | tr 'A-Z' 'a-z').img"; }

# exfat_card_with_flash_record LETTER: the card holds exFAT with a
# flash-parameters record (OEM parameters, volume sector 9; here its GUID
# alone). kept_flash_record LETTER: the card's new volume keeps it in both
# boot regions.
flash_guid='\x46\x7e\x0c\x0a\x99\x33\x21\x40\x90\xc8\xfa\x6d\x38\x9c\x4b\xa2'
exfat_card_with_flash_record() {
  mkfs.exfat "$(card "$1")" >/dev/null
  printf "$flash_guid" | dd of="$(card "$1")" bs=512 seek=9 conv=notrunc status=none
}
kept_flash_record() {
  local image start sector
  image=$(card "$1")
  start=$(od -An -tu4 -j454 -N4 "$image" | tr -d ' ')
  for sector in 9 21; do
    cmp <(dd if="$image" bs=512 skip=$((start + sector)) count=1 status=none | head -c 16) <(printf "$flash_guid") ||
      return 1
  done
}

# scenario "what a user does" <<'EOF' ... driver script ... EOF
scenario() {
  local title=$1 log
  mkdir -p "$VELTRANE_ARTIFACTS/logs/$suite_name"
  log=$VELTRANE_ARTIFACTS/logs/$suite_name/$(printf '%s' "$title" | tr -c 'A-Za-z0-9' '_' | cut -c1-80).log
  echo "--- $title"
  if in_suite env VELTRANE_EXE='C:\Veltrane\Veltrane.exe' VELTRANE_SHOTS='C:\shots' VELTRANE_SYNC='C:\sync' \
    wine 'C:\driver\veltrane-driver.exe' >"$log" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    cat "$log"
    echo "FAILED: $title"
  fi
}

# on_signal NAME COMMAND...   when a scenario says "signal NAME", run COMMAND
# (in the background, while the scenario waits) and answer NAME.done
on_signal() {
  local name=$1
  shift
  rm -f "$sync_dir/$name" "$sync_dir/$name.done"
  (
    for _ in $(seq 600); do
      if [ -e "$sync_dir/$name" ]; then
        "$@"
        touch "$sync_dir/$name.done"
        exit 0
      fi
      sleep 0.1
    done
  ) &
  signal_jobs+=($!)
}

# side_scenario NAME SCRIPT_FILE: a second driver with its own copy of the
# program, run while a scenario waits on "signal NAME" (pass it to on_signal);
# its exit status lands in $suite_dir/NAME.status and its log beside the
# scenarios' logs.
side_scenario() {
  local name=$1 script=$2
  in_suite env VELTRANE_EXE='C:\Veltrane\Veltrane.exe' VELTRANE_SHOTS='C:\shots' VELTRANE_SYNC='C:\sync' \
    wine 'C:\driver\veltrane-driver.exe' <"$script" >"$VELTRANE_ARTIFACTS/logs/$suite_name/side-$name.log" 2>&1
  echo $? >"$suite_dir/$name.status"
}

# Pieces of driver scripts that many scenarios share; combine them as
#   scenario "..." < <(format_opening; format_success_ending)
# The opening of a format: the tool up (waits of at most TIMEOUT ms, one
# minute by default), the card polled so that Start is usable, Start pressed
# and the question answered Yes.
format_opening() {
  printf 'wait timeout %s\nstart -start\nwait dialog\n' "${1:-60000}"
  start_confirmed
}

# erase_opening MODE_CONTROL [TIMEOUT]: format_opening with an erase mode
# chosen first.
erase_opening() {
  printf 'wait timeout %s\nstart -start\nwait dialog\n' "${2:-60000}"
  erase_mode_confirmed "$1"
}

# An erase mode's box answered, then Start confirmed, in a running tool.
erase_mode_confirmed() {
  printf 'click %s\nwait box\nanswer ok\n' "$1"
  start_confirmed
}

# Start pressed once the card is polled, and the question answered Yes.
start_confirmed() {
  cat <<'EOF_'
ticks 1
click IDC_START
wait box
answer yes
EOF_
}

# The end of a successful format: the completion box closed, the tool closed.
format_success_ending() {
  cat <<'EOF_'
wait box
box
expect box.text == Format done, please re-insert the card!
answer ok
syscommand SC_CLOSE
wait exit
EOF_
}

# The end of a format that failed: the status lines, no completion box, no
# broadcast, the tool closed.
format_failure_ending() {
  cat <<'EOF_'
wait text IDC_STATUS_HINT Format Error
text IDC_STATUS_RESULT
expect text.IDC_STATUS_RESULT == Fail
sleep 500
broadcasts
expect formatdone.count == 0
syscommand SC_CLOSE
wait exit
EOF_
}

# check "what is checked" COMMAND...   a Linux-side check counted like a scenario
check() {
  local title=$1
  shift
  echo "--- $title"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $title"
  fi
}
