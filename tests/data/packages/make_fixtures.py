#!/usr/bin/env python3
"""Makes the packages of this folder that come from another ZIP writer.

    keyfolio-tool package build fixture.json -o /tmp/fixture.vkt
    python3 make_fixtures.py /tmp/fixture.vkt

other-writer.vkt: members in another order, names in other capitals, stored
and deflated members, an extra member first.
other-writer-streamed.zip: the same written as a stream (sizes and CRCs in
data descriptors after each member).
bomb.vkt: a "key.cds" of 65 MiB of zeros (about 64 KiB deflated), honestly
declared: more than a reader may take.
"""
import sys
import zipfile


class Stream:
    """A file object that cannot seek, so zipfile writes data descriptors."""

    def __init__(self, f):
        self.f = f

    def write(self, b):
        return self.f.write(b)

    def flush(self):
        self.f.flush()


def members(path):
    with zipfile.ZipFile(path) as z:
        return {n: z.read(n) for n in ("key.cds", "char.cds", "readme")}


def write(target, m, streamed):
    with open(target, "wb") as f:
        z = zipfile.ZipFile(Stream(f) if streamed else f, "w")
        z.writestr("Docs/notes.txt", "not part of the keyboard", zipfile.ZIP_DEFLATED)
        z.writestr("README", m["readme"], zipfile.ZIP_STORED)
        z.writestr("Char.CDS", m["char.cds"], zipfile.ZIP_DEFLATED)
        z.writestr("KEY.cds", m["key.cds"], zipfile.ZIP_STORED)
        z.close()


if __name__ == "__main__":
    m = members(sys.argv[1])
    write("other-writer.vkt", m, False)
    write("other-writer-streamed.zip", m, True)
    with zipfile.ZipFile("bomb.vkt", "w") as z:
        z.writestr("key.cds", bytes(65 << 20), zipfile.ZIP_DEFLATED)
        z.writestr("char.cds", m["char.cds"], zipfile.ZIP_DEFLATED)
        z.writestr("readme", m["readme"], zipfile.ZIP_DEFLATED)
