#!/usr/bin/env bash
# The Windows package alone, unpacked into a fresh Wine prefix, formats a card.
source "$(dirname "$0")/../lib.sh"
suite_begin package

zip=$(ls "$VELTRANE_BIN_DIR"/Veltrane-*-win64.zip)
rm -rf "$install_dir"
mkdir -p "$install_dir"
unzip -q -j "$zip" -d "$install_dir"

check "the package holds the program, the library, the command line and the text, nothing else" \
  test "$(ls "$install_dir" | LC_ALL=C sort | tr '\n' ' ')" = "README.txt Trellan.dll Veltrane.exe veltrane-format.exe "

system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|comdlg32|gdiplus|version|msvcrt|ole32|oleaut32)\.dll$'
imports_only_system() {
  local unexpected
  unexpected=$(x86_64-w64-mingw32-objdump -p "$install_dir/$1" | sed -n 's/^\s*DLL Name: //p' |
    tr 'A-Z' 'a-z' | grep -v -E "$system_dlls" | grep -v -x -F "${2:-}")
  [ -z "$unexpected" ] || { echo "unexpected imports of $1: $unexpected"; return 1; }
}
check "Veltrane.exe needs Windows' own DLLs and Trellan.dll only" imports_only_system Veltrane.exe trellan.dll
check "Trellan.dll needs Windows' own DLLs only" imports_only_system Trellan.dll
library_entries_used() {
  local used
  used=$(x86_64-w64-mingw32-objdump -p "$install_dir/Veltrane.exe" |
    sed -n '/DLL Name: [Tt]rellan.dll/,/^$/p' | awk 'NF == 3 && $3 ~ /^Trellan_/ {print $3}' | LC_ALL=C sort | tr '\n' ' ')
  [ "$used" = "Trellan_BuildCf Trellan_BuildExFat Trellan_BuildFat32 Trellan_BuildMmc Trellan_BuildSd Trellan_ProbeDevice " ] ||
    { echo "Veltrane.exe imports from Trellan.dll: $used"; return 1; }
}
check "Veltrane.exe needs only the library's six entries" library_entries_used
check "veltrane-format.exe needs Windows' own DLLs and Trellan.dll only" \
  imports_only_system veltrane-format.exe trellan.dll

# veltrane-format.exe from the package: its status, and its output without
# the console's carriage returns in $suite_dir/cli.txt.
cli() {
  in_suite wine 'C:\Veltrane\veltrane-format.exe' "$@" </dev/null >"$suite_dir/cli.raw" 2>&1
  cli_status=$?
  tr -d '\r' <"$suite_dir/cli.raw" >"$suite_dir/cli.txt"
}
# cli_expect STATUS TEXT ARGUMENTS...: the run ends with STATUS and says TEXT.
cli_expect() {
  local status=$1 text=$2
  shift 2
  cli "$@"
  [ "$cli_status" = "$status" ] && grep -q -F -- "$text" "$suite_dir/cli.txt" && return 0
  echo "status $cli_status, expected $status with \"$text\":"
  cat "$suite_dir/cli.txt"
  return 1
}
# The fixed drive's folder as it was: nothing added, changed or removed.
fixed_untouched() { [ "$(ls -A "$suite_dir/fixed-g")" = keep.txt ] && [ "$(cat "$suite_dir/fixed-g/keep.txt")" = kept ]; }

reader f 64M
reader g --fixed
echo kept >"$suite_dir/fixed-g/keep.txt"
check "veltrane-format.exe --yes --card sd F: formats the card in the reader" \
  cli_expect 0 "Please re-insert the card" --yes --card sd F:
check "the command line's card holds a clean FAT file system" \
  "$repo_root/tools/card-inspect" "$(card f)" --expect-fs fat16 --expect-label BREVALD
reader f 64M
check "a good card passes --check-capacity and, held through the job, is erased, read back and formatted" \
  cli_expect 0 "Capacity check passed" --check-capacity --force --mode complete --verify --yes f:
check "the checked card holds a clean FAT file system" "$repo_root/tools/card-inspect" "$(card f)" --expect-fs fat16
reader f 64M
check "--speed measures the card region by region past the system's cache, and --report writes the run as JSON" \
  cli_expect 0 "Speed by region (MB/s" --speed --report "Z:$suite_dir/report.json" --yes f:
check "the report names 64 regions and the exit status" python3 -c \
  "import json,sys; r=json.load(open(sys.argv[1])); sys.exit(len(r['speed']['regions']) != 64 or r['exit_status'] != 0)" \
  "$suite_dir/report.json"
# The card asked about is the card formatted: one swapped for another of
# the same size while the question waits is refused with the dialog's
# words, and the card put in is left alone.
swapped_while_asked() {
  local waited=0
  : >"$suite_dir/cli.raw"
  { until grep -q -F "[y/N]" "$suite_dir/cli.raw" || [ $waited -ge 600 ]; do sleep 0.1; waited=$((waited + 1)); done
    rm -f "$(card f)" && truncate -s 64M "$(card f)"; echo y; } |
    in_suite wine 'C:\Veltrane\veltrane-format.exe' --card sd f: >"$suite_dir/cli.raw" 2>&1
  cli_status=$?
  tr -d '\r' <"$suite_dir/cli.raw" >"$suite_dir/cli.txt"
  [ "$cli_status" = 1 ] && grep -q -F "not the one you agreed to erase" "$suite_dir/cli.txt" &&
    [ "$(stat -c %b "$(card f)")" -eq 0 ] && return 0
  echo "status $cli_status:"
  cat "$suite_dir/cli.txt"
  return 1
}
reader f 64M
head -c 1048576 /dev/urandom | dd of="$(card f)" conv=notrunc status=none
check "veltrane-format.exe: a card swapped while its question waits is not formatted" swapped_while_asked
check "veltrane-format.exe shows the label as FAT will store it, beside the one typed" \
  cli_expect 3 'label "HOLIDAY", typed "holiday"' --card sd --label holiday f:
check "a fixed drive is refused with status 5, even with --force" \
  cli_expect 5 "not a removable drive" --yes --force G:
check "the fixed drive was not written" fixed_untouched

reader e 128M
printf '[Disk]\r\nCardType=0\r\n' >"$install_dir/Disk.ini"
scenario "the unpacked program formats an SD card" < <(format_opening; format_success_ending)
check "the card holds a clean FAT file system" \
  "$repo_root/tools/card-inspect" "$(card e)" --expect-fs fat16 --expect-label BREVALD
