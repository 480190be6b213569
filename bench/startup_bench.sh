#!/usr/bin/env bash
# Start-up under Wine against a minimal dialog program (bench/minimal_dialog.cpp)
# started the same way: the end-to-end driver plays the launcher in the same
# prefix, starts the program with -start and times it from CreateProcess to
# its dialog being visible (polled every 20 ms). One card reader with an 8 GiB
# SD card is plugged in, as when a user formats. Seven pairs (Veltrane,
# minimal, Veltrane, ...) after one unmeasured start of each, then the median
# of the ratios (Veltrane / minimal), their spread and the median times.
# Under a minute.
# Usage: VELTRANE_BIN_DIR=build/windows bench/startup_bench.sh [PAIRS]
source "$(dirname "$0")/../tests/e2e/lib.sh"
suite_begin startup-bench

pairs=${1:-7}
yardstick_dir=$prefix/drive_c/yardstick
mkdir -p "$yardstick_dir"
cp "$VELTRANE_BIN_DIR/minimal-dialog.exe" "$yardstick_dir/"
reader e 8G

# started_ms EXE NAME: sets started_ms to the milliseconds from start to the
# visible dialog.
started_ms() {
  local log=$VELTRANE_ARTIFACTS/logs/$suite_name/$2.log
  mkdir -p "$(dirname "$log")"
  if ! in_suite env VELTRANE_EXE="$1" VELTRANE_SHOTS='C:\shots' VELTRANE_SYNC='C:\sync' \
    wine 'C:\driver\veltrane-driver.exe' >"$log" 2>&1 <<'EOF_'; then
wait timeout 60000
start -start
wait dialog
kill
EOF_
    cat "$log"
    echo "$2 did not show its dialog" >&2
    exit 1
  fi
  started_ms=$(grep -h 'waited.dialog' "$log" | tr -dc '0-9')
  passed=$((passed + 1))
}

started_ms 'C:\Veltrane\Veltrane.exe' veltrane-warm-up
started_ms 'C:\yardstick\minimal-dialog.exe' minimal-warm-up

ratios=()
veltrane_all=()
minimal_all=()
for pair in $(seq "$pairs"); do
  started_ms 'C:\Veltrane\Veltrane.exe' "veltrane-$pair"
  veltrane_ms=$started_ms
  started_ms 'C:\yardstick\minimal-dialog.exe' "minimal-$pair"
  minimal_ms=$started_ms
  ratio=$(printf '%.2f' "$(echo "scale=3; $veltrane_ms / $minimal_ms" | bc)")
  ratios+=("$ratio")
  veltrane_all+=("$veltrane_ms")
  minimal_all+=("$minimal_ms")
  printf 'pair %d: Veltrane %5d ms, minimal dialog %5d ms, ratio %s\n' "$pair" "$veltrane_ms" "$minimal_ms" "$ratio"
done

median() { printf '%s\n' "$@" | sort -n | sed -n "$(($# / 2 + 1))p"; }
sorted=($(printf '%s\n' "${ratios[@]}" | sort -n))
echo "Start-up, launch to visible dialog, Veltrane / minimal dialog, ${pairs} pairs: median ${sorted[$((pairs / 2))]}x," \
  "spread ${sorted[0]}x .. ${sorted[$((pairs - 1))]}x"
echo "medians: Veltrane $(median "${veltrane_all[@]}") ms, minimal dialog $(median "${minimal_all[@]}") ms"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
