#!/usr/bin/env bash
# Whole-process timing of `keyfolio-tool package export` in each format and of
# `package install` on a 105-key imported layout: the German layout imported
# in CP1252 (59 keys of the main block) with the function row, Escape, the
# keys beside it, the Windows and Menu keys, the editing and arrow keys and
# the number pad added (46 keys), built back into a package. The XKB export
# and the install include compiling the file with libxkbcommon and comparing
# every placed key's four levels.
#
#   bench/export_bench.sh [path/to/keyfolio-tool] [work-dir]
#
# Prints the best wall-clock and CPU time of RUNS runs (default 5) for each.
# The goal: each export under 60 ms, the install under 100 ms, for the whole
# process.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
TOOL="${1:-$ROOT/build/src/keyfolio-tool}"
WORK="${2:-$ROOT/build/bench-export}"
RUNS="${RUNS:-5}"
mkdir -p "$WORK"
export KEYFOLIO_CODEPAGE=CP1252
# The install writes into a folder of the benchmark's own.
export XDG_CONFIG_HOME="$WORK/config"

"$TOOL" package import de --code-page CP1252 --compose-locale en_US.UTF-8 -o "$WORK/de.vkt" 2>/dev/null
"$TOOL" package dump "$WORK/de.vkt" -o "$WORK/de.json"
python3 "$HERE/chart_full_keyboard.py" "$WORK/de.json" "$WORK/de105.json"
"$TOOL" package build "$WORK/de105.json" -o "$WORK/de105.vkt"
keys=$("$TOOL" package info "$WORK/de105.vkt" | sed -n 's/^Keys: //p')

source "$HERE/best_of.sh"
ms() {
  local wall cpu
  read -r wall cpu < <(best_of "$@")
  awk -v w="$wall" -v c="$cpu" 'BEGIN { printf "%.0f ms wall, %.0f ms CPU", w * 1000, c * 1000 }'
}

echo "keyboard: $keys keys; best of $RUNS runs; load: $(cut -d" " -f1-3 /proc/loadavg) on $(nproc) cores"
for format in xkb klc kle ktouch; do
  printf '%-22s %s\n' "export $format" \
    "$(ms "$RUNS" "$TOOL" package export "$WORK/de105.vkt" --format "$format" -o "$WORK/out.$format" --name de105)"
done
printf '%-22s %s\n' "install" "$(ms "$RUNS" "$TOOL" package install "$WORK/de105.vkt" --name de105)"
