#!/usr/bin/env python3
"""Prints the kExtend table of src/ui/text/graphemes.cpp from Python's Unicode database."""
import unicodedata


def joins(cp):
    if unicodedata.category(chr(cp)) in ("Mn", "Me", "Mc"):
        return True
    return (cp == 0x200C or 0xFF9E <= cp <= 0xFF9F or 0x1F3FB <= cp <= 0x1F3FF
            or 0xE0020 <= cp <= 0xE007F)


ranges, start = [], None
for cp in range(0x110001):
    j = cp <= 0x10FFFF and joins(cp)
    if j and start is None:
        start = cp
    elif not j and start is not None:
        ranges.append((start, cp - 1))
        start = None
cells = ["{0x%X, 0x%X}" % r for r in ranges]
for i in range(0, len(cells), 4):
    print("    " + ", ".join(cells[i:i + 4]) + ",")
print("// Unicode", unicodedata.unidata_version)
