#!/bin/sh
# ziv-demo under valgrind memcheck: every frame of every format and blend
# mode, once. Exit 77 (skipped) without valgrind or without the demo.
#
#   valgrind-demo.sh DEMO OUTPUT_FOLDER
demo=$1
out=$2
if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind is not installed: skipped"
  exit 77
fi
if [ ! -x "$demo" ]; then
  echo "$demo is not built: skipped"
  exit 77
fi
exec valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
  --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
  "$demo" --out "$out" --repeat 1
