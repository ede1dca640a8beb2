#!/usr/bin/env bash
# Whole-process timing of a course planned from the keyboard: `keyfolio-tool
# course plan` (the sample keyboard, plain and Shift levels, one character a
# lesson: 40 lessons) over a frequency list of a million distinct words with
# Zipf counts, then `keyfolio-tool course --mode finger` with the strings it
# wrote; and the plan window's recomputation after an edit (plandlg_bench).
#
#   bench/plan_bench.sh [path/to/keyfolio-tool] [work-dir] [path/to/plandlg_bench]
#
# Prints the best wall-clock time of RUNS runs (default 5) of each process and
# the sum of the two.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
TOOL="${1:-$ROOT/build/src/keyfolio-tool}"
WORK="${2:-$ROOT/build/bench-plan}"
DLG_BENCH="${3:-$ROOT/build/bench/plandlg_bench}"
RUNS="${RUNS:-5}"
KEYBOARD="$ROOT/tests/data/sample-keyboard.vkt"
mkdir -p "$WORK"

DICT="$WORK/counts1m.txt"
if [ ! -s "$DICT" ]; then
  # A million distinct words, most frequent first, "word TAB count"; words
  # beginning with a to n are capitalised one time in seven, so the Shift
  # level brings in 14 capitals after the 26 letters.
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
STRINGS="$WORK/strings.txt"
PLAN=("$TOOL" course plan --keyboard "$KEYBOARD" --dictionary "$DICT" --levels plain,shift --per-lesson 1
      -o "$STRINGS" --json)
COURSE=("$TOOL" course --dictionary "$DICT" --strings "$STRINGS" --mode finger --case-sensitive)

source "$HERE/best_of.sh"

"${PLAN[@]}" > "$WORK/plan.json" 2>/dev/null
lessons=$(grep -c '"new"' "$WORK/plan.json")
echo "dictionary: $(wc -l < "$DICT") lines, $(wc -c < "$DICT") bytes; $lessons lessons; best of $RUNS runs;" \
  "load: $(cut -d" " -f1-3 /proc/loadavg) on $(nproc) cores"
read -r plan_wall plan_cpu < <(best_of "$RUNS" "${PLAN[@]}")
read -r course_wall course_cpu < <(best_of "$RUNS" "${COURSE[@]}")
printf 'course plan            %s s wall, %s s CPU\n' "$plan_wall" "$plan_cpu"
printf 'course --mode finger   %s s wall, %s s CPU\n' "$course_wall" "$course_cpu"
python3 -c "import sys; print(f'together               {float(sys.argv[1]) + float(sys.argv[2]):.3f} s wall')" \
  "$plan_wall" "$course_wall"
if [ -x "$DLG_BENCH" ]; then
  "$DLG_BENCH" "$KEYBOARD" "$DICT"
fi
