#!/usr/bin/env bash
# Virtual card readers in a Wine prefix.
#   card-reader.sh PREFIX LETTER IMAGE      LETTER: is a removable drive whose
#                                           raw device \\.\LETTER: is IMAGE
#   card-reader.sh PREFIX LETTER --empty    a removable reader with no card
#                                           (a device of no length)
#   card-reader.sh PREFIX LETTER --fixed DIR  LETTER: is a fixed drive on DIR
#   card-reader.sh PREFIX LETTER --remove   LETTER: no longer exists
# Several letters may be mapped at once; call once per letter.
set -euo pipefail
export WINEDEBUG=-all WINEPREFIX=$(realpath -m "${1:?usage: card-reader.sh PREFIX LETTER IMAGE|--empty|--fixed DIR|--remove}")
letter=$(printf '%s' "${2:?missing LETTER}" | tr 'A-Z' 'a-z')
what=${3:?missing IMAGE, --empty, --fixed DIR or --remove}
devices=$WINEPREFIX/dosdevices
key='HKLM\Software\Wine\Drives'

[[ $letter =~ ^[d-y]$ ]] || { echo "card-reader.sh: letter must be D..Y" >&2; exit 2; }

# Wine's mount manager reads drive types when it starts, so a changed type
# needs Wine restarted; a card pulled or pushed keeps its reader's type and
# leaves running programs alone.
set_type() {
  local marker=$WINEPREFIX/readers/$letter.type
  mkdir -p "$WINEPREFIX/readers"
  [ -f "$marker" ] && [ "$(cat "$marker")" = "$1" ] && return 0
  if [ -n "$1" ]; then
    wine reg add "$key" /v "$letter:" /t REG_SZ /d "$1" /f >/dev/null 2>&1
  else
    wine reg delete "$key" /v "$letter:" /f >/dev/null 2>&1 || true
  fi
  # The server saves the registry as it exits: the next program must start
  # a server that reads the new type, not meet the old one still going.
  wineserver --kill >/dev/null 2>&1 || true
  wineserver --wait >/dev/null 2>&1 || true
  echo "$1" >"$marker"
}

rm -rf "$devices/$letter:" "$devices/$letter::"
case $what in
  --remove)
    set_type ""
    ;;
  --empty)
    set_type floppy
    mkdir -p "$WINEPREFIX/readers/$letter"
    : >"$WINEPREFIX/readers/$letter.no-card"
    ln -s "$WINEPREFIX/readers/$letter" "$devices/$letter:"
    ln -s "$WINEPREFIX/readers/$letter.no-card" "$devices/$letter::"
    ;;
  --fixed)
    dir=$(realpath -m "${4:?missing DIR}")
    mkdir -p "$dir"
    set_type ""
    ln -s "$dir" "$devices/$letter:"
    ;;
  *)
    image=$(realpath -m "$what")
    [ -f "$image" ] || { echo "card-reader.sh: no image file $image" >&2; exit 2; }
    set_type floppy
    mkdir -p "$WINEPREFIX/readers/$letter"
    ln -s "$WINEPREFIX/readers/$letter" "$devices/$letter:"
    ln -s "$image" "$devices/$letter::"
    ;;
esac
