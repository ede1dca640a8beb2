#!/usr/bin/env bash
# Whole-process timing of `keyfolio-tool course lessons`: the sample keyboard,
# plain and Shift levels, one character a lesson (40 lessons, and the
# punctuation lesson after them), a frequency list of a million distinct
# words with Zipf counts (as plan_bench.sh makes it) and a 50 MB corpus (the
# King James Bible, Debian's bible-kjv, twelve times over).
#
#   bench/lessons_bench.sh [path/to/keyfolio-tool] [work-dir]
#
# Times the command with farm-bench when it is installed (its median is the
# figure to quote), else prints the best wall-clock time of RUNS runs.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
TOOL="${1:-$ROOT/build/src/keyfolio-tool}"
WORK="${2:-$ROOT/build/bench-lessons}"
RUNS="${RUNS:-5}"
KEYBOARD="$ROOT/tests/data/sample-keyboard.vkt"
mkdir -p "$WORK"

DICT="$WORK/counts1m.txt"
if [ ! -s "$DICT" ]; then
  PYTHONPATH="$HERE" python3 - "$DICT" <<'PY'
import sys
from make_distinct import word
with open(sys.argv[1], "w", newline="") as f:
    for i in range(1_000_000):
        w = word(i)
        if i % 7 == 0 and w[0] <= "n":
            w = w[0].upper() + w[1:]
        f.write(f"{w}\t{max(1, 10_000_000 // (i + 1))}\r\n")
PY
fi
CORPUS="$WORK/kjv12.txt"
if [ ! -s "$CORPUS" ]; then
  if ! command -v bible >/dev/null; then
    echo "bible-kjv is missing: apt-get install -y bible-kjv" >&2
    exit 1
  fi
  bible gen1:1-rev22:21 > "$WORK/kjv1.txt"
  for _ in $(seq 12); do cat "$WORK/kjv1.txt"; done > "$CORPUS"
fi
CMD=("$TOOL" course lessons --keyboard "$KEYBOARD" --dictionary "$DICT" --text "$CORPUS"
     --levels plain,shift --per-lesson 1 --format json -o "$WORK/lessons.json")

"${CMD[@]}" 2>/dev/null
lessons=$(grep -c '"new"' "$WORK/lessons.json")
sentences=$(grep -c '"kind": "sentence"' "$WORK/lessons.json" || true)
echo "dictionary: $(wc -l < "$DICT") lines; corpus: $(wc -c < "$CORPUS") bytes; $lessons lessons," \
  "$sentences sentence lines; load: $(cut -d" " -f1-3 /proc/loadavg) on $(nproc) cores"
if command -v farm-bench >/dev/null; then
  farm-bench -n "$RUNS" -- "${CMD[@]}"
else
  source "$HERE/best_of.sh"
  read -r wall cpu < <(best_of "$RUNS" "${CMD[@]}")
  printf 'course lessons   %s s wall, %s s CPU\n' "$wall" "$cpu"
fi
