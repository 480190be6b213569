#!/usr/bin/env bash
# Erase throughput under Wine against dd on the same file: a 2 GiB card,
# Complete (every byte) and Optimized (8 KiB of every 512 KiB), timed from
# the confirmation to the completion box, which includes the builder.
# Usage: VELTRANE_BIN_DIR=build/windows bench/erase_bench.sh
source "$(dirname "$0")/../tests/e2e/lib.sh"
suite_begin erase-bench

size_bytes=$((2 * 1024 * 1024 * 1024))
printf '[Disk]\r\nCardType=0\r\n' >"$install_dir/Disk.ini"

# erase_run MODE_CONTROL: sets erase_ms to the milliseconds from Yes to the
# completion box.
erase_run() {
  reader e 2G
  scenario "erase with control $1" <<EOF_
wait timeout 300000
start -start
wait dialog
click $1
wait box
answer ok
ticks 1
click 1002
wait box
answer yes
wait box
answer ok
syscommand 0xF060
wait exit
EOF_
  erase_ms=$(grep -h 'waited.box' "$VELTRANE_ARTIFACTS/logs/erase-bench/erase_with_control_$1.log" | sed -n 3p | tr -dc '0-9')
}

erase_run 1031
complete_ms=$erase_ms
erase_run 1034
optimized_ms=$erase_ms

rm -f "$(card e)" && truncate -s 2G "$(card e)"
dd_start=$(date +%s%N)
dd if=/dev/zero of="$(card e)" bs=512K count=$((size_bytes / 524288)) conv=notrunc status=none
sync "$(card e)"
dd_ms=$(( ($(date +%s%N) - dd_start) / 1000000 ))

mib_per_s() { echo "scale=1; 2048 * 1000 / $1" | bc; }
echo "Complete erase, 2 GiB under Wine: ${complete_ms} ms ($(mib_per_s "$complete_ms") MiB/s, builder included)"
echo "dd bs=512K, 2 GiB on the same file: ${dd_ms} ms ($(mib_per_s "$dd_ms") MiB/s)"
echo "Complete / dd: $(echo "scale=0; 100 * $dd_ms / $complete_ms" | bc)% of dd's throughput"
echo "Optimized erase, 2 GiB under Wine: ${optimized_ms} ms"
