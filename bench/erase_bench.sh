#!/usr/bin/env bash
# Complete erase under Wine against dd on the same 8 GiB sparse card, in five
# pairs (erase, dd, erase, dd, ...) so that both sides of a pair meet the same
# machine load. Both sides end on the disk: the erase is timed from the
# confirmation to the completion box, which comes after the builder has
# written the file system and flushed the device (FlushFileBuffers, an fsync
# of the image under Wine); dd runs with conv=fsync. Each side starts on a
# freshly made sparse card. Prints every pair, then the median of the ratios
# (erase throughput / dd throughput) and their spread. Five minutes or so on
# a machine where dd writes the card in six seconds.
# Usage: VELTRANE_BIN_DIR=build/windows bench/erase_bench.sh [PAIRS [GIB]]
source "$(dirname "$0")/../tests/e2e/lib.sh"
suite_begin erase-bench

pairs=${1:-5}
card_size=${2:-8}G
size_mib=$((${2:-8} * 1024))
printf '[Disk]\r\nCardType=0\r\n' >"$install_dir/Disk.ini"

# fresh_card: an empty sparse card; the previous side flushed its own.
fresh_card() { reader e "$card_size"; }

# erase_run MODE_CONTROL: sets erase_ms to the milliseconds from Yes to the
# completion box.
erase_run() {
  fresh_card
  scenario "erase with control $1" < <(erase_opening "$1" 600000; cat <<'EOF_'
wait box
answer ok
syscommand 0xF060
wait exit
EOF_
  )
  erase_ms=$(grep -h 'waited.box' "$VELTRANE_ARTIFACTS/logs/erase-bench/erase_with_control_$1.log" | sed -n 3p | tr -dc '0-9')
}

dd_run() {
  fresh_card
  local start
  start=$(date +%s%N)
  dd if=/dev/zero of="$(card e)" bs=512K count=$((size_mib * 2)) conv=notrunc,fsync status=none
  dd_ms=$((($(date +%s%N) - start) / 1000000))
}

mib_per_s() { echo "scale=1; $size_mib * 1000 / $1" | bc; }

ratios=()
for pair in $(seq "$pairs"); do
  erase_run 1031
  dd_run
  [ -n "$erase_ms" ] && [ "$erase_ms" -gt 0 ] || { echo "pair $pair: the erase gave no time" >&2; exit 1; }
  ratio=$(printf '%.2f' "$(echo "scale=3; $dd_ms / $erase_ms" | bc)")
  ratios+=("$ratio")
  printf 'pair %d: Complete erase %6d ms (%6s MiB/s), dd %6d ms (%6s MiB/s), ratio %s\n' \
    "$pair" "$erase_ms" "$(mib_per_s "$erase_ms")" "$dd_ms" "$(mib_per_s "$dd_ms")" "$ratio"
done
erase_run 1034
optimized_ms=$erase_ms
rm -f "$(card e)"

sorted=($(printf '%s\n' "${ratios[@]}" | sort -n))
echo "Complete erase / dd on ${size_mib} MiB, ${pairs} pairs: median ${sorted[$((pairs / 2))]}x," \
  "spread ${sorted[0]}x .. ${sorted[$((pairs - 1))]}x of dd's throughput (both flushed, builder included)"
echo "Optimized erase, ${size_mib} MiB under Wine, one run: ${optimized_ms} ms"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
