#!/usr/bin/env bash
# Veltrane on a virtual 1 GiB SD card, drive E:, under Wine.
# With a display you format the card by hand; without one (DISPLAY unset, as
# over ssh or in CI) a scripted format runs (SD, Optimized, label "DEMO") and
# three screenshots are saved. Either way it ends by showing what is on the
# card and fsck's verdict. A second run reuses the build and the Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

bash tools/install-deps.sh
echo "Building Veltrane (Windows, mingw-w64)..."
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" --target Veltrane Trellan veltrane-driver >/dev/null

demo=$repo/build/demo
prefix=$demo/prefix
card=$demo/card-e.img
shots=$demo/screenshots
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid_file=$demo/xvfb.pid
headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  mkdir -p "$demo"
  DISPLAY=$(tools/xvfb.sh start "$xvfb_pid_file")
  export DISPLAY
  trap 'wineserver --kill >/dev/null 2>&1 || true; tools/xvfb.sh stop "$xvfb_pid_file"' EXIT
fi

if [ ! -d "$prefix/drive_c" ]; then
  echo "Creating the Wine prefix (once)..."
  tools/wine-prefix.sh create "$prefix"
fi
mkdir -p "$prefix/drive_c/Veltrane" "$prefix/drive_c/driver" "$prefix/drive_c/shots"
cp build/windows/Veltrane.exe build/windows/Trellan.dll "$prefix/drive_c/Veltrane/"
cp build/windows/veltrane-driver.exe "$prefix/drive_c/driver/"

rm -f "$card"
truncate -s 1G "$card"
tools/card-reader.sh "$prefix" e "$card"
echo "Card reader E: holds a fresh 1 GiB card ($card)."

if [ "$headless" -eq 0 ]; then
  echo "Veltrane is open: pick E, SD, type a label, press Start. Close it when done."
  wine 'C:\Veltrane\Veltrane.exe' -start top=80 left=80 END || true
else
  echo "No display: formatting the card by script (SD, Optimized Format, label DEMO)..."
  rm -f "$prefix/drive_c/shots/"*.bmp
  env VELTRANE_EXE='C:\Veltrane\Veltrane.exe' VELTRANE_SHOTS='C:\shots' wine 'C:\driver\veltrane-driver.exe' \
    >"$demo/driver.log" 2>&1 <<'EOF_' || { cat "$demo/driver.log"; exit 1; }
wait timeout 60000
start -start top=40 left=40 END
wait dialog
click 1004
click 1034
wait box
answer ok
type 1007 DEMO
ticks 1
sleep 300
screenshot 1-idle
click 1002
wait box
answer yes
wait text 1014 Please wait!!
screenshot 2-erase
wait box
screenshot 3-result
answer ok
syscommand 0xF060
wait exit
EOF_
  mkdir -p "$shots"
  for bmp in "$prefix/drive_c/shots/"*.bmp; do
    convert "$bmp" -crop 485x403+40+40 +repage "$shots/$(basename "${bmp%.bmp}").png"
  done
  echo "Screenshots: $(ls "$shots" | tr '\n' ' ')in $shots"
fi

echo
echo "What is on the card:"
if [ "$headless" -eq 1 ]; then
  tools/card-inspect "$card"
else
  tools/card-inspect "$card" || echo "(no clean file system: was the card formatted?)"
fi
