#!/usr/bin/env bash
# Whole-process benchmark of `keyfolio-tool package stats` against
# `keyfolio-tool dict` on the same text: the King James Bible ten times over
# (43 MB) on an imported `us` layout, both cores used; the statistics must
# take at most twice the dictionary's time. Also the peak memory of the
# statistics on the text once, ten and forty times over (it must stay flat),
# and the UTF-8 and UTF-16 forms of the text.
#
#   bench/stats_bench.sh [path/to/keyfolio-tool] [work-dir]
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
TOOL="${1:-$ROOT/build/src/keyfolio-tool}"
WORK="${2:-$ROOT/build/bench-stats}"
RUNS="${RUNS:-5}"
mkdir -p "$WORK"

source "$HERE/kjv10.sh"
KJV="$(kjv10 "$WORK")"
export KEYFOLIO_CODEPAGE=CP1252

if [ ! -x /usr/bin/time ]; then
  echo "/usr/bin/time is missing: apt-get install -y time" >&2
  exit 1
fi

[ -s "$WORK/us.vkt" ] || "$TOOL" package import us --code-page CP1252 -o "$WORK/us.vkt" 2>/dev/null
[ -s "$WORK/kjv1.txt" ] || head -c $(( $(stat -c %s "$KJV") / 10 )) "$KJV" > "$WORK/kjv1.txt"
[ -s "$WORK/kjv40.txt" ] || for _ in 1 2 3 4; do cat "$KJV"; done > "$WORK/kjv40.txt"
# A UTF-8 text with accented letters and a UTF-16 one: the decoding path.
[ -s "$WORK/kjv10-utf8.txt" ] || sed 's/e/\xc3\xa9/g' "$KJV" > "$WORK/kjv10-utf8.txt"
[ -s "$WORK/kjv10-utf16.txt" ] || iconv -f UTF-8 -t UTF-16 "$WORK/kjv10-utf8.txt" > "$WORK/kjv10-utf16.txt"

# best_of N CMD...: the shortest wall-clock and CPU (user + system) times of
# N runs, in seconds, as "WALL CPU".
best_of() {
  local n=$1; shift
  local best_wall="" best_cpu=""
  for _ in $(seq "$n"); do
    /usr/bin/time -o "$WORK/time.txt" -f "%e %U %S" "$@" >/dev/null 2>&1
    local out wall cpu
    out=$(tail -1 "$WORK/time.txt")
    wall=$(echo "$out" | awk '{print $1}')
    cpu=$(echo "$out" | awk '{print $2 + $3}')
    if [ -z "$best_wall" ] || [ "$(echo "$wall < $best_wall" | bc -l)" = 1 ]; then best_wall=$wall; fi
    if [ -z "$best_cpu" ] || [ "$(echo "$cpu < $best_cpu" | bc -l)" = 1 ]; then best_cpu=$cpu; fi
  done
  echo "$best_wall $best_cpu"
}
peak_kb() {
  /usr/bin/time -v -o "$WORK/time.txt" "$@" >/dev/null 2>&1
  awk -F': ' '/Maximum resident set size/ {print $2}' "$WORK/time.txt"
}
ratio() { echo "$1 / $2" | bc -l | awk '{printf "%.3f", $1}'; }

"$TOOL" package stats "$WORK/us.vkt" "$KJV" >/dev/null # warm the page cache
read -r t_stats c_stats < <(best_of "$RUNS" "$TOOL" package stats "$WORK/us.vkt" "$KJV" --json)
read -r t_dict c_dict < <(best_of "$RUNS" "$TOOL" dict -o "$WORK/out.dic" "$KJV")
echo "corpus: $KJV ($(stat -c %s "$KJV") bytes)"
echo "wall s: package stats $t_stats, dict $t_dict; stats/dict $(ratio "$t_stats" "$t_dict") (must be <= 2)"
echo "cpu  s: package stats $c_stats, dict $c_dict; stats/dict $(ratio "$c_stats" "$c_dict")"
read -r t_vs _ < <(best_of "$RUNS" "$TOOL" package stats "$WORK/us.vkt" "$KJV" --vs "$WORK/us.vkt" --json)
echo "wall s: package stats --vs (two keyboards, one reading) $t_vs"
for f in kjv10-utf8.txt kjv10-utf16.txt; do
  read -r t _ < <(best_of "$RUNS" "$TOOL" package stats "$WORK/us.vkt" "$WORK/$f" --json)
  read -r d _ < <(best_of "$RUNS" "$TOOL" dict -o "$WORK/out.dic" "$WORK/$f")
  echo "wall s: $f: package stats $t, dict $d; stats/dict $(ratio "$t" "$d")"
done
echo "peak memory (KiB) of package stats: text x1 $(peak_kb "$TOOL" package stats "$WORK/us.vkt" "$WORK/kjv1.txt"), " \
  "x10 $(peak_kb "$TOOL" package stats "$WORK/us.vkt" "$KJV"), x40 $(peak_kb "$TOOL" package stats "$WORK/us.vkt" "$WORK/kjv40.txt")"
