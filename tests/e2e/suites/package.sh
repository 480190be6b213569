#!/usr/bin/env bash
# The Windows package alone, unpacked into a fresh Wine prefix, formats a card.
source "$(dirname "$0")/../lib.sh"
suite_begin package

zip=$(ls "$VELTRANE_BIN_DIR"/Veltrane-*-win64.zip)
rm -rf "$install_dir"
mkdir -p "$install_dir"
unzip -q -j "$zip" -d "$install_dir"

check "the package holds the program, the library and the text, nothing else" \
  test "$(ls "$install_dir" | sort | tr '\n' ' ')" = "README.txt Trellan.dll Veltrane.exe "

system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|comdlg32|gdiplus|version|msvcrt|ole32|oleaut32)\.dll$'
imports_only_system() {
  local unexpected
  unexpected=$(x86_64-w64-mingw32-objdump -p "$install_dir/$1" | sed -n 's/^\s*DLL Name: //p' |
    tr 'A-Z' 'a-z' | grep -v -E "$system_dlls" | grep -v -x -F "${2:-}")
  [ -z "$unexpected" ] || { echo "unexpected imports of $1: $unexpected"; return 1; }
}
check "Veltrane.exe needs Windows' own DLLs and Trellan.dll only" imports_only_system Veltrane.exe trellan.dll
check "Trellan.dll needs Windows' own DLLs only" imports_only_system Trellan.dll

reader e 128M
printf '[Disk]\r\nCardType=0\r\n' >"$install_dir/Disk.ini"
scenario "the unpacked program formats an SD card" < <(format_opening; format_success_ending)
check "the card holds a clean FAT file system" \
  "$repo_root/tools/card-inspect" "$(card e)" --expect-fs fat16 --expect-label BREVALD
