#!/usr/bin/env bash
# Makes the reference pictures of tests/e2e/references anew from the current
# build: runs the dialog suite, which saves each picture as its reference
# instead of comparing. Look at them (git diff shows which changed) before
# committing.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null
cmake --build --preset windows
VELTRANE_UPDATE_REFERENCES=1 VELTRANE_BIN_DIR=$PWD/build/windows bash tests/e2e/suites/dialog.sh
