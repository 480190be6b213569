# Reference pictures of windows, kept in tests/e2e/references: a scenario
# saves a window with "snapshot NAME", then the suite compares it here.
#   same_as_reference NAME [PICTURE] [MASK...]
# compares shots/PICTURE.bmp (default NAME) with references/NAME.png pixel by
# pixel; a MASK "x0,y0 x1,y1" blanks a rectangle in both first (what varies
# from run to run). On a difference the picture and a diff image are saved
# beside the suite's logs. With VELTRANE_UPDATE_REFERENCES=1 the picture
# named NAME becomes the reference instead: tools/update-references.sh.
references_dir=$e2e_root/references

# Colour distance below which two pixels count as equal, and how many pixels
# may differ: a text caret or an antialiasing nudge, never a moved control or
# a clipped descender.
reference_fuzz=6%
reference_tolerance_pixels=6

same_as_reference() {
  local name=$1 picture=${2:-$1}
  shift $(($# > 1 ? 2 : 1))
  local shot=$shots_dir/$picture.bmp reference=$references_dir/$name.png
  local logs=$VELTRANE_ARTIFACTS/logs/$suite_name masks=()
  mkdir -p "$logs"
  [ -f "$shot" ] || { echo "no picture $shot"; return 1; }
  for mask in "$@"; do masks+=(-fill magenta -draw "rectangle $mask"); done
  # A picture compared with another state's reference never replaces it.
  if [ "${VELTRANE_UPDATE_REFERENCES:-0}" = 1 ] && [ "$picture" = "$name" ]; then
    convert "$shot" -strip "$reference" && echo "updated $reference"
    return
  fi
  [ -f "$reference" ] || { echo "no reference $reference"; return 1; }
  convert "$shot" "${masks[@]}" "$logs/$picture-actual.png"
  convert "$reference" "${masks[@]}" "$logs/$picture-reference.png"
  local differing
  differing=$(compare -metric AE -fuzz "$reference_fuzz" "$logs/$picture-actual.png" "$logs/$picture-reference.png" \
    "$logs/$picture-diff.png" 2>&1 >/dev/null)
  echo "$picture: $differing pixels differ from $name (tolerance $reference_tolerance_pixels)"
  if [[ $differing =~ ^[0-9]+$ ]] && [ "$differing" -le "$reference_tolerance_pixels" ]; then
    rm -f "$logs/$picture-diff.png" "$logs/$picture-actual.png" "$logs/$picture-reference.png"
    return 0
  fi
  echo "see $logs/$picture-diff.png"
  return 1
}
