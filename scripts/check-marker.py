#!/usr/bin/env python3
"""Checks a shipped binary's branding block.

  check-marker.py MARKER_SOURCE BINARY            the marker occurs exactly twice, 1060 bytes apart
  check-marker.py MARKER_SOURCE BINARY --template and the block between them is the unbranded template

The marker is read from the one source file that defines it, so that this
script does not hold a copy of its own."""
import re
import sys

MARKER_LENGTH, END_MARKER_OFFSET, BLOCK_LENGTH = 60, 1060, 1120


def marker_from(source):
    text = open(source, encoding="ascii").read()
    m = re.search(r'#define VB_MARKER "([^"]*)"', text)
    if not m or len(m.group(1)) != MARKER_LENGTH:
        sys.exit(f"{source}: no {MARKER_LENGTH}-byte marker definition found")
    return m.group(1).encode("ascii")


def expected_template():
    """Ten cells of '1234567890' repeated to 99 digits, each ended by a NUL."""
    cell = (b"1234567890" * 10)[:99] + b"\0"
    return cell * 10


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if len(args) != 2:
        sys.exit(__doc__)
    marker = marker_from(args[0])
    data = open(args[1], "rb").read()
    hits, i = [], data.find(marker)
    while i >= 0:
        hits.append(i)
        i = data.find(marker, i + 1)
    if len(hits) != 2 or hits[1] - hits[0] != END_MARKER_OFFSET:
        sys.exit(f"{args[1]}: the branding marker occurs {len(hits)} times at {hits[:6]}; "
                 f"it must occur exactly twice, {END_MARKER_OFFSET} bytes apart")
    if "--template" in sys.argv:
        area = data[hits[0] + MARKER_LENGTH:hits[0] + END_MARKER_OFFSET]
        want = expected_template()
        if area[:4] != b"1234":
            sys.exit(f"{args[1]}: the template flag is {area[:4]!r}, not b'1234'")
        if area != want:
            at = next(k for k in range(len(want)) if area[k] != want[k])
            sys.exit(f"{args[1]}: the template differs at block offset {MARKER_LENGTH + at}: "
                     f"{area[at]:#04x} instead of {want[at]:#04x}")
        zeros = [MARKER_LENGTH + k for k, b in enumerate(area) if b == 0]
        if zeros != list(range(159, 1060, 100)):
            sys.exit(f"{args[1]}: NUL bytes at {zeros}, expected 159, 259, ... 1059")
    print(f"{args[1]}: branding block at {hits[0]}" + (", unbranded template intact" if "--template" in sys.argv else ""))


if __name__ == "__main__":
    main()
