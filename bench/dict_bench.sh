#!/usr/bin/env bash
# Whole-process benchmark of `keyfolio-tool dict` against `wc -w` and
# Python's collections.Counter over the same split, plus peak memory.
#
#   bench/dict_bench.sh [path/to/keyfolio-tool] [work-dir]
#
# Makes its corpora under the work dir (default build/bench-dict): the King
# James Bible (Debian's bible-kjv) ten times over, and a text of a million
# distinct words. Prints the times, the ratios and the memory figures.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
TOOL="${1:-$ROOT/build/keyfolio-tool}"
WORK="${2:-$ROOT/build/bench-dict}"
RUNS="${RUNS:-5}"
mkdir -p "$WORK"

if ! command -v bible >/dev/null; then
  echo "bible-kjv is missing: apt-get install -y bible-kjv" >&2
  exit 1
fi
KJV="$WORK/kjv10.txt"
if [ ! -s "$KJV" ]; then
  bible gen1:1-rev22:21 > "$WORK/kjv1.txt"
  for _ in 1 2 3 4 5 6 7 8 9 10; do cat "$WORK/kjv1.txt"; done > "$KJV"
fi
DISTINCT="$WORK/distinct1m.txt"
[ -s "$DISTINCT" ] || python3 "$HERE/make_distinct.py" "$DISTINCT" 1000000

# best_of N CMD...: the shortest wall-clock time of N runs, in seconds.
best_of() {
  local n=$1; shift
  local best=""
  for _ in $(seq "$n"); do
    local s e t
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  printf '%.3f' "$best"
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
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
  else
    echo 0
  fi
}

cat /dev/null > "$WORK/out.dic"
"$TOOL" dict -o "$WORK/out.dic" "$KJV" # warm the page cache, show the counters
wc -w "$KJV" >/dev/null
size=$(stat -c %s "$KJV")

t_tool=$(best_of "$RUNS" "$TOOL" dict -o "$WORK/out.dic" "$KJV")
t_wc=$(best_of "$RUNS" wc -w "$KJV")
t_py=$(best_of 2 python3 "$HERE/dict_counter.py" "$KJV")
rss_tool=$(peak_kb "$TOOL" dict -o "$WORK/out.dic" "$KJV")
distinct_bytes=$(awk '{ n += length($0) - 1 } END { print n + 0 }' "$WORK/out.dic")

echo "corpus: $KJV ($size bytes)"
echo "keyfolio-tool dict: ${t_tool} s   wc -w: ${t_wc} s   python Counter: ${t_py} s"
echo "ratio tool/wc: $(echo "$t_tool / $t_wc" | bc -l | cut -c1-5) (must be <= 1)"
echo "ratio tool/python: $(echo "$t_tool / $t_py" | bc -l | cut -c1-5) (must be <= 0.1)"
echo "peak memory: ${rss_tool} KiB; budget 64 MiB + 4 x $distinct_bytes bytes = $(( 65536 + 4 * distinct_bytes / 1024 )) KiB"

"$TOOL" dict -o "$WORK/out1m.dic" "$DISTINCT"
size1m=$(stat -c %s "$DISTINCT")
t_1m=$(best_of "$RUNS" "$TOOL" dict -o "$WORK/out1m.dic" "$DISTINCT")
rss_1m=$(peak_kb "$TOOL" dict -o "$WORK/out1m.dic" "$DISTINCT")
distinct_1m=$(awk '{ n += length($0) - 1 } END { print n + 0 }' "$WORK/out1m.dic")
speed_kjv=$(echo "$size / $t_tool / 1000000" | bc -l)
speed_1m=$(echo "$size1m / $t_1m / 1000000" | bc -l)
echo "million distinct words: $DISTINCT ($size1m bytes): ${t_1m} s"
printf 'whole-process speed: %.1f MB/s (bible) vs %.1f MB/s (distinct); ratio %.2f (must be >= 0.33)\n' \
  "$speed_kjv" "$speed_1m" "$(echo "$speed_1m / $speed_kjv" | bc -l)"
ms_kjv=$(scan_ms "$RUNS" "$KJV")
ms_1m=$(scan_ms "$RUNS" "$DISTINCT")
printf 'scan only (the command'"'"'s own ms): %s ms (bible) vs %s ms (distinct); per-byte ratio %.2f (must be >= 0.33)\n' \
  "$ms_kjv" "$ms_1m" "$(echo "($size1m / $ms_1m) / ($size / $ms_kjv)" | bc -l)"
echo "peak memory: ${rss_1m} KiB; budget 64 MiB + 4 x $distinct_1m bytes = $(( 65536 + 4 * distinct_1m / 1024 )) KiB"
