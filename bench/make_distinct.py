#!/usr/bin/env python3
"""Writes a text of N distinct words (default one million), each once, in a
scrambled order, ten words a line: the worst case for the word index."""
import sys

ALPHABET = 'abcdefghijklmnopqrstuvwxyz'


def word(i):
    # A bijection of i onto letter strings of 4 or more letters.
    n = (i * 2654435761) % (1 << 32)  # scramble the order, still one-to-one
    s = []
    while True:
        s.append(ALPHABET[n % 26])
        n //= 26
        if n == 0 and len(s) >= 4:
            break
    return ''.join(s)


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    with open(out, 'w', newline='') as f:
        line = []
        for i in range(count):
            line.append(word(i))
            if len(line) == 10:
                f.write(' '.join(line) + '\r\n')
                line = []
        if line:
            f.write(' '.join(line) + '\r\n')


if __name__ == '__main__':
    main()
