#!/usr/bin/env bash
# Whole-process timing of `keyfolio-tool package chart` on a 105-key imported
# layout: the German layout imported in CP1252 (59 keys of the main block),
# with the function row, Escape, the three keys beside it, the Windows and
# Menu keys, the editing and arrow keys and the number pad added (46 keys),
# built back into a package. Each format is drawn in the legends style and
# the PNG in the pictures style too.
#
#   bench/chart_bench.sh [path/to/keyfolio-tool] [work-dir]
#
# Prints the best wall-clock and CPU time of RUNS runs (default 5) for each.
# The goal: under 150 ms each for the whole process.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
TOOL="${1:-$ROOT/build/src/keyfolio-tool}"
WORK="${2:-$ROOT/build/bench-chart}"
RUNS="${RUNS:-5}"
mkdir -p "$WORK"
export KEYFOLIO_CODEPAGE=CP1252

"$TOOL" package import de --code-page CP1252 --compose-locale en_US.UTF-8 -o "$WORK/de.vkt" 2>/dev/null
"$TOOL" package dump "$WORK/de.vkt" -o "$WORK/de.json"
python3 "$HERE/chart_full_keyboard.py" "$WORK/de.json" "$WORK/de105.json"
"$TOOL" package build "$WORK/de105.json" -o "$WORK/de105.vkt"
keys=$("$TOOL" package info "$WORK/de105.vkt" | sed -n 's/^Keys: //p')

# best_of N CMD...: the shortest wall-clock time of N runs and the shortest
# CPU time (user + system) of the same runs, in seconds.
best_of() {
  local n=$1; shift
  python3 - "$n" "$@" <<'PY'
import resource, subprocess, sys, time
n = int(sys.argv[1]); cmd = sys.argv[2:]
wall = cpu = None
for _ in range(n):
    r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    d = time.perf_counter() - t
    r1 = resource.getrusage(resource.RUSAGE_CHILDREN)
    c = (r1.ru_utime - r0.ru_utime) + (r1.ru_stime - r0.ru_stime)
    wall = d if wall is None else min(wall, d)
    cpu = c if cpu is None else min(cpu, c)
print(f"{wall * 1000:.0f} ms wall, {cpu * 1000:.0f} ms CPU")
PY
}

echo "keyboard: $keys keys; best of $RUNS runs; load: $(cut -d" " -f1-3 /proc/loadavg) on $(nproc) cores"
for out in chart.svg chart.pdf chart.png; do
  printf '%-22s %s\n' "$out" "$(best_of "$RUNS" "$TOOL" package chart "$WORK/de105.vkt" -o "$WORK/$out")"
done
printf '%-22s %s\n' "chart.pdf --true-scale" \
  "$(best_of "$RUNS" "$TOOL" package chart "$WORK/de105.vkt" -o "$WORK/true.pdf" --true-scale)"
printf '%-22s %s\n' "pictures.png" \
  "$(best_of "$RUNS" "$TOOL" package chart "$WORK/de105.vkt" -o "$WORK/pictures.png" --style pictures)"
