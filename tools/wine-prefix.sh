#!/usr/bin/env bash
# One isolated Wine prefix per test suite.
#   wine-prefix.sh create DIR   make a fresh 64-bit prefix in DIR
#   wine-prefix.sh remove DIR   stop its wineserver and delete it
set -euo pipefail
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs: the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

action=${1:?usage: wine-prefix.sh create|remove DIR}
prefix=$(realpath -m "${2:?usage: wine-prefix.sh create|remove DIR}")
export WINEPREFIX=$prefix WINEARCH=win64

case $action in
  create)
    # A first boot now and then fails at once, with nothing wrong in the
    # prefix; a second one from scratch boots. What it printed is shown.
    for attempt in 1 2; do
      rm -rf "$prefix"
      mkdir -p "$prefix"
      if boot_log=$(wineboot --init 2>&1); then
        break
      fi
      echo "wine-prefix.sh: wineboot failed (attempt $attempt):" >&2
      printf '%s\n' "$boot_log" >&2
      wineserver --kill >/dev/null 2>&1 || true
      [ "$attempt" -eq 1 ] || exit 1
    done
    # No theme: controls are drawn classic, as Windows draws a program
    # without a visual-styles manifest (the progress bar keeps its frame).
    themes='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
    wine reg add "$themes" /v ThemeActive /t REG_SZ /d 0 /f >/dev/null 2>&1 ||
      { echo "wine-prefix.sh: cannot turn the theme off" >&2; exit 1; }
    # Absent is as good as deleted.
    wine reg delete "$themes" /v DllName /f >/dev/null 2>&1 || true
    wineserver --wait
    ;;
  remove)
    [ -d "$prefix" ] || exit 0
    wineserver --kill >/dev/null 2>&1 || true
    rm -rf "$prefix"
    ;;
  *)
    echo "wine-prefix.sh: unknown action '$action'" >&2
    exit 2
    ;;
esac
