#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests, then the
# same tests built with the address and undefined-behaviour sanitizers, then
# the Windows unit tests and end-to-end suites under Wine. Installs what is
# missing first. Extra arguments go to every ctest run (e.g. -R e2e_startup).
set -uo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh || exit 1

status=0
summary=()
for side in native native-asan windows; do
  echo "=== $side: configure and build"
  if ! cmake --preset "$side" >/dev/null || ! cmake --build --preset "$side" -j"$(nproc)"; then
    echo "=== $side: build failed"
    exit 1
  fi
  echo "=== $side: test"
  log=build/$side/ctest-summary.log
  ctest --preset "$side" -j"$(nproc)" "$@" | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  summary+=("$side: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
done

printf '%s\n' "${summary[@]}"
total=0 failures=0
for line in "${summary[@]}"; do
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failures=$((failures + BASH_REMATCH[1]))
    total=$((total + BASH_REMATCH[2]))
  fi
done
echo "$((total - failures)) passed, $failures failed"
exit $status
