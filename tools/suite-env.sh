#!/usr/bin/env bash
# The environment of one test suite: a Wine prefix and an X display of its own.
#   suite-env.sh setup DIR            create DIR/prefix and start Xvfb
#   suite-env.sh run DIR COMMAND...   run COMMAND inside that environment
#   suite-env.sh teardown DIR         stop Wine and Xvfb, delete DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
action=${1:?usage: suite-env.sh setup|run|teardown DIR [COMMAND...]}
dir=$(realpath -m "${2:?missing DIR}")
shift 2

case $action in
  setup)
    "$here/suite-env.sh" teardown "$dir"
    mkdir -p "$dir"
    "$here/xvfb.sh" start "$dir/xvfb.pid" >"$dir/display"
    DISPLAY=$(cat "$dir/display") "$here/wine-prefix.sh" create "$dir/prefix"
    ;;
  run)
    export WINEPREFIX=$dir/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    DISPLAY=$(cat "$dir/display")
    export DISPLAY
    exec "$@"
    ;;
  teardown)
    [ -d "$dir" ] || exit 0
    [ -d "$dir/prefix" ] && "$here/wine-prefix.sh" remove "$dir/prefix"
    "$here/xvfb.sh" stop "$dir/xvfb.pid"
    rm -rf "$dir"
    ;;
  *)
    echo "suite-env.sh: unknown action '$action'" >&2
    exit 2
    ;;
esac
