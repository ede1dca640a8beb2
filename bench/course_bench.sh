#!/usr/bin/env bash
# Whole-process timing of `keyfolio-tool course` over a dictionary of a million
# lines (/usr/share/dict/american-english, Debian package wamerican, repeated),
# with 100 defined strings in modes 1 to 4 and two sets of 20 patterns in mode 5
# (anchored by their letters, and general: classes and \w runs that can begin
# at any byte, the last matching every word), and `grep -c -E` with the first
# set over the same file for comparison.
#
#   bench/course_bench.sh [path/to/keyfolio-tool] [work-dir]
#
# Prints the best wall-clock time of RUNS runs (default 5) for each.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
TOOL="${1:-$ROOT/build/src/keyfolio-tool}"
WORK="${2:-$ROOT/build/bench-course}"
RUNS="${RUNS:-5}"
WORDS_SRC=/usr/share/dict/american-english
mkdir -p "$WORK"

if [ ! -s "$WORDS_SRC" ]; then
  echo "$WORDS_SRC is missing: apt-get install -y wamerican" >&2
  exit 1
fi
DICT="$WORK/dict1m.txt"
if [ ! -s "$DICT" ]; then
  python3 - "$WORDS_SRC" "$DICT" <<'PY'
import sys
src = open(sys.argv[1], "rb").read().splitlines()
with open(sys.argv[2], "wb") as f:
    f.write(b"".join(src[i % len(src)] + b"\n" for i in range(1000000)))
PY
fi

# The defined strings: 100 per mode, made from a fixed seed.
python3 - "$WORK" <<'PY'
import random, sys
work = sys.argv[1]
rnd = random.Random(20261210)
letters = "abcdefghijklmnopqrstuvwxyz"
common = "etaoinshrdlucmfwypvbgkqjxz"
def pick(n, pool=letters):
    return "".join(rnd.choice(pool) for _ in range(n))
def write(name, lines):
    with open(f"{work}/{name}", "w", newline="") as f:
        f.write("".join(l + "\r\n" for l in lines))
write("finger.txt", ["".join(rnd.sample(common[:16], rnd.randint(5, 12))) for _ in range(100)])
write("letters.txt", [pick(rnd.choice([2, 3, 3, 4]), common[:18]) for _ in range(100)])
write("head.txt", [pick(rnd.choice([2, 3, 3]), common[:18]) for _ in range(100)])
write("tail.txt", [pick(rnd.choice([1, 2, 2, 3]), common[:18]) for _ in range(100)])
write("regex.txt", [
    r"\w*ing\b", r"\w+ed\b", r"^[aeiou]\w+", r"\w*tion\b", r"[a-m]+", r"\w{4}",
    r"qu\w+", r"\w+ly\b", r"[^aeiou]+", r"\w*ness\b", r"ab\w*", r"\w+s\b",
    r"\w*ph\w*", r"[A-Z]\w+", r"\w+'s", r"x\w*", r"\w*zz\w*", r"[aeiou]{2}\w*",
    r"re\w+", r"\w+er\b",
])
# No letter a match must begin with or hold: every word runs pattern after
# pattern until one fits, and the last fits every word.
write("regex-general.txt", [
    r"\w*[aeiou]{3}\w*", r"[^aeiou\W]{4}\w*", r"\w*[^aeiou\W]{4}", r"[a-z]+[A-Z]\w*",
    r"\w+[xzq]\w*e", r"[A-Z][a-z]{9,}", r"\w\w?", r"\w*(\w)\1\w*[^s\W]",
    r"[aeiou]\w*[aeiou]", r"\w*[kvw]\w{2}", r"\w*y", r"[^aeiou\W]\w*[^aeiou\W]",
    r"\w{12,}", r"\w+'\w+", r"[a-m]+[n-z]+", r"\w*[ou]{2}\w*", r"[b-y]\w*[a-e]",
    r"[a-z]{5}", r"\w+[^\W\d]", r"\S+",
])
PY

source "$HERE/best_of.sh"
# seconds N CMD...: "W s wall, C s CPU", best of N runs.
seconds() {
  local wall cpu
  read -r wall cpu < <(best_of "$@")
  printf '%.3f s wall, %.3f s CPU' "$wall" "$cpu"
}

echo "dictionary: $(wc -l < "$DICT") lines, $(wc -c < "$DICT") bytes; best of $RUNS runs; load: $(cut -d" " -f1-3 /proc/loadavg) on $(nproc) cores"
for mode in finger letters head tail; do
  picked=$("$TOOL" course --dictionary "$DICT" --strings "$WORK/$mode.txt" --mode "$mode" --view wordlist | grep -c . || true)
  printf '%-8s 100 strings: %s  (%s words picked)\n' "$mode" \
    "$(seconds "$RUNS" "$TOOL" course --dictionary "$DICT" --strings "$WORK/$mode.txt" --mode "$mode")" "$picked"
done
for set in regex regex-general; do
  picked=$("$TOOL" course --dictionary "$DICT" --strings "$WORK/$set.txt" --mode regex --view wordlist | grep -c . || true)
  printf '%-14s 20 patterns: %s  (%s words picked)\n' "$set" \
    "$(seconds "$RUNS" "$TOOL" course --dictionary "$DICT" --strings "$WORK/$set.txt" --mode regex)" "$picked"
done

GREP_ARGS=()
while IFS= read -r p; do GREP_ARGS+=(-e "${p%$'\r'}"); done < "$WORK/regex.txt"
printf '%-8s  20 patterns: %s  (grep -c -E, one run over the same file: %s lines)\n' grep \
  "$(seconds "$RUNS" grep -c -E "${GREP_ARGS[@]}" "$DICT")" "$(grep -c -E "${GREP_ARGS[@]}" "$DICT" || true)"
