#!/usr/bin/env bash
# Whole-process timing of `keyfolio-tool dict` on the same words in the code
# page and in UTF-8: the King James Bible ten times over (43 MB) with a few
# words given non-ASCII letters, and the German and Russian test texts
# repeated to about 20 MB. Also the plain Bible (ASCII, read as Auto) for the
# code-page scan's speed in MB/s. Uses farm-bench when it is there (minimum
# and median of RUNS runs), else /usr/bin/time (best of RUNS).
#
#   bench/dict_encodings_bench.sh [path/to/keyfolio-tool] [work-dir]
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
TOOL="${1:-$ROOT/build/src/keyfolio-tool}"
WORK="${2:-$ROOT/build/bench-encodings}"
RUNS="${RUNS:-10}"
DATA="$ROOT/tests/data/wordlist"
mkdir -p "$WORK"

source "$HERE/kjv10.sh"
KJV="$(kjv10 "$WORK")"
# A few words with letters CP1252 holds: the same words in both files.
if [ ! -s "$WORK/kjv10.utf8.txt" ]; then
  sed -e 's/\bMoses\b/Möses/g; s/\bPharaoh\b/Pharaöh/g; s/\bJosephus\b/Joséphus/g; s/\bNaomi\b/Naëmi/g' \
    "$KJV" > "$WORK/kjv10.utf8.txt"
  iconv -f UTF-8 -t CP1252 "$WORK/kjv10.utf8.txt" > "$WORK/kjv10.cp1252.txt"
fi
repeat() { # repeat FILE OUT N: FILE N times over
  for _ in $(seq "$3"); do cat "$1"; done > "$2"
}
# As many copies of each text in both forms: about 20 MB of UTF-8.
for lang in de:cp1252 ru:cp1251; do
  l=${lang%%:*} cp=${lang##*:}
  n=$(( 20000000 / $(stat -c %s "$DATA/$l.utf8.txt") + 1 ))
  [ -s "$WORK/$l.utf8.txt" ] || repeat "$DATA/$l.utf8.txt" "$WORK/$l.utf8.txt" "$n"
  [ -s "$WORK/$l.$cp.txt" ] || repeat "$DATA/$l.$cp.txt" "$WORK/$l.$cp.txt" "$n"
done

echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
# timed CODEPAGE FILE: "min median" wall seconds of the whole command.
timed() {
  local cp=$1 file=$2
  if command -v farm-bench >/dev/null; then
    KEYFOLIO_CODEPAGE=$cp farm-bench -n "$RUNS" -- "$TOOL" dict -o "$WORK/out.dic" "$file" 2>/dev/null |
      awk '/wall s/ {print $4, $5}'
  else
    local best=""
    for _ in $(seq "$RUNS"); do
      local t
      t=$( { KEYFOLIO_CODEPAGE=$cp /usr/bin/time -f "%e" "$TOOL" dict -o "$WORK/out.dic" "$file" >/dev/null 2>/dev/null; } 2>&1 | tail -1)
      if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    echo "$best $best"
  fi
}
row() { # row NAME CODEPAGE CP-FILE UTF8-FILE
  local name=$1 cp=$2 a=$3 b=$4 ta tb
  read -r ta ta_med < <(timed "$cp" "$a")
  read -r tb tb_med < <(timed "$cp" "$b")
  printf '%-22s code page %s s (median %s), UTF-8 %s s (median %s): UTF-8 runs at %.2f of the code-page speed (>= 0.5 wanted)\n' \
    "$name" "$ta" "$ta_med" "$tb" "$tb_med" "$(echo "$ta / $tb" | bc -l)"
}
read -r t t_med < <(timed CP1252 "$KJV")
printf 'bible x10 code page   %s s (median %s): %.0f MB/s whole process (>= 500 wanted)\n' "$t" "$t_med" \
  "$(echo "$(stat -c %s "$KJV") / $t / 1000000" | bc -l)"
row "bible x10" CP1252 "$WORK/kjv10.cp1252.txt" "$WORK/kjv10.utf8.txt"
row "German texts" CP1252 "$WORK/de.cp1252.txt" "$WORK/de.utf8.txt"
row "Russian texts" CP1251 "$WORK/ru.cp1251.txt" "$WORK/ru.utf8.txt"
