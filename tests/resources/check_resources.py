#!/usr/bin/env python3
"""Reads the resources of a built velmorabrander.exe (its .rsrc section, not
the .rc source) and compares them with the values the program must carry:
the dialog template, the icon group and its images, the version record, the
manifest, and nothing else.   Usage: check_resources.py EXE"""
import struct
import sys

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24
EN_US, EN_GB = 1033, 2057

EDIT, DEFBUTTON, BUTTON, LABEL = 0x50810080, 0x50010001, 0x50010000, 0x50020000
BUTTON_CLASS, EDIT_CLASS, STATIC_CLASS = 0x80, 0x81, 0x82
CONTROLS = [
    (1009, EDIT_CLASS, EDIT, (87, 23, 226, 14), ""),
    (1010, EDIT_CLASS, EDIT, (87, 40, 226, 14), ""),
    (1008, EDIT_CLASS, EDIT, (87, 145, 226, 14), ""),
    (1007, EDIT_CLASS, EDIT, (87, 162, 226, 14), ""),
    (1011, EDIT_CLASS, EDIT, (87, 179, 226, 14), ""),
    (1, BUTTON_CLASS, DEFBUTTON, (108, 200, 50, 14), "Update "),
    (2, BUTTON_CLASS, BUTTON, (161, 200, 50, 14), "Cancel"),
    (1023, BUTTON_CLASS, BUTTON, (251, 123, 50, 14), "Click here"),
    (-1, STATIC_CLASS, LABEL, (7, 165, 75, 8), "Quillburn Link"),
    (-1, STATIC_CLASS, LABEL, (7, 148, 58, 8), "Your Clickbank ID"),
    (-1, STATIC_CLASS, LABEL, (7, 94, 301, 9), "Quillburn contains adverts for Quillburn itself and Mirrowen."),
    (-1, STATIC_CLASS, LABEL, (7, 43, 42, 8), "Web site link"),
    (-1, STATIC_CLASS, LABEL, (7, 26, 38, 8), "Licensed to"),
    (-1, STATIC_CLASS, LABEL, (5, 9, 288, 8),
     "Enter the name of the licensee (your name, company or web site) and a link to your web site"),
    (-1, STATIC_CLASS, LABEL, (7, 104, 306, 16),
     "You can either insert your Clickbank ID below and receive 50% commission from Velmora Software on all "
     "sales - or if you sell these products yourself, enter your own links below"),
    (-1, STATIC_CLASS, LABEL, (7, 182, 69, 8), "Mirrowen Link"),
    (-1, STATIC_CLASS, LABEL, (7, 127, 239, 8),
     "If you want more details of the Velmora affiliate program and/or Clickbank ..."),
    (-1, STATIC_CLASS, LABEL, (7, 64, 306, 17),
     "You may leave the boxes below blank if you wish\nHowever filling them in will allow you to earn money "
     "from Quillburn"),
]
VERSION_STRINGS = {
    "Comments": "none",
    "FileDescription": "Velmora Software Brander",
    "FileVersion": "1, 0, 0, 1",
    "InternalName": "Velmora Software Brander",
    "LegalTrademarks": "none",
    "OriginalFilename": "velmorabrander.exe",
    "PrivateBuild": "none",
    "ProductName": "Velmora Software Brander",
    "ProductVersion": "1, 0, 0, 1",
    "SpecialBuild": "none",
}

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


class Reader:
    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, n=4):
        self.pos = (self.pos + n - 1) // n * n

    def sz_or_ord(self):
        first = self.take("H")
        if first == 0xFFFF:
            return self.take("H")
        chars = []
        while first:
            chars.append(chr(first))
            first = self.take("H")
        return "".join(chars)


def resources(pe):
    """{(type, id, lang): bytes} from the PE's resource directory."""
    peoff = struct.unpack_from("<I", pe, 0x3C)[0]
    assert pe[peoff:peoff + 4] == b"PE\0\0", "not a PE file"
    nsections, = struct.unpack_from("<H", pe, peoff + 6)
    optsize, = struct.unpack_from("<H", pe, peoff + 20)
    magic, = struct.unpack_from("<H", pe, peoff + 24)
    ddir = peoff + 24 + (96 if magic == 0x10B else 112)
    rsrc_rva, _ = struct.unpack_from("<II", pe, ddir + 2 * 8)
    sections = []
    for i in range(nsections):
        s = peoff + 24 + optsize + 40 * i
        vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", pe, s + 8)
        sections.append((va, max(vsize, rawsize), rawptr))

    def at(rva):
        for va, size, raw in sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError(f"rva {rva:#x} outside every section")

    base = at(rsrc_rva)
    out = {}

    def walk(off, path):
        named, ids = struct.unpack_from("<HH", pe, base + off + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", pe, base + off + 16 + 8 * i)
            key = path + [name]
            if target & 0x80000000:
                walk(target & 0x7FFFFFFF, key)
            else:
                rva, size = struct.unpack_from("<II", pe, base + target)
                out[tuple(key)] = pe[at(rva):at(rva) + size]

    walk(0, [])
    return out


def check_dialog(data):
    r = Reader(data)
    ver, sig, helpid, exstyle, style, count, x, y, cx, cy = r.take("HHIIIHhhhh")
    check((ver, sig) == (1, 0xFFFF), "dialog: not an extended template")
    check(helpid == 0, f"dialog: help id {helpid}")
    check(exstyle == 0x00040000, f"dialog: extended style {exstyle:#010x}")
    check(style == 0x90CA00C0, f"dialog: style {style:#010x}")
    check(count == 18, f"dialog: {count} controls")
    check((x, y, cx, cy) == (0, 0, 320, 221), f"dialog: rectangle {(x, y, cx, cy)}")
    check(r.sz_or_ord() == "", "dialog: has a menu")
    check(r.sz_or_ord() == "", "dialog: has a window class")
    title = r.sz_or_ord()
    check(title == "Quillburn Brander", f"dialog: caption {title!r}")
    points, weight, italic, charset = r.take("HHBB")
    face = r.sz_or_ord()
    check((points, weight, italic, charset, face) == (8, 0, 0, 1, "MS Sans Serif"),
          f"dialog: font {(points, weight, italic, charset, face)}")
    for n, (cid, cls, cstyle, rect, text) in enumerate(CONTROLS[:count], 1):
        r.align()
        helpid, exstyle, style, x, y, cx, cy, ident = r.take("IIIhhhhi")
        wclass = r.sz_or_ord()
        title = r.sz_or_ord()
        extra = r.take("H")
        r.pos += extra
        got = (ident, wclass, style, (x, y, cx, cy), title)
        check(got == (cid, cls, cstyle, rect, text) and helpid == 0 and exstyle == 0,
              f"dialog control {n}: {got} help {helpid} ex {exstyle:#x}")


def check_icons(res):
    group = res.get((RT_GROUP_ICON, 128, EN_GB))
    check(group is not None, "icon group 128 (English, United Kingdom) missing")
    if group is None:
        return
    reserved, kind, count = struct.unpack_from("<HHH", group, 0)
    check((reserved, kind, count) == (0, 1, 2), f"icon group header {(reserved, kind, count)}")
    want = [(32, 32, 16, 0, 1, 4, 744, 1), (16, 16, 16, 0, 1, 4, 296, 2)]
    for i in range(count):
        entry = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        check(i < len(want) and entry == want[i], f"icon group entry {i + 1}: {entry}")
        image = res.get((RT_ICON, entry[7], EN_GB))
        check(image is not None and len(image) == entry[6], f"icon image {entry[7]}: missing or wrong size")
        if image:
            size, width, height, planes, bits = struct.unpack_from("<IiiHH", image, 0)
            check((size, width, height, planes, bits) == (40, entry[0], 2 * entry[0], 1, 4),
                  f"icon image {entry[7]} header {(size, width, height, planes, bits)}")


def check_version(data):
    r = Reader(data)
    length, value_length, kind = r.take("HHH")
    check(r.sz_or_ord() == "VS_VERSION_INFO", "version: key")
    r.align()
    fixed = r.take("13I")
    check(fixed[0] == 0xFEEF04BD, "version: fixed info signature")
    check(fixed[2:4] == (0x00010000, 0x00000001), "version: file version is not 1.0.0.1")
    check(fixed[4:6] == (0x00010000, 0x00000001), "version: product version is not 1.0.0.1")
    check(fixed[6:13] == (0x3F, 0x28, 4, 1, 0, 0, 0),
          f"version: mask, flags, os, type, subtype, date = {fixed[6:13]}")
    strings, translation = {}, None
    end = length
    while True:
        r.align()
        if r.pos >= end:
            break
        block_start = r.pos
        blen, _, _ = r.take("HHH")
        key = r.sz_or_ord()
        if key == "StringFileInfo":
            r.align()
            tlen, _, _ = r.take("HHH")
            table_start = r.pos - 6
            table = r.sz_or_ord()
            check(table == "040904b0", f"version: string table {table}")
            while True:
                r.align()
                if r.pos >= table_start + tlen:
                    break
                slen, svlen, _ = r.take("HHH")
                s_start = r.pos - 6
                name = r.sz_or_ord()
                r.align()
                value = data[r.pos:r.pos + 2 * svlen].decode("utf-16-le").rstrip("\0")
                strings[name] = value
                r.pos = s_start + slen
        elif key == "VarFileInfo":
            r.align()
            r.take("HHH")
            check(r.sz_or_ord() == "Translation", "version: Translation")
            r.align()
            translation = r.take("HH")
        r.pos = block_start + blen
    for name, value in VERSION_STRINGS.items():
        check(strings.get(name) == value, f"version: {name} = {strings.get(name)!r}")
    for name in ("CompanyName", "LegalCopyright"):
        check(bool(strings.get(name)), f"version: {name} is empty")
    check(translation == (0x0409, 0x04B0), f"version: translation {translation}")


def main():
    pe = open(sys.argv[1], "rb").read()
    res = resources(pe)
    kinds = sorted({(t, i, lang) for (t, i, lang) in res})
    expected = [(RT_ICON, 1, EN_GB), (RT_ICON, 2, EN_GB), (RT_DIALOG, 102, EN_US), (RT_GROUP_ICON, 128, EN_GB),
                (RT_VERSION, 1, EN_US), (RT_MANIFEST, 1, EN_US)]
    check(kinds == sorted(expected), f"resources: {kinds}")
    if (RT_DIALOG, 102, EN_US) in res:
        check_dialog(res[(RT_DIALOG, 102, EN_US)])
    check_icons(res)
    if (RT_VERSION, 1, EN_US) in res:
        check_version(res[(RT_VERSION, 1, EN_US)])
    manifest = res.get((RT_MANIFEST, 1, EN_US), b"")
    check(b'level="asInvoker"' in manifest, "manifest: no asInvoker")
    check(b"Microsoft.Windows.Common-Controls" not in manifest, "manifest: turns on visual styles")
    if failures:
        print("\n".join(f"{sys.argv[1]}: {f}" for f in failures))
        sys.exit(1)
    print(f"{sys.argv[1]}: dialog, icons, version record and manifest as required")


if __name__ == "__main__":
    main()
