#!/usr/bin/env python3
"""The reference for the dictionary benchmark: the same split as
keyfolio-tool dict (standard delimiters plus "?!|<>", lower-cased through the
CP1252 table, text ending at a NUL byte, words cut to 40 bytes) counted with
collections.Counter."""
import collections
import sys

STANDARD = bytes(range(0x20)) + b' "\'`()[]{},.:;/\\'
ADDITIONAL = b'?!|<>'


def translation_table():
    table = bytearray(range(256))
    for b in range(256):
        try:
            lo = bytes([b]).decode('cp1252').lower().encode('cp1252')
            if len(lo) == 1:
                table[b] = lo[0]
        except UnicodeError:
            pass
    for b in STANDARD + ADDITIONAL:
        table[b] = 0x20
    return bytes(table)


def main():
    table = translation_table()
    counts = collections.Counter()
    for path in sys.argv[1:]:
        with open(path, 'rb') as f:
            data = f.read()
        data = data.split(b'\0', 1)[0]
        counts.update(w[:40] for w in data.translate(table).split())
    print(f'{sum(counts.values())} words scanned, {len(counts)} distinct', file=sys.stderr)


if __name__ == '__main__':
    main()
