#!/usr/bin/env bash
# The raw-volume suite: its own Wine prefix with virtual card readers, the
# tests inside it, then the images checked from the Linux side.
#   run-volume-tests.sh TOOLS_DIR VOLUME_TESTS_EXE EXFAT_PROBE_EXE WORK_DIR
set -euo pipefail
tools=${1:?tools dir}
tests_exe=${2:?volume tests}
probe_exe=${3:?exfat probe}
dir=$(realpath -m "${4:?work dir}")
env=$tools/suite-env.sh
prefix=$dir/prefix
images=$dir/images

# A read-only card: root writes through file modes, so it gets the
# immutable attribute instead, taken off again before the suite is removed.
protect() {
  chmod a-w "$1"
  if [ "$(id -u)" = 0 ]; then chattr +i "$1"; fi
}
unprotect() {
  if [ -f "$1" ] && [ "$(id -u)" = 0 ]; then chattr -i "$1"; fi
}
trap 'unprotect "$images/i.img"; "$env" teardown "$dir"' EXIT
"$env" setup "$dir"
mkdir -p "$images"

small=$((3 * 1024 * 1024 + 512))
truncate -s 8G "$images/e.img"
truncate -s "$small" "$images/g.img"
head -c "$small" /dev/zero | tr '\0' '\377' >"$images/h.img"
"$tools/card-reader.sh" "$prefix" e "$images/e.img"
"$tools/card-reader.sh" "$prefix" f --empty
"$tools/card-reader.sh" "$prefix" g "$images/g.img"
"$tools/card-reader.sh" "$prefix" h "$images/h.img"
cp "$images/h.img" "$images/i.img"
protect "$images/i.img"
"$tools/card-reader.sh" "$prefix" i "$images/i.img"
"$tools/card-reader.sh" "$prefix" j "$images/g.img"

"$env" run "$dir" wine "$tests_exe"

fail() { echo "FAILED: $*" >&2; exit 1; }
[ "$(stat -c %s "$images/e.img")" = $((8 << 30)) ] || fail "8 GiB image changed length"
[ "$(stat -c %s "$images/g.img")" = "$small" ] || fail "a write past the end grew the image"
[ "$(stat -c %s "$images/h.img")" = "$small" ] || fail "the erase grew the image"
cmp -s -n "$small" "$images/h.img" /dev/zero || fail "the Complete erase left bytes unzeroed"
sector() { dd if="$images/e.img" bs=512 skip="$1" count=1 status=none; }
sector $((5 << 21)) | cmp -s - <(head -c 512 /dev/zero | tr '\0' V) || fail "no pattern at 5 GiB"
sector $((1 << 21)) | cmp -s - <(head -c 512 /dev/zero) || fail "the 5 GiB write wrapped to 1 GiB"
cmp -s "$images/i.img" <(head -c "$small" /dev/zero | tr '\0' '\377') || fail "the read-only card was written"
echo "image checks passed"

# The exFAT probe on each Windows version the prefix can pretend to be.
probe_name=$(basename "$probe_exe")
key="HKCU\\Software\\Wine\\AppDefaults\\$probe_name"
driver=$prefix/drive_c/windows/system32/drivers/exfat.sys
for row in win2k:absent:5 winxp:absent:4 winxp:present:1 winxp64:absent:4 win2003:absent:1 \
           vista:absent:1 win7:absent:1 win8:absent:0; do
  IFS=: read -r version file expected <<<"$row"
  rm -f "$driver"
  [ "$file" = present ] && : >"$driver"
  "$env" run "$dir" wine reg add "$key" /v Version /d "$version" /f >/dev/null 2>&1
  answer=$("$env" run "$dir" wine "$probe_exe" | tr -d '\r')
  [ "$answer" = "$expected" ] || fail "exFAT probe on $version ($file driver): $answer, expected $expected"
done
echo "exFAT probe checks passed"
