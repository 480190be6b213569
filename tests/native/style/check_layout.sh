#!/usr/bin/env bash
# Every C++ source and header is laid out as .clang-format says. Tables
# aligned by hand say so with "clang-format off" and "clang-format on".
#   check_layout.sh SOURCE_DIR
set -uo pipefail
cd "${1:?source dir}"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
clang-format --dry-run -Werror "${files[@]}"
