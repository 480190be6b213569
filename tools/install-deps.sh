#!/usr/bin/env bash
# Installs the Debian packages that building and testing need. Idempotent:
# when everything is present it only checks and returns, quietly.
set -euo pipefail

packages=(
  g++ cmake ninja-build googletest libgtest-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  xvfb xauth xdotool imagemagick
  dosfstools exfatprogs mtools
  fdisk ntfs-3g btrfs-progs genisoimage
  fonts-liberation fonts-wine
  zip unzip bc python3 python3-pil
  e2fsprogs mount strace
  pkg-config libmount-dev libfuse3-dev fuse3
  clang-format git
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
