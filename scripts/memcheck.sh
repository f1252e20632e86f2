#!/usr/bin/env bash
# One Open and one Save through the main window under valgrind's memcheck: any invalid access, use of an
# uninitialised value or definite leak fails the run. The suppressions beside this script are for noise in Qt and
# the system libraries only, never for Quenlet's own code.
#
#   scripts/memcheck.sh [build folder]      (default build; it must have built open_save_once)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
QT_QPA_PLATFORM=offscreen valgrind --tool=memcheck --error-exitcode=1 --leak-check=full \
  --errors-for-leak-kinds=definite --show-leak-kinds=definite --track-origins=yes --num-callers=40 \
  --suppressions="$root/scripts/memcheck.supp" \
  "$build/bin/open_save_once"
echo "memcheck: clean"
