#!/usr/bin/env python3
"""Changes one byte inside the first section of a PE file, after it was signed, so that its
Authenticode digest no longer matches."""
import struct
import sys

path = sys.argv[1]
with open(path, "r+b") as f:
    data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    first = pe + 24 + optional_size
    if sections == 0:
        sys.exit("no sections")
    raw_pointer = struct.unpack_from("<I", data, first + 20)[0]
    data[raw_pointer + 16] ^= 0xFF
    f.seek(0)
    f.write(data)
