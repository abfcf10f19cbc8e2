"""What the benchmarks brand: generated targets with the block near the end."""
import os
import re

MARKER = re.search(r'#define VB_MARKER "([^"]*)"',
                   open(os.path.join(os.path.dirname(__file__), "..", "brand", "core", "OwnBlock.cpp")).read()
                   ).group(1).encode()
TEMPLATE = ((b"1234567890" * 10)[:99] + b"\0") * 10


def make_target(path, size):
    """size bytes of random filler that never forms the marker, an unbranded
    block 8 KiB before the end, and zeros after it."""
    chunk = os.urandom(1 << 20).replace(MARKER[:1], b"y")
    with open(path, "wb") as f:
        left = size - 8192
        while left > 0:
            n = min(left, len(chunk))
            f.write(chunk[:n])
            left -= n
        f.write(MARKER + TEMPLATE + MARKER)
        f.write(b"\0" * (8192 - 1120))
