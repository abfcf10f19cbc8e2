#!/usr/bin/env python3
"""End-to-end tests of velmora-brand on fixtures built here.

  test_cli.py MARKER_SOURCE PROGRAM [RUNNER...]

RUNNER, when given, is put before PROGRAM (a Wine wrapper for the Windows
build). Each test works in a scratch folder of its own."""
import json
import os
import re
import resource
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import threading
import unittest

MARKER_SOURCE, PROGRAM, RUNNER = sys.argv[1], sys.argv[2], sys.argv[3:]
UNDER_WINE = bool(RUNNER)
MARKER = re.search(r'#define VB_MARKER "([^"]*)"', open(MARKER_SOURCE).read()).group(1).encode()
TEMPLATE = ((b"1234567890" * 10)[:99] + b"\0") * 10
HOP = "http://hop.clickbank.net?"
# Wine takes the arguments and the code page from the locale: a UTF-8 one, whose code page is 1252.
ENV = dict(os.environ, LC_ALL="C.UTF-8") if UNDER_WINE else None


def block():
    return MARKER + TEMPLATE + MARKER


def pe_with_block(signed=False, overlay=b"", block_at=0x400):
    """A small PE32 file: headers, one section holding a branding block, then
    an optional certificate table and overlay after the section."""
    section_end = block_at + 0x800
    f = bytearray(section_end)
    struct.pack_into("<H", f, 0, 0x5A4D)
    struct.pack_into("<I", f, 0x3C, 0x80)
    struct.pack_into("<I", f, 0x80, 0x4550)
    fh, opt = 0x84, 0x84 + 20
    struct.pack_into("<HH", f, fh, 0x14C, 1)
    struct.pack_into("<H", f, fh + 16, 224)
    struct.pack_into("<H", f, opt, 0x10B)
    struct.pack_into("<I", f, opt + 60, 0x200)  # the headers' size
    struct.pack_into("<I", f, opt + 92, 16)
    tail = overlay
    if signed:
        # One WIN_CERTIFICATE entry: its length, revision 2.0, PKCS#7 signed data.
        struct.pack_into("<II", f, opt + 96 + 8 * 4, section_end + len(overlay), 0x100)
        tail = overlay + struct.pack("<IHH", 0x100, 0x0200, 0x0002) + b"\x30\x82" + b"\0" * 0xF6
    struct.pack_into("<II", f, opt + 224 + 16, section_end - 0x200, 0x200)
    f[block_at:block_at + 1120] = block()
    return bytes(f) + tail


class Cli(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="vbcli-")
        self.cwd = os.getcwd()
        os.chdir(self.dir)

    def tearDown(self):
        os.chdir(self.cwd)
        shutil.rmtree(self.dir, ignore_errors=True)

    def run_cli(self, *args, limit_file_size=None):
        def limit():
            # A write past the limit fails with EFBIG instead of killing the program.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit_file_size, limit_file_size))
        p = subprocess.run(RUNNER + [PROGRAM] + [a if isinstance(a, bytes) else a.encode() for a in args],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=120,
                           env=ENV, preexec_fn=limit if limit_file_size is not None else None)
        return p.returncode, p.stdout, p.stderr.decode("utf-8", "surrogateescape").replace("\r\n", "\n")

    def write(self, name, data):
        with open(name, "wb") as f:
            f.write(data)
        return name

    def read(self, name):
        with open(name, "rb") as f:
            return f.read()

    def names(self):
        return sorted(os.listdir("."))

    # --- inspect

    def inspect_json(self, *files):
        code, out, err = self.run_cli("inspect", "--json", *files)
        # Every line is valid UTF-8 and valid JSON.
        return code, [json.loads(line) for line in out.decode("utf-8").splitlines() if line.strip()]

    def test_inspect_reports_state_identity_signature_and_overlay(self):
        self.write("plain.exe", pe_with_block())
        self.write("signed.exe", pe_with_block(signed=True, overlay=b"OVERLAY!" * 8))
        code, reports = self.inspect_json("plain.exe", "signed.exe")
        self.assertEqual(code, 0)
        plain, signed = reports
        self.assertEqual((plain["compatible"], plain["state"], plain["block_offset"]), (True, "unbranded", 0x400))
        self.assertEqual(plain["identity"]["licensee"], {"text": "Velmora Software", "hex": b"Velmora Software".hex()})
        self.assertEqual((plain["pe"]["is_pe"], plain["pe"]["signed"], plain["pe"]["overlay_bytes"]), (True, False, 0))
        self.assertTrue(signed["pe"]["signed"])
        # The certificate table is the signature, not data after the last section.
        self.assertEqual(signed["pe"]["overlay_bytes"], 64)
        code, out, _ = self.run_cli("inspect", "signed.exe")
        text = out.decode()
        self.assertIn("invalidate", text)
        self.assertIn("brand the file first, then sign it", text)
        self.assertIn("64 bytes of data follow the last section", text)

    def test_inspect_branded_slots_and_reasons(self):
        self.write("t.exe", pe_with_block())
        self.assertEqual(self.run_cli("brand", "t.exe", "--name", "Ann", "--link", "www.a.com", "--cbid", "ID")[0], 0)
        stray = bytearray(pe_with_block())
        stray[0x200:0x200 + 60] = MARKER
        cases = {
            "empty.exe": (b"", "too small (0 bytes)"),
            "one.exe": (b"x" * 10 + MARKER + b"y", "only one marker (at 10)"),
            "stray.exe": (bytes(stray), "first two markers 512 bytes apart"),
            "end.exe": (b"z" + block(), "its block (at 1) ends on the file's last byte; a brandable file carries "
                        "at least one byte after its block"),
            "none.exe": (b"q" * 5000, "no marker"),
        }
        for name, (data, _) in cases.items():
            self.write(name, data)
        code, reports = self.inspect_json("t.exe", *cases)
        self.assertEqual(code, 1)
        branded = reports[0]
        self.assertEqual(branded["state"], "branded")
        self.assertEqual(branded["slots"]["name"], {"text": "Ann", "hex": "416e6e", "bytes": 3})
        self.assertEqual(branded["slots"]["link"]["text"], "http://www.a.com")
        self.assertEqual(branded["identity"]["mirrowen"]["text"], HOP + "ID/plimsett")
        for report, (name, (_, why)) in zip(reports[1:], cases.items()):
            with self.subTest(name):
                self.assertFalse(report["compatible"])
                self.assertTrue(report["reason"].startswith(why), report["reason"])

    def test_inspect_exit_codes_take_the_highest(self):
        self.write("ok.exe", pe_with_block())
        self.write("bad.exe", b"nothing")
        self.assertEqual(self.run_cli("inspect", "ok.exe")[0], 0)
        self.assertEqual(self.run_cli("inspect", "ok.exe", "bad.exe")[0], 1)
        self.assertEqual(self.run_cli("inspect", "bad.exe", "missing.exe", "ok.exe")[0], 2)
        self.assertEqual(self.run_cli("inspect")[0], 2)
        self.assertEqual(self.run_cli("inspect", "--bogus", "ok.exe")[0], 2)
        os.mkdir("folder.exe")
        code, reports = self.inspect_json("folder.exe")
        self.assertEqual((code, reports[0]["readable"]), (2, False))

    def test_inspect_garbage_pe_headers(self):
        good = pe_with_block()
        for cut in (2, 0x40, 0x84, 0x90, 0x100, 0x170):
            self.write("cut.exe", good[:cut])
            code, reports = self.inspect_json("cut.exe")
            self.assertEqual(code, 1)
        wild = bytearray(good)
        struct.pack_into("<I", wild, 0x3C, 0xFFFFFFF0)
        self.write("wild.exe", bytes(wild))
        code, reports = self.inspect_json("wild.exe")
        self.assertEqual((code, reports[0]["pe"]["is_pe"]), (0, False))
        self.assertIsNotNone(reports[0]["pe"]["problem"])

    # --- brand

    def test_brand_writes_exactly_the_data_area(self):
        original = pe_with_block(overlay=b"tail")
        self.write("t.exe", original)
        # Typed in UTF-8, written in code page 1252 (the default here and under Wine).
        name = b"Caf\xe9"
        os.chmod("t.exe", 0o444)  # a read-only master is read, and its copy is not read-only
        code, _, err = self.run_cli("brand", "t.exe", "--name", "  Café", "--link", "www.x.com",
                                    "--cbid", "C" * 59, "--quillburn", "q" * 99, "--output", "out.exe")
        os.chmod("t.exe", 0o644)
        self.assertEqual(code, 0, err)
        self.assertNotEqual(os.stat("out.exe").st_mode & 0o222, 0)
        self.assertEqual(self.read("t.exe"), original)  # the input is never touched with --output
        out = self.read("out.exe")
        self.assertEqual(len(out), len(original))
        area = bytearray(1000)
        area[40:99] = b"C" * 59
        area[200:299] = b"q" * 99
        area[300:300 + len(name)] = name
        area[400:416] = b"http://www.x.com"
        self.assertEqual(out[:0x400 + 60], original[:0x400 + 60])
        self.assertEqual(out[0x400 + 60:0x400 + 1060], bytes(area))
        self.assertEqual(out[0x400 + 1060:], original[0x400 + 1060:])
        self.assertEqual(self.names(), ["out.exe", "t.exe"])

    def test_brand_refuses_each_invalid_text_with_the_dialogs_message(self):
        self.write("t.exe", pe_with_block())
        cases = [
            (["--name", "  ", "--link", "x"], "Please enter the name of the licensee\n\nThis can be your own name"),
            (["--name", "N", "--link", " \t"], "Please enter your web site link"),
            (["--name", "n" * 100, "--link", "x"], "Licensee name is too long"),
            (["--name", "N", "--link", "www." + "w" * 89], "Web Site Link is too long"),
            (["--name", "N", "--link", "x", "--cbid", "c" * 60], "Clickbank ID is too long"),
            (["--name", "N", "--link", "x", "--mirrowen", "m" * 100], "Mirrowen link is too long"),
            (["--name", "N", "--link", "x", "--quillburn", "www." + "q" * 89], "Quillburn link is too long"),
        ]
        before = self.read("t.exe")
        for args, message in cases:
            with self.subTest(message):
                code, _, err = self.run_cli("brand", "t.exe", *args)
                self.assertEqual(code, 1)
                self.assertIn(message, err)
        self.assertEqual(self.read("t.exe"), before)
        self.assertEqual(self.names(), ["t.exe"])

    def test_brand_to_stdout_equals_brand_to_path(self):
        self.write("t.exe", pe_with_block(overlay=b"x" * 3000))
        args = ["--name", "N", "--link", "L", "--mirrowen", "www.m"]
        code, out, err = self.run_cli("brand", "t.exe", *args, "--output", "-")
        self.assertEqual(code, 0, err)
        self.assertEqual(self.run_cli("brand", "t.exe", *args, "--output", "p.exe")[0], 0)
        self.assertEqual(out, self.read("p.exe"))

    def test_brand_in_place_and_its_refusals(self):
        self.write("t.exe", pe_with_block(overlay=os.urandom(300000)))
        self.assertEqual(self.run_cli("brand", "t.exe", "--name", "A", "--link", "B", "--output", "copy.exe")[0], 0)
        self.assertEqual(self.run_cli("brand", "t.exe", "--name", "A", "--link", "B")[0], 0)
        once = self.read("t.exe")
        self.assertEqual(once[0x400 + 360:0x400 + 362], b"A\0")
        self.assertEqual(once, self.read("copy.exe"))
        os.remove("copy.exe")
        self.assertEqual(self.names(), ["t.exe"])
        # The input named as its own output, under another name, is refused.
        code, _, err = self.run_cli("brand", "t.exe", "--name", "A", "--link", "B", "--output", "./t.exe")
        self.assertEqual(code, 2)
        self.assertIn("input file itself", err)
        # Read-only: refused, unchanged, even as root.
        os.chmod("t.exe", 0o444)
        code, _, err = self.run_cli("brand", "t.exe", "--name", "Z", "--link", "B")
        self.assertEqual(code, 2)
        self.assertEqual(self.read("t.exe"), once)
        os.chmod("t.exe", 0o644)
        self.assertEqual(self.names(), ["t.exe"])

    @unittest.skipIf(UNDER_WINE, "hard links are made natively")
    def test_brand_in_place_keeps_hard_links_one_file(self):
        # Several names for one file: it is written over in place, where only
        # the data area changes, and every name sees the branded file.
        self.write("t.exe", pe_with_block(overlay=os.urandom(100000)))
        os.link("t.exe", "u.exe")
        self.assertEqual(self.run_cli("brand", "t.exe", "--name", "N", "--link", "L", "--output", "copy.exe")[0], 0)
        code, _, err = self.run_cli("brand", "t.exe", "--name", "N", "--link", "L")
        self.assertEqual(code, 0, err)
        self.assertEqual(os.stat("t.exe").st_ino, os.stat("u.exe").st_ino)
        self.assertEqual(self.read("u.exe"), self.read("copy.exe"))
        self.assertEqual(self.names(), ["copy.exe", "t.exe", "u.exe"])

    def test_brand_leaves_no_partial_output(self):
        self.write("t.exe", pe_with_block())
        self.write("bad.exe", b"no block here" * 100)
        self.assertEqual(self.run_cli("brand", "bad.exe", "--name", "N", "--link", "L", "--output", "o.exe")[0], 1)
        self.assertEqual(self.run_cli("brand", "t.exe", "--name", "N", "--link", "L",
                                      "--output", "nowhere/o.exe")[0], 2)
        self.assertEqual(self.run_cli("brand", "missing.exe", "--name", "N", "--link", "L")[0], 2)
        self.assertEqual(self.run_cli("brand", "t.exe", "--link", "L")[0], 2)
        self.assertEqual(self.names(), ["bad.exe", "t.exe"])

    def test_bad_inputs_get_a_clear_message_and_no_hang(self):
        sizes = {"size0.exe": b"", "size60.exe": MARKER, "size1120.exe": block(), "size1121.exe": block() + b"\0"}
        for name, data in sizes.items():
            self.write(name, data)
        code, reports = self.inspect_json(*sizes)
        self.assertEqual(code, 1)
        self.assertEqual([r["compatible"] for r in reports], [False, False, False, True])
        unreadable = ["missing.exe"]
        os.mkdir("folder.exe")
        unreadable.append("folder.exe")
        if not UNDER_WINE:
            os.mkfifo("fifo.exe")  # nobody writes to it: reading must not wait
            os.symlink("loop-b.exe", "loop-a.exe")
            os.symlink("loop-a.exe", "loop-b.exe")
            unreadable += ["fifo.exe", "loop-a.exe", "/dev/null"]
        for name in unreadable:
            with self.subTest(name):
                code, _, err = self.run_cli("inspect", name)
                self.assertEqual(code, 2)
                self.assertIn(name, err)
                code, _, err = self.run_cli("brand", name, "--name", "N", "--link", "L", "--output", "o.exe")
                self.assertEqual(code, 2)
                self.assertFalse(os.path.exists("o.exe"))

    @unittest.skipIf(UNDER_WINE, "Wine hands arguments over in the Unix locale")
    def test_non_ascii_path(self):
        name = b"caf\xe9 \xc4.exe"
        self.write(name, pe_with_block())
        self.assertEqual(self.run_cli("brand", name, "--name", "N", "--link", "L")[0], 0)
        code, reports = self.inspect_json(name)
        self.assertEqual((code, reports[0]["state"]), (0, "branded"))

    @unittest.skipIf(UNDER_WINE, "sparse files and file size limits are set up natively")
    def test_sparse_file_larger_than_the_brander_can_load(self):
        with open("huge.exe", "wb") as f:
            f.write(pe_with_block())
            f.truncate(5 << 30)
        code, reports = self.inspect_json("huge.exe")
        self.assertEqual(code, 1)
        self.assertTrue(reports[0]["reason"].startswith("larger than the brander can load"))
        self.assertEqual(self.run_cli("brand", "huge.exe", "--name", "N", "--link", "L", "--output", "o.exe")[0], 1)
        self.assertEqual(self.names(), ["huge.exe"])

    @unittest.skipIf(UNDER_WINE, "sparse files and file size limits are set up natively")
    def test_disk_full_leaves_no_partial_file_and_in_place_needs_no_room(self):
        original = pe_with_block(overlay=os.urandom(200000))
        self.write("t.exe", original)
        code, _, err = self.run_cli("brand", "t.exe", "--name", "N", "--link", "L", "--output", "o.exe",
                                    limit_file_size=65536)
        self.assertEqual(code, 2, err)
        self.assertIn("o.exe", err)
        self.assertEqual(self.names(), ["t.exe"])
        # In place, the file neither grows nor is copied: a limit far below its size is no obstacle.
        code, _, err = self.run_cli("brand", "t.exe", "--name", "N", "--link", "L", limit_file_size=65536)
        self.assertEqual(code, 0, err)
        branded = self.read("t.exe")
        self.assertEqual(branded[:0x400 + 60] + branded[0x400 + 1060:], original[:0x400 + 60] + original[0x400 + 1060:])
        self.assertEqual(self.names(), ["t.exe"])

    @unittest.skipIf(UNDER_WINE, "links, owners, extended attributes and ACLs are POSIX's")
    def test_brand_in_place_keeps_the_file_itself(self):
        root = os.geteuid() == 0
        original = pe_with_block(overlay=os.urandom(50000))
        cases = [
            ("a hard link", lambda: os.link("t.exe", "other.exe"), lambda: self.assertEqual(
                (os.stat("other.exe").st_ino, self.read("other.exe")), (os.stat("t.exe").st_ino, self.read("t.exe")))),
            ("a symlink", lambda: os.symlink("t.exe", "link.exe"), lambda: self.assertTrue(
                os.path.islink("link.exe") and self.read("link.exe") == self.read("t.exe"))),
            ("mode 0600", lambda: os.chmod("t.exe", 0o600), lambda: self.assertEqual(os.stat("t.exe").st_mode & 0o7777, 0o600)),
            ("mode 0755", lambda: os.chmod("t.exe", 0o755), lambda: self.assertEqual(os.stat("t.exe").st_mode & 0o7777, 0o755)),
            ("a user.* attribute", lambda: os.setxattr("t.exe", "user.origin", b"download"),
             lambda: self.assertEqual(os.getxattr("t.exe", "user.origin"), b"download")),
        ]
        if root:
            cases.append(("owner nobody", lambda: os.chown("t.exe", 65534, 65534),
                          lambda: self.assertEqual((os.stat("t.exe").st_uid, os.stat("t.exe").st_gid), (65534, 65534))))
        if shutil.which("setfacl"):
            acl = lambda: subprocess.run(["getfacl", "-cpn", "t.exe"], capture_output=True, text=True).stdout
            cases.append(("a POSIX ACL", lambda: subprocess.run(["setfacl", "-m", "u:65534:rw", "t.exe"], check=True),
                          lambda: self.assertIn("user:65534:rw-", acl())))
        for name, prepare, check in cases:
            with self.subTest(name):
                for n in self.names():
                    os.remove(n)
                self.write("t.exe", original)
                inode = os.stat("t.exe").st_ino
                prepare()
                code, _, err = self.run_cli("brand", "link.exe" if name == "a symlink" else "t.exe",
                                            "--name", "N", "--link", "L")
                self.assertEqual(code, 0, err)
                self.assertEqual(os.stat("t.exe").st_ino, inode)
                self.assertEqual(self.read("t.exe")[0x400 + 360:0x400 + 362], b"N\0")
                check()
        self.assertTrue(shutil.which("setfacl"), "the acl package is missing")

    @unittest.skipIf(UNDER_WINE, "device nodes, FIFOs and owners are POSIX's")
    def test_outputs_that_are_not_new_regular_files(self):
        root = os.geteuid() == 0
        self.write("t.exe", pe_with_block(overlay=os.urandom(20000)))
        args = ["--name", "N", "--link", "L"]
        self.assertEqual(self.run_cli("brand", "t.exe", *args, "--output", "want.exe")[0], 0)
        want = self.read("want.exe")

        def fifo_with_reader():
            os.mkfifo("fifo")
            got = []
            t = threading.Thread(target=lambda: got.append(self.read("fifo")))
            t.start()
            return t, got

        # A FIFO gets the bytes streamed into it and stays a FIFO.
        t, got = fifo_with_reader()
        code, _, err = self.run_cli("brand", "t.exe", *args, "--output", "fifo")
        t.join()
        self.assertEqual((code, got[0]), (0, want), err)
        self.assertTrue(stat.S_ISFIFO(os.lstat("fifo").st_mode))
        # A character device node of our own is written into, never replaced.
        if root:
            os.mknod("null", 0o666 | stat.S_IFCHR, os.makedev(1, 3))
            self.assertEqual(self.run_cli("brand", "t.exe", *args, "--output", "null")[0], 0)
            self.assertTrue(stat.S_ISCHR(os.lstat("null").st_mode))
        # Standard output that is the input itself is refused.
        with open("t.exe", "ab") as same:
            p = subprocess.run([PROGRAM, "brand", "t.exe", *args, "--output", "-"], stdout=same,
                               stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(p.returncode, 2)
        self.assertIn(b"itself", p.stderr)
        self.assertEqual(len(self.read("t.exe")), len(want))
        # A folder is refused; a symlink is followed and stays a link.
        os.mkdir("folder")
        code, _, err = self.run_cli("brand", "t.exe", *args, "--output", "folder")
        self.assertEqual(code, 2)
        self.assertIn("folder", err)
        self.write("real.exe", b"old")
        os.symlink("real.exe", "link.exe")
        self.assertEqual(self.run_cli("brand", "t.exe", *args, "--output", "link.exe")[0], 0)
        self.assertTrue(os.path.islink("link.exe"))
        self.assertEqual(self.read("real.exe"), want)
        # An existing 0600 file of another owner keeps its mode and owner.
        self.write("theirs.exe", b"old")
        os.chmod("theirs.exe", 0o600)
        if root:
            os.chown("theirs.exe", 65534, 65534)
        self.assertEqual(self.run_cli("brand", "t.exe", *args, "--output", "theirs.exe")[0], 0)
        st = os.stat("theirs.exe")
        self.assertEqual(st.st_mode & 0o7777, 0o600)
        if root:
            self.assertEqual((st.st_uid, st.st_gid), (65534, 65534))
        self.assertEqual(self.read("theirs.exe"), want)
        self.assertFalse([n for n in self.names() if n.startswith("~velmora")])

    # --- texts, code pages and what is printed

    def test_texts_round_trip_through_code_pages(self):
        self.write("t.exe", pe_with_block())
        cases = [
            # code page, typed, the bytes written
            ("1252", "Café Ltd", b"Caf\xe9 Ltd"),
            ("1251", "Жук и Ко", "Жук и Ко".encode("cp1251")),
            ("1252", "plain", b"plain"),
            ("bytes", "Café", "Café".encode()),
        ]
        for cp, typed, written in cases:
            with self.subTest(cp=cp, typed=typed):
                code, _, err = self.run_cli("brand", "t.exe", "--name", typed, "--link", "L", "--codepage", cp,
                                            "--output", "o.exe")
                self.assertEqual(code, 0, err)
                slot = self.read("o.exe")[0x400 + 360:0x400 + 460]
                self.assertEqual(slot, written + b"\0" * (100 - len(written)))
                code, reports = self.inspect_json("--codepage", cp if cp != "bytes" else "65001", "o.exe")
                self.assertEqual(reports[0]["slots"]["name"], {"text": typed, "hex": written.hex(), "bytes": len(written)})
                # The reading rule gives the licensee as the branded program will show it.
                self.assertEqual(reports[0]["identity"]["licensee"]["text"], typed)

    def test_a_character_the_code_page_cannot_hold_is_refused(self):
        self.write("t.exe", pe_with_block())
        for cp, typed, char in (("1252", "Жук", "U+0416"), ("1252", "a－b", "U+FF0D"), ("1251", "Café", "U+00E9")):
            with self.subTest(cp=cp, typed=typed):
                code, _, err = self.run_cli("brand", "t.exe", "--name", "N", "--link", typed, "--codepage", cp)
                self.assertEqual(code, 1)
                self.assertIn("the web site link holds " + char, err)
                self.assertIn("code page " + cp + " cannot hold", err)
        self.assertEqual(self.read("t.exe"), pe_with_block())
        self.assertEqual(self.run_cli("brand", "t.exe", "--name", "N", "--link", "L", "--codepage", "9999")[0], 2)

    def test_plain_text_is_unambiguous_and_json_gives_the_bytes(self):
        self.write("t.exe", pe_with_block())
        # A control byte, a quote, a backslash, and the four characters \x01.
        name = 'a\x01"\\\\x01'
        self.assertEqual(self.run_cli("brand", "t.exe", "--name", name, "--link", "L")[0], 0)
        code, out, _ = self.run_cli("inspect", "t.exe")
        self.assertIn('licensee name   "a\\x01\\x22\\x5c\\x5cx01" (8 bytes)', out.decode())
        self.assertIn('web site link   "L" (1 byte)', out.decode())
        code, reports = self.inspect_json("t.exe")
        self.assertEqual(reports[0]["slots"]["name"]["text"], name)
        # A byte that code page 1252 does not define: escaped, U+FFFD in JSON, exact in hex.
        if not UNDER_WINE:
            self.assertEqual(self.run_cli("brand", "t.exe", "--name", b"x\x81", "--link", "L", "--codepage", "bytes")[0], 0)
            code, out, _ = self.run_cli("inspect", "t.exe")
            self.assertIn('licensee name   "x\\x81" (2 bytes)', out.decode())
            code, reports = self.inspect_json("t.exe")
            self.assertEqual(reports[0]["slots"]["name"], {"text": "x\ufffd", "hex": "7881", "bytes": 2})

    def test_file_names_in_json_are_utf8_and_hex(self):
        names = ["café.exe".encode()] + ([] if UNDER_WINE else [b"caf\xe9.exe"])
        for name in names:
            with self.subTest(name=name):
                self.write(name, pe_with_block())
                self.assertEqual(self.run_cli("brand", name, "--name", "N", "--link", "L")[0], 0)
                code, reports = self.inspect_json(name)
                self.assertEqual((code, reports[0]["state"]), (0, "branded"))
                self.assertEqual(reports[0]["file"], name.decode("utf-8", "replace"))
                self.assertEqual(reports[0]["file_hex"], name.hex())

    def test_signatures_warn_and_tables_that_cannot_be_real_are_problems(self):
        self.write("signed.exe", pe_with_block(signed=True))
        os.mkdir("out")
        self.write("list.csv", b"file,name,link\na.exe,A,L\n")
        for args in (["brand", "signed.exe", "--name", "N", "--link", "L", "--output", "o.exe"],
                     ["batch", "signed.exe", "--list", "list.csv", "--out-dir", "out"]):
            with self.subTest(args[0]):
                code, _, err = self.run_cli(*args)
                self.assertEqual(code, 0, err)
                self.assertIn("warning: signed.exe carries a signature", err)
                self.assertIn("sign the branded copy", err)
        self.write("plain.exe", pe_with_block())
        self.assertNotIn("warning", self.run_cli("brand", "plain.exe", "--name", "N", "--link", "L")[2])
        bad = bytearray(pe_with_block(signed=True))
        struct.pack_into("<I", bad, len(bad) - 0x100, 0x4000)  # the entry's length runs past the table
        self.write("bad.exe", bytes(bad))
        code, reports = self.inspect_json("bad.exe")
        self.assertFalse(reports[0]["pe"]["signed"])
        self.assertIn("has a length of 16384, which does not fit", reports[0]["pe"]["problem"])
        self.assertNotIn("warning", self.run_cli("brand", "bad.exe", "--name", "N", "--link", "L", "--output", "p.exe")[2])

    def test_csv_and_argument_details(self):
        self.write("master.exe", pe_with_block())
        os.mkdir("out")
        # A byte-order mark is skipped; a NUL in a field refuses its row, saying so.
        self.write("bom.csv", b"\xef\xbb\xbffile,name,link\na.exe,A\0B,L\nb.exe,B,L\n")
        code, _, err = self.run_cli("batch", "master.exe", "--list", "bom.csv", "--out-dir", "out")
        self.assertEqual(code, 1, err)
        self.assertIn('bom.csv: line 2: the "name" field holds a NUL byte', err)
        self.assertEqual(os.listdir("out"), ["b.exe"])
        self.assertIn("1 written, 1 refused or failed, from 2 rows", err)
        # A list that is not UTF-8 is refused naming the line, unless the code page is bytes.
        self.write("latin.csv", b"file,name,link\nc.exe,C,L\nd.exe,Caf\xe9,L\n")
        code, _, err = self.run_cli("batch", "master.exe", "--list", "latin.csv", "--out-dir", "out")
        self.assertEqual(code, 2)
        self.assertIn("latin.csv: line 3: not valid UTF-8", err)
        self.assertEqual(self.run_cli("batch", "master.exe", "--list", "latin.csv", "--out-dir", "out",
                                      "--codepage", "bytes")[0], 0)
        self.assertEqual(self.read("out/d.exe")[0x400 + 360:0x400 + 365], b"Caf\xe9\0")
        # A missing out-dir is one error before any row.
        code, _, err = self.run_cli("batch", "master.exe", "--list", "bom.csv", "--out-dir", "nowhere")
        self.assertEqual(code, 2)
        self.assertEqual(err.count("velmora-brand:"), 1, err)
        self.assertIn("nowhere", err)
        # An option given twice is bad usage.
        code, _, err = self.run_cli("brand", "master.exe", "--name", "a", "--name", "b", "--link", "L")
        self.assertEqual(code, 2)
        self.assertIn("--name is given twice", err)
        self.assertEqual(self.read("master.exe"), pe_with_block())

    # --- batch

    @unittest.skipIf(UNDER_WINE, "hard links are made natively")
    def test_batch_never_writes_over_its_inputs(self):
        master = pe_with_block()
        self.write("master.exe", master)
        os.mkdir("out")
        os.link("master.exe", "out/m.exe")
        listing = b"file,name,link\nm.exe,A,L\nlist.csv,B,L\nok.exe,C,L\n"
        self.write("list.csv", listing)
        os.link("list.csv", "out/list.csv")
        code, _, err = self.run_cli("batch", "master.exe", "--list", "list.csv", "--out-dir", "out")
        self.assertEqual(code, 1)
        self.assertIn("line 2: ", err)
        self.assertIn("line 3: ", err)
        self.assertEqual((self.read("master.exe"), self.read("list.csv")), (master, listing))
        self.assertEqual(sorted(os.listdir("out")), ["list.csv", "m.exe", "ok.exe"])

    # --- batch

    def test_batch_writes_good_rows_and_reports_bad_ones(self):
        self.write("master.exe", pe_with_block(overlay=b"m" * 5000))
        os.mkdir("out")
        rows = [
            "file,name,link,cbid,mirrowen,quillburn",
            "a.exe,Ann,www.a.com,,,",
            '"b,1.exe","B ""Q""",http://b,ID,,',
            "../up.exe,X,x,,,",
            "/abs.exe,X,x,,,",
            ",X,x,,,",
            "..,X,x,,,",
            "CON.exe,X,x,,,",
            "A.EXE,X,x,,,",
            "sub\\x.exe,X,x,,,",
            "c.exe,,x,,,",
            "d.exe,D,d,," + "m" * 100 + ",",
            "e.exe,E,e,,,",
        ]
        self.write("list.csv", ("\r\n".join(rows) + "\r\n").encode())
        code, _, err = self.run_cli("batch", "master.exe", "--list", "list.csv", "--out-dir", "out", "--jobs", "3")
        self.assertEqual(code, 1)
        self.assertEqual(sorted(os.listdir("out")), ["a.exe", "b,1.exe", "e.exe"])
        for line in range(4, 13):
            self.assertIn(f"list.csv: line {line}: ", err)
        self.assertIn("Please enter the name of the licensee", err)
        self.assertIn("Mirrowen link is too long", err)
        self.assertIn("3 written", err)
        # Each copy is what brand --output makes from the same texts.
        self.run_cli("brand", "master.exe", "--name", 'B "Q"', "--link", "http://b", "--cbid", "ID",
                     "--output", "single.exe")
        self.assertEqual(self.read("out/b,1.exe"), self.read("single.exe"))

    def test_batch_usage_errors(self):
        self.write("master.exe", pe_with_block())
        os.mkdir("out")
        self.write("nocol.csv", b"file,name\na.exe,A\n")
        self.write("badcol.csv", b"file,name,link,colour\n")
        self.write("open.csv", b'file,name,link\n"a.exe,A,L\n')
        for csv in ("nocol.csv", "badcol.csv", "open.csv", "missing.csv"):
            with self.subTest(csv):
                self.assertEqual(self.run_cli("batch", "master.exe", "--list", csv, "--out-dir", "out")[0], 2)
        self.write("ok.csv", b"file,name,link\na.exe,A,L\n")
        self.write("plain.exe", b"no block")
        self.assertEqual(self.run_cli("batch", "plain.exe", "--list", "ok.csv", "--out-dir", "out")[0], 2)
        self.assertEqual(os.listdir("out"), [])

    def test_help_and_version(self):
        for command in ("inspect", "brand", "batch"):
            code, out, _ = self.run_cli(command, "--help")
            self.assertEqual(code, 0)
            self.assertIn(b"usage: velmora-brand " + command.encode(), out)
        code, out, _ = self.run_cli("--version")
        self.assertEqual((code, out.strip()), (0, b"velmora-brand 1.0.0.1"))
        self.assertEqual(self.run_cli("frobnicate")[0], 2)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
