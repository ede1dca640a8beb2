#!/usr/bin/env bash
# no-widgets.sh PROGRAM: fails when PROGRAM loads Qt Widgets (a library it
# needs, directly or through another one).
set -euo pipefail
prog="$1"
libs="$(ldd "$prog")"
if grep -i "Widgets" <<<"$libs"; then
  echo "$prog loads Qt Widgets"
  exit 1
fi
grep -q "Qt6Core" <<<"$libs" || { echo "ldd shows no Qt at all for $prog:"; echo "$libs"; exit 1; }
echo "$prog loads no Qt Widgets"
