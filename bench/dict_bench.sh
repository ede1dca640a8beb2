#!/usr/bin/env bash
# Whole-process benchmark of `keyfolio-tool dict` against `wc -w` and
# Python's collections.Counter over the same split, plus peak memory.
#
#   bench/dict_bench.sh [path/to/keyfolio-tool] [work-dir]
#
# Makes its corpora under the work dir (default build/bench-dict): the King
# James Bible (Debian's bible-kjv) ten times over, and two texts of a million
# distinct words. Prints the times, the ratios and the memory figures.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
TOOL="${1:-$ROOT/build/src/keyfolio-tool}"
WORK="${2:-$ROOT/build/bench-dict}"
RUNS="${RUNS:-5}"
mkdir -p "$WORK"

source "$HERE/kjv10.sh"
KJV="$(kjv10 "$WORK")"
# Two texts with a million distinct words: one shaped like natural text (Zipf's
# law over the vocabulary, every word at least once, 9 million words), and the
# worst case for the word index: every word once and nothing else.
ZIPF="$WORK/zipf1m.txt"
[ -s "$ZIPF" ] || python3 "$HERE/make_zipf.py" "$ZIPF" 1000000 8000000
DISTINCT="$WORK/distinct1m.txt"
[ -s "$DISTINCT" ] || python3 "$HERE/make_distinct.py" "$DISTINCT" 1000000

if [ ! -x /usr/bin/time ]; then
  echo "/usr/bin/time is missing: apt-get install -y time" >&2
  exit 1
fi

# best_of N CMD...: the shortest wall-clock time and the shortest CPU time
# (user + system) of N runs, in seconds, as "WALL CPU". On a shared, busy
# machine the CPU time is the steadier figure.
best_of() {
  local n=$1; shift
  local best_wall="" best_cpu=""
  for _ in $(seq "$n"); do
    local out wall cpu
    /usr/bin/time -o "$WORK/time.txt" -f "%e %U %S" "$@" >/dev/null 2>&1
    out=$(tail -1 "$WORK/time.txt")
    wall=$(echo "$out" | awk '{print $1}')
    cpu=$(echo "$out" | awk '{print $2 + $3}')
    if [ -z "$best_wall" ] || [ "$(echo "$wall < $best_wall" | bc -l)" = 1 ]; then best_wall=$wall; fi
    if [ -z "$best_cpu" ] || [ "$(echo "$cpu < $best_cpu" | bc -l)" = 1 ]; then best_cpu=$cpu; fi
  done
  echo "$best_wall $best_cpu"
}

# scan_ms N FILE: the shortest scan time of N runs as the command reports it.
scan_ms() {
  local n=$1 file=$2 best=""
  for _ in $(seq "$n"); do
    local ms
    ms=$("$TOOL" dict -o "$WORK/scan.dic" "$file" 2>&1 >/dev/null | sed -n 's/.* \([0-9]*\) ms$/\1/p')
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

# peak_kb CMD...: the peak resident set of one run, in KiB.
peak_kb() {
  /usr/bin/time -v -o "$WORK/time.txt" "$@" >/dev/null 2>&1
  awk -F': ' '/Maximum resident set size/ {print $2}' "$WORK/time.txt"
}

cat /dev/null > "$WORK/out.dic"
"$TOOL" dict -o "$WORK/out.dic" "$KJV" # warm the page cache, show the counters
wc -w "$KJV" >/dev/null
size=$(stat -c %s "$KJV")

read -r t_tool c_tool < <(best_of "$RUNS" "$TOOL" dict -o "$WORK/out.dic" "$KJV")
read -r t_wc c_wc < <(best_of "$RUNS" wc -w "$KJV")
read -r t_py c_py < <(best_of 2 python3 "$HERE/dict_counter.py" "$KJV")
rss_tool=$(peak_kb "$TOOL" dict -o "$WORK/out.dic" "$KJV")
distinct_bytes=$(awk '{ n += length($0) - 1 } END { print n + 0 }' "$WORK/out.dic")

ratio() { echo "$1 / $2" | bc -l | awk '{printf "%.3f", $1}'; }
echo "corpus: $KJV ($size bytes)"
echo "wall s: keyfolio-tool dict $t_tool, wc -w $t_wc, python Counter $t_py"
echo "cpu  s: keyfolio-tool dict $c_tool, wc -w $c_wc, python Counter $c_py"
echo "tool/wc:     wall $(ratio "$t_tool" "$t_wc"), cpu $(ratio "$c_tool" "$c_wc") (must be <= 1)"
echo "tool/python: wall $(ratio "$t_tool" "$t_py"), cpu $(ratio "$c_tool" "$c_py") (must be <= 0.1)"
echo "peak memory: ${rss_tool} KiB; budget 64 MiB + 4 x $distinct_bytes bytes = $(( 65536 + 4 * distinct_bytes / 1024 )) KiB"

ms_kjv=$(scan_ms "$RUNS" "$KJV")
echo "scan alone (the command's own ms, best of $RUNS): bible $ms_kjv ms"

# million WORKDIR-NAME FILE: the whole-process and the scan-alone per-byte
# speed of FILE against the bible's, and its peak memory.
million() {
  local name=$1 file=$2 size t c rss distinct ms
  "$TOOL" dict -o "$WORK/out1m.dic" "$file" >/dev/null 2>&1
  size=$(stat -c %s "$file")
  read -r t c < <(best_of "$RUNS" "$TOOL" dict -o "$WORK/out1m.dic" "$file")
  rss=$(peak_kb "$TOOL" dict -o "$WORK/out1m.dic" "$file")
  distinct=$(awk '{ n += length($0) - 1 } END { print n + 0 }' "$WORK/out1m.dic")
  ms=$(scan_ms "$RUNS" "$file")
  echo "$name: $file ($size bytes): wall $t s, cpu $c s, scan alone $ms ms"
  echo "  peak memory: ${rss} KiB; budget 64 MiB + 4 x $distinct bytes = $(( 65536 + 4 * distinct / 1024 )) KiB"
  printf '  per-byte speed against the bible: whole process wall %.3f, cpu %.3f; scan alone %.3f (must be >= 0.33)\n' \
    "$(echo "($size / $t) / ($kjv_size / $t_tool)" | bc -l)" "$(echo "($size / $c) / ($kjv_size / $c_tool)" | bc -l)" \
    "$(echo "($size / $ms) / ($kjv_size / $ms_kjv)" | bc -l)"
}
kjv_size=$size
million "million distinct words, natural distribution" "$ZIPF"
million "million distinct words, each once (worst case)" "$DISTINCT"
