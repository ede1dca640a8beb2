#!/usr/bin/env python3
"""Writes a text with a large vocabulary as natural text has one: N distinct
words (default one million), each met at least once, plus TOKENS more words
(default eight million) drawn by Zipf's law (frequency ~ 1/rank), shuffled,
ten words a line. The words are those of make_distinct.py."""
import itertools
import random
import sys

from make_distinct import word


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    tokens = int(sys.argv[3]) if len(sys.argv) > 3 else 8_000_000
    rng = random.Random(1)
    vocabulary = [word(i) for i in range(count)]
    weights = list(itertools.accumulate(1.0 / r for r in range(1, count + 1)))
    text = rng.choices(vocabulary, cum_weights=weights, k=tokens)
    text.extend(vocabulary)
    rng.shuffle(text)
    with open(out, 'w', newline='') as f:
        for i in range(0, len(text), 10):
            f.write(' '.join(text[i:i + 10]) + '\r\n')


if __name__ == '__main__':
    main()
