#!/usr/bin/env bash
# The erase passes under Wine against the platform's own speed on the same
# sparse card (8 GiB unless told), in rounds so that every side of a round
# meets the same machine load: the Complete erase, bench/bare_writer.cpp
# making the same 1 MiB writes, dd bs=512K conv=fsync, then the Optimized
# erase and the bare writer making the same 8 KiB writes. Every side ends on
# the disk: an erase is timed from the confirmation to the completion box,
# which comes after the builder has written the file system and flushed the
# device (FlushFileBuffers, an fsync of the image under Wine); the bare writer
# times itself from opening the volume to the end of its one flush; dd runs
# with conv=fsync. The Optimized erase is also set against the bare writer
# asking the card's size before each of its writes, as the erase does so that
# no write grows an image truncated under it. Each side starts on a freshly
# made sparse card, and writes right after a card's worth of memory has been
# written and freed and the system has written back all it held (the erase:
# while its question is open, before Yes). A virtual machine that hands freed
# memory back to its host makes a writer whose page cache lands on such memory
# pay the host's page faults: without a card's worth freed just before, the
# bare writer's 4 GiB of writes took anywhere from 0.5 s to 3 s. Within a
# round the program and its bare writer take turns going first.
# Prints every round, then the median of each ratio (time over the bare
# writer's time, and the bare writer's over dd's) and its spread.
# Usage: VELTRANE_BIN_DIR=build/windows bench/erase_bench.sh [ROUNDS [GIB]]
source "$(dirname "$0")/../tests/e2e/lib.sh"
suite_begin erase-bench

rounds=${1:-5}
card_size=${2:-8}G
size_mib=$((${2:-8} * 1024))
printf '[Disk]\r\nCardType=0\r\n' >"$install_dir/Disk.ini"
# Wine's windows left unmanaged: with no window manager on the display,
# Wine holds the thread that closes a managed box for 2 s, waiting for a
# manager to withdraw it. The erase would start that long after Yes, its
# freed memory already handed back.
in_suite wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
yardstick_dir=$prefix/drive_c/yardstick
mkdir -p "$yardstick_dir"
cp "$VELTRANE_BIN_DIR/bare-writer.exe" "$yardstick_dir/"

# fresh_card: an empty sparse card.
fresh_card() { reader e "$card_size"; }

# Wine kept running between the sides, from the first card on (a new reader
# restarts it): started afresh it takes over a second before the bare
# writer's first write, the freed memory handed back meanwhile. The suite's
# end stops it.
fresh_card
in_suite wineserver --wait
in_suite wineserver --persistent
in_suite wine cmd /c exit

# prime_memory: a card's worth of memory written and freed, and nothing left
# to write back.
prime_memory() {
  dd if=/dev/zero of="$suite_dir/freed" bs=1M count="$size_mib" status=none
  rm -f "$suite_dir/freed"
  sync
}

# erase_run MODE_CONTROL: sets erase_ms to the milliseconds from Yes to the
# completion box.
erase_run() {
  fresh_card
  on_signal primed prime_memory
  scenario "erase with control $1" < <(erase_opening "$1" 600000 | sed 's/^answer yes$/signal primed\nanswer yes/'; cat <<'EOF_'
wait box
answer ok
syscommand SC_CLOSE
wait exit
EOF_
  )
  erase_ms=$(grep -h 'waited.box' "$VELTRANE_ARTIFACTS/logs/erase-bench/erase_with_control_$1.log" | sed -n 3p | tr -dc '0-9')
  [ -n "$erase_ms" ] && [ "$erase_ms" -gt 0 ] || { echo "the erase with control $1 gave no time" >&2; exit 1; }
}

# bare_run complete|optimized [guarded]: sets bare_ms to the bare writer's
# own time.
bare_run() {
  fresh_card
  prime_memory
  bare_ms=$(in_suite wine 'C:\yardstick\bare-writer.exe' E "$@" | tr -dc '0-9')
  [ -n "$bare_ms" ] && [ "$bare_ms" -gt 0 ] || { echo "the bare writer gave no time" >&2; exit 1; }
  passed=$((passed + 1))
}

dd_run() {
  fresh_card
  prime_memory
  local start
  start=$(date +%s%N)
  dd if=/dev/zero of="$(card e)" bs=512K count=$((size_mib * 2)) conv=notrunc,fsync status=none
  dd_ms=$((($(date +%s%N) - start) / 1000000))
}

ratio() { printf '%.2f' "$(echo "scale=3; $1 / $2" | bc)"; }

# summary NAME RATIO...: the median and the spread of the ratios.
summary() {
  local name=$1
  shift
  local sorted=($(printf '%s\n' "$@" | sort -n))
  echo "$name, ${size_mib} MiB, $# rounds: median ${sorted[$(($# / 2))]}x, spread ${sorted[0]}x .. ${sorted[$(($# - 1))]}x"
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$(($# / 2 + 1))p"; }

# medians NAME PROGRAM_MS BARE_MS: the two sides' median times and their
# ratio, which the side that goes first in a round cannot tilt.
medians() { echo "$1, median times: $2 ms against the bare writer's $3 ms ($(ratio "$2" "$3")x)"; }

complete_all=()
bare_complete_all=()
optimized_all=()
bare_optimized_all=()
guarded_optimized_all=()
complete_ratios=()
optimized_ratios=()
guarded_ratios=()
bare_dd_ratios=()
# pair MODE_CONTROL complete|optimized ROUND: sets erase_ms and bare_ms, the
# program first in odd rounds.
pair() {
  if (($3 % 2)); then
    erase_run "$1"
    bare_run "$2"
  else
    bare_run "$2"
    erase_run "$1"
  fi
}

for round in $(seq "$rounds"); do
  pair 1031 complete "$round"
  complete_ms=$erase_ms
  bare_complete_ms=$bare_ms
  dd_run
  pair 1034 optimized "$round"
  optimized_ms=$erase_ms
  bare_optimized_ms=$bare_ms
  bare_run optimized guarded
  guarded_optimized_ms=$bare_ms
  complete_all+=("$complete_ms")
  bare_complete_all+=("$bare_complete_ms")
  optimized_all+=("$optimized_ms")
  bare_optimized_all+=("$bare_optimized_ms")
  guarded_optimized_all+=("$guarded_optimized_ms")
  complete_ratios+=("$(ratio "$complete_ms" "$bare_complete_ms")")
  optimized_ratios+=("$(ratio "$optimized_ms" "$bare_optimized_ms")")
  guarded_ratios+=("$(ratio "$optimized_ms" "$guarded_optimized_ms")")
  bare_dd_ratios+=("$(ratio "$bare_complete_ms" "$dd_ms")")
  printf 'round %d: Complete %6d ms, bare 1 MiB writer %6d ms, dd %6d ms; Optimized %6d ms, bare 8 KiB writer %6d ms, guarded %6d ms\n' \
    "$round" "$complete_ms" "$bare_complete_ms" "$dd_ms" "$optimized_ms" "$bare_optimized_ms" "$guarded_optimized_ms"
done
rm -f "$(card e)"

summary "Complete erase (builder included) / bare writer" "${complete_ratios[@]}"
summary "Optimized erase (builder included) / bare writer" "${optimized_ratios[@]}"
summary "Optimized erase (builder included) / bare writer asking the size before each write" "${guarded_ratios[@]}"
summary "bare writer under Wine / dd" "${bare_dd_ratios[@]}"
medians "Complete erase" "$(median "${complete_all[@]}")" "$(median "${bare_complete_all[@]}")"
medians "Optimized erase" "$(median "${optimized_all[@]}")" "$(median "${bare_optimized_all[@]}")"
echo "the bare 8 KiB writer asking the size before each write: median $(median "${guarded_optimized_all[@]}") ms"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
