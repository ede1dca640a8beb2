# Sourced by the word-list benchmarks: kjv10 DIR makes DIR/kjv10.txt, the King
# James Bible (Debian's bible-kjv) ten times over (43 MB), once, and prints its
# path.
kjv10() {
  local dir="$1"
  if ! command -v bible >/dev/null; then
    echo "bible-kjv is missing: apt-get install -y bible-kjv" >&2
    return 1
  fi
  if [ ! -s "$dir/kjv10.txt" ]; then
    bible gen1:1-rev22:21 > "$dir/kjv1.txt"
    for _ in 1 2 3 4 5 6 7 8 9 10; do cat "$dir/kjv1.txt"; done > "$dir/kjv10.txt"
  fi
  echo "$dir/kjv10.txt"
}
