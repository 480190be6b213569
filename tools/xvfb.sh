#!/usr/bin/env bash
# A private X display for headless runs.
#   xvfb.sh start PIDFILE   start Xvfb on a free display; prints ":N"
#   xvfb.sh stop PIDFILE    stop the Xvfb whose pid is in PIDFILE
set -euo pipefail
action=${1:?usage: xvfb.sh start|stop PIDFILE}
pidfile=${2:?usage: xvfb.sh start|stop PIDFILE}

case $action in
  start)
    for n in $(seq 90 190); do
      [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      pid=$!
      for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
      if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
        echo "$pid" >"$pidfile"
        echo ":$n"
        exit 0
      fi
    done
    echo "xvfb.sh: no free display" >&2
    exit 1
    ;;
  stop)
    [ -f "$pidfile" ] || exit 0
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    rm -f "$pidfile"
    ;;
  *)
    echo "xvfb.sh: unknown action '$action'" >&2
    exit 2
    ;;
esac
