#!/usr/bin/env python3
"""End-to-end tests of velmora-brand serve: a real server on 127.0.0.1, port 0,
and a real HTTP client. Every 200 body is compared with what
velmora-brand brand --output makes for the same row.

  test_serve.py MARKER_SOURCE PROGRAM"""
import hashlib
import http.client
import os
import re
import shutil
import signal
import socket
import sqlite3
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

MARKER_SOURCE, PROGRAM = sys.argv[1], sys.argv[2]
MARKER = re.search(r'#define VB_MARKER "([^"]*)"', open(MARKER_SOURCE).read()).group(1).encode()
TEMPLATE = ((b"1234567890" * 10)[:99] + b"\0") * 10
AREA = 5000 + 60  # the data area of masters made by master()
KEY = b"0123456789abcdef0123456789abcdef"


def master(size=9000, fill=b"x"):
    """A brandable master: filler, a block at 5000, filler to size."""
    head = fill * 5000
    return head + MARKER + TEMPLATE + MARKER + b"y" * (size - 5000 - 1120)


ROWS = "id,name,link,cbid,mirrowen,quillburn\nann,Ann Ltd,www.ann.com,ANN,,\nbob,Bob,http://bob,,www.m,\n" \
       "bad,,nolicensee,,,\n"


class Server:
    """velmora-brand serve, started on a free port and stopped with SIGTERM."""

    def __init__(self, *args):
        self.log = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([PROGRAM, "serve", "--listen", "127.0.0.1:0", *args], stdout=self.log,
                                     stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
        self.messages = []
        deadline = time.time() + 30
        while time.time() < deadline:
            line = self.proc.stderr.readline().decode()
            if not line:
                break
            self.messages.append(line)
            m = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
            if m:
                self.port = int(m.group(1))
                threading.Thread(target=self._drain, daemon=True).start()
                return
        self.proc.kill()
        self.proc.wait()
        raise AssertionError("the server did not start: " + "".join(self.messages))

    def _drain(self):
        for line in self.proc.stderr:
            self.messages.append(line.decode())

    def get(self, path, headers=None, method="GET"):
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        c.request(method, path, headers=headers or {})
        r = c.getresponse()
        body = r.read()
        c.close()
        return r.status, dict((k.lower(), v) for k, v in r.getheaders()), body

    def stop(self):
        if self.log.closed:
            return ""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stderr.close()
        self.log.seek(0)
        text = self.log.read().decode("utf-8", "replace")
        self.log.close()
        return text

    def said(self, text, wait=5.0):
        deadline = time.time() + wait
        while time.time() < deadline:
            if any(text in m for m in self.messages):
                return True
            time.sleep(0.05)
        return False


class Serve(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="vbserve-")
        self.cwd = os.getcwd()
        os.chdir(self.dir)
        self.servers = []
        self.write("tool.exe", master())
        self.write("rows.csv", ROWS.encode())

    def tearDown(self):
        for s in self.servers:
            s.stop()
        os.chdir(self.cwd)
        shutil.rmtree(self.dir, ignore_errors=True)

    def write(self, name, data):
        with open(name, "wb") as f:
            f.write(data)

    def read(self, name):
        with open(name, "rb") as f:
            return f.read()

    def serve(self, *args, table="rows.csv"):
        s = Server("--product", "tool=tool.exe", "--affiliates", table, *args)
        self.servers.append(s)
        return s

    def branded(self, name, link, cbid="", mirrowen="", quillburn="", source="tool.exe"):
        out = os.path.join(self.dir, "want-%d.exe" % len(os.listdir(self.dir)))
        p = subprocess.run([PROGRAM, "brand", source, "--name", name, "--link", link, "--cbid", cbid,
                            "--mirrowen", mirrowen, "--quillburn", quillburn, "--output", out], capture_output=True)
        self.assertEqual(p.returncode, 0, p.stderr)
        data = self.read(out)
        os.remove(out)
        return data

    def test_a_download_is_the_branded_copy_and_head_tells_the_same(self):
        s = self.serve()
        want = {"ann": self.branded("Ann Ltd", "www.ann.com", "ANN"), "bob": self.branded("Bob", "http://bob", "", "www.m")}
        tags = set()
        for row, body in want.items():
            with self.subTest(row):
                status, headers, got = s.get("/download/%s/tool.exe" % row)
                self.assertEqual((status, got), (200, body))
                self.assertEqual(headers["content-length"], str(len(body)))
                self.assertEqual(headers["content-type"], "application/vnd.microsoft.portable-executable")
                self.assertEqual(headers["content-disposition"], 'attachment; filename="tool.exe"')
                self.assertRegex(headers["etag"], r'^"[0-9a-f]{32}"$')  # strong
                self.assertIn("GMT", headers["last-modified"])
                tags.add(headers["etag"])
                hstatus, hheaders, hbody = s.get("/download/%s/tool.exe" % row, method="HEAD")
                self.assertEqual((hstatus, hbody, hheaders["content-length"], hheaders["etag"]),
                                 (200, b"", str(len(body)), headers["etag"]))
        self.assertEqual(len(tags), 2)  # the tag changes with the row
        self.assertEqual(s.get("/healthz")[:3:2], (200, b"ok\n"))
        log = s.stop()
        self.assertEqual(len(log.splitlines()), 5)
        self.assertRegex(log.splitlines()[0], r'^127\.0\.0\.1 - - \[[^]]+\] "GET /download/ann/tool\.exe HTTP/1\.1" 200 9000$')

    def test_ranges_and_conditional_requests(self):
        s = self.serve()
        whole = self.branded("Ann Ltd", "www.ann.com", "ANN")
        size = len(whole)
        _, headers, _ = s.get("/download/ann/tool.exe")
        etag = headers["etag"]
        cases = [
            # name, request headers, status, the bytes it gives
            ("before the data area", {"Range": "bytes=0-99"}, 206, whole[0:100]),
            ("across the data area", {"Range": "bytes=%d-%d" % (AREA - 10, AREA + 1009)}, 206,
             whole[AREA - 10:AREA + 1010]),
            ("inside the data area", {"Range": "bytes=%d-%d" % (AREA + 300, AREA + 306)}, 206, b"Ann Ltd"),
            ("after the data area", {"Range": "bytes=%d-%d" % (AREA + 2000, AREA + 2100)}, 206,
             whole[AREA + 2000:AREA + 2101]),
            ("open-ended", {"Range": "bytes=%d-" % (size - 50)}, 206, whole[-50:]),
            ("the last bytes", {"Range": "bytes=-70"}, 206, whole[-70:]),
            ("past the end", {"Range": "bytes=%d-" % size}, 416, None),
            ("several ranges: the whole file", {"Range": "bytes=0-1,5-6"}, 200, whole),
            ("If-Range with a stale tag", {"Range": "bytes=0-9", "If-Range": '"0123456789abcdef0123456789abcdef"'},
             200, whole),
            ("If-Range with the current tag", {"Range": "bytes=0-9", "If-Range": etag}, 206, whole[:10]),
            ("If-None-Match", {"If-None-Match": etag}, 304, b""),
            ("If-None-Match of another copy", {"If-None-Match": '"00000000000000000000000000000000"'}, 200, whole),
            ("If-Modified-Since", {"If-Modified-Since": headers["last-modified"]}, 304, b""),
        ]
        for name, req, status, body in cases:
            with self.subTest(name):
                got_status, got_headers, got = s.get("/download/ann/tool.exe", req)
                self.assertEqual(got_status, status)
                if body is not None:
                    self.assertEqual(got, body)
                if status == 206:
                    self.assertTrue(got_headers["content-range"].endswith("/%d" % size))
                if status == 416:
                    self.assertEqual(got_headers["content-range"], "bytes */%d" % size)

    def test_unknowns_signed_links_and_the_unbranded_master(self):
        plain = self.serve()
        key = os.path.join(self.dir, "link.key")
        self.write(key, KEY + b"\n")
        signed = self.serve("--link-key", key)
        unknown = self.serve("--unknown", "master")
        link = subprocess.run([PROGRAM, "link", "--link-key", key, "--id", "ann", "--product", "tool", "--base",
                               "http://example.test/"], capture_output=True, text=True)
        self.assertEqual(link.returncode, 0, link.stderr)
        m = re.fullmatch(r"http://example\.test(/download/ann/([0-9a-f]{32})/tool\.exe)\n", link.stdout)
        self.assertIsNotNone(m, link.stdout)
        good, mac = m.group(1), m.group(2)
        altered = good.replace(mac, ("0" if mac[0] != "0" else "1") + mac[1:])
        ann = self.branded("Ann Ltd", "www.ann.com", "ANN")
        cases = [
            ("unknown product", plain, "/download/ann/other.exe", 404, None),
            ("unknown id", plain, "/download/zed/tool.exe", 404, None),
            ("not a download", plain, "/other", 404, None),
            ("a refused row", plain, "/download/bad/tool.exe", 404, None),
            ("a signed link", signed, good, 200, ann),
            ("an altered MAC", signed, altered, 404, None),
            ("no MAC", signed, "/download/ann/tool.exe", 404, None),
            ("another id under the MAC", signed, good.replace("/ann/", "/bob/"), 404, None),
            ("unknown id, --unknown master", unknown, "/download/zed/tool.exe", 200, master()),
            ("known id, --unknown master", unknown, "/download/ann/tool.exe", 200, ann),
        ]
        for name, server, path, status, body in cases:
            with self.subTest(name):
                got_status, headers, got = server.get(path)
                self.assertEqual(got_status, status)
                if body is not None:
                    self.assertEqual(got, body)
                else:
                    self.assertTrue(got.endswith(b"\n") and len(got) < 100, got)  # a short text
        self.assertTrue(plain.said("line 4: Please enter the name of the licensee"))

    def test_sqlite_rows_are_asked_per_request_and_refused_rows_logged(self):
        db = sqlite3.connect("rows.db")
        db.execute("PRAGMA journal_mode=WAL")
        db.execute("CREATE TABLE affiliates (id TEXT PRIMARY KEY, name TEXT, link TEXT, cbid TEXT, mirrowen TEXT,"
                   " quillburn TEXT)")
        db.execute("INSERT INTO affiliates VALUES ('ann', 'Ann Ltd', 'www.ann.com', 'ANN', NULL, NULL)")
        db.execute("INSERT INTO affiliates VALUES ('long', 'L', 'x', ?, '', '')", ("c" * 60,))
        db.commit()
        s = self.serve(table="rows.db")
        self.assertEqual(s.get("/download/ann/tool.exe")[::2], (200, self.branded("Ann Ltd", "www.ann.com", "ANN")))
        self.assertEqual(s.get("/download/carol/tool.exe")[0], 404)
        self.assertEqual(s.get("/download/long/tool.exe")[0], 404)
        self.assertTrue(s.said("Clickbank ID is too long"))
        # A sign-up adds a row while the server runs: it is served at once.
        db.execute("INSERT INTO affiliates VALUES ('carol', 'Carol', 'www.carol.example', '', '', 'www.q')")
        db.commit()
        self.assertEqual(s.get("/download/carol/tool.exe")[::2],
                         (200, self.branded("Carol", "www.carol.example", "", "", "www.q")))
        db.close()

    def test_a_csv_table_reloads_and_a_bad_one_keeps_the_old(self):
        s = self.serve()
        self.assertEqual(s.get("/download/dan/tool.exe")[0], 404)
        # A new table is renamed into place: taken up when the file changes.
        self.write("rows.new", (ROWS + "dan,Dan,www.dan,,,\n").encode())
        os.rename("rows.new", "rows.csv")
        deadline = time.time() + 10
        while s.get("/download/dan/tool.exe")[0] != 200 and time.time() < deadline:
            time.sleep(0.1)
        self.assertEqual(s.get("/download/dan/tool.exe")[::2], (200, self.branded("Dan", "www.dan")))
        # A table that cannot be read keeps the old one in service, with the reason logged.
        self.write("rows.csv", b'id,name,link\n"broken,A,L\n')
        self.assertTrue(s.said("a quoted field is not closed"))
        self.assertEqual(s.get("/download/dan/tool.exe")[0], 200)
        # SIGHUP reloads at once.
        self.write("rows.csv", b"id,name,link\neve,Eve,www.eve\n")
        s.proc.send_signal(signal.SIGHUP)
        self.assertTrue(s.said("table reloaded"))
        self.assertEqual(s.get("/download/eve/tool.exe")[0], 200)
        self.assertEqual(s.get("/download/dan/tool.exe")[0], 404)

    def test_a_master_replaced_by_rename_during_a_transfer(self):
        big = master(size=8 << 20, fill=b"a")
        self.write("tool.exe", big)
        s = self.serve()
        old = self.branded("Ann Ltd", "www.ann.com", "ANN")
        c = socket.create_connection(("127.0.0.1", s.port))
        c.sendall(b"GET /download/ann/tool.exe HTTP/1.1\r\nHost: x\r\n\r\n")
        first = c.recv(65536)
        # A new master takes the old one's name while the transfer is under way.
        self.write("tool.new", master(size=8 << 20, fill=b"b"))
        os.rename("tool.new", "tool.exe")
        rest = b""
        while True:
            chunk = c.recv(1 << 20)
            if not chunk:
                break
            rest += chunk
            if len(first + rest) >= len(old) + 200:
                break
        c.close()
        body = (first + rest).split(b"\r\n\r\n", 1)[1]
        self.assertEqual(body, old)  # from the file the transfer opened, not a splice of two
        self.assertTrue(s.said("reloaded tool.exe", wait=10))
        self.assertEqual(s.get("/download/ann/tool.exe")[::2], (200, self.branded("Ann Ltd", "www.ann.com", "ANN")))

    def test_malformed_requests_and_a_request_written_to_fool_the_log(self):
        s = self.serve("--request-timeout", "2")

        def raw(data):
            c = socket.create_connection(("127.0.0.1", s.port), timeout=10)
            c.sendall(data)
            got = b""
            while True:
                chunk = c.recv(65536)
                if not chunk:
                    break
                got += chunk
            c.close()
            return got

        cases = [
            ("garbage", b"\x00\x01\x02 nonsense\r\n\r\n", b"HTTP/1.1 400"),
            ("a bad percent escape", b"GET /download/%zz/tool.exe HTTP/1.1\r\nHost: x\r\n\r\n", b"HTTP/1.1 400"),
            ("a header too large", b"GET / HTTP/1.1\r\nX: " + b"a" * 20000 + b"\r\n\r\n", b"HTTP/1.1 431"),
            ("a body on a GET", b"GET /healthz HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", b"HTTP/1.1 400"),
            ("another method", b"POST /download/ann/tool.exe HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n"
             b"Connection: close\r\n\r\n", b"HTTP/1.1 405"),
        ]
        for name, data, start in cases:
            with self.subTest(name):
                self.assertTrue(raw(data).startswith(start))
        # A request line built to end the log line and start a forged one, and bytes a terminal would obey.
        raw(b'GET /x"\x1b[2J" 200 1\n127.0.0.1 - - [forged] "GET / HTTP/1.1" 200 1 HTTP/1.1\r\nHost: x\r\n'
            b'Connection: close\r\n\r\n')
        raw(b'GET /download/\xe9\x9b\\x/tool.exe HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n')
        self.assertEqual(s.get("/healthz")[0], 200)
        log = s.stop().splitlines()
        self.assertEqual(len(log), len(cases) + 3)  # one line a request, none forged
        self.assertTrue(all(re.fullmatch(r'127\.0\.0\.1 - - \[[^]]+\] "[ -~]*" \d{3} \d+', line) for line in log), log)
        self.assertTrue(any('"GET /download/\\xe9\\x9b\\x5cx/tool.exe HTTP/1.1"' in line for line in log), log)

    def test_a_slow_client_is_cut_off_while_a_normal_request_succeeds(self):
        self.write("tool.exe", master(size=32 << 20))
        s = self.serve("--min-rate", "1000000", "--rate-window", "1", "--request-timeout", "1")
        # One client asks and never reads; another drips its request a byte at a time.
        slow = socket.create_connection(("127.0.0.1", s.port))
        slow.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        slow.sendall(b"GET /download/ann/tool.exe HTTP/1.1\r\nHost: x\r\n\r\n")
        drip = socket.create_connection(("127.0.0.1", s.port))
        drip.sendall(b"G")
        time.sleep(0.3)
        started = time.time()
        status, _, body = s.get("/download/bob/tool.exe")
        self.assertEqual((status, len(body)), (200, 32 << 20))
        # Within a few windows the slow transfer has been cut off, long before its end.
        time.sleep(3)
        slow.settimeout(10)
        got = 0
        try:
            while True:
                chunk = slow.recv(1 << 20)
                if not chunk:
                    break
                got += len(chunk)
        except (ConnectionResetError, socket.timeout):
            pass
        self.assertLess(got, 32 << 20)
        drip.settimeout(10)
        try:
            self.assertEqual(drip.recv(100), b"")  # the dripping request was given up
        except ConnectionResetError:
            pass
        slow.close()
        drip.close()
        self.assertLess(time.time() - started, 20)
        # A client that goes away in the middle of a download does not take the server with it.
        for linger in (False, True, False, True):
            gone = socket.create_connection(("127.0.0.1", s.port))
            gone.sendall(b"GET /download/ann/tool.exe HTTP/1.1\r\nHost: x\r\n\r\n")
            gone.recv(65536)
            if linger:  # a reset rather than an orderly close
                gone.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            gone.close()
            time.sleep(0.2)
        time.sleep(0.5)
        self.assertEqual(s.get("/healthz")[0], 200)
        self.assertIsNone(s.proc.poll())

    def test_sigterm_lets_a_transfer_in_flight_finish(self):
        self.write("tool.exe", master(size=16 << 20))
        s = self.serve()
        c = socket.create_connection(("127.0.0.1", s.port))
        c.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 65536)
        c.sendall(b"GET /download/ann/tool.exe HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        got = c.recv(65536)
        s.proc.send_signal(signal.SIGTERM)
        self.assertTrue(s.said("stopping"))
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", s.port), timeout=2).recv(1)
        while True:
            chunk = c.recv(1 << 20)
            if not chunk:
                break
            got += chunk
        c.close()
        self.assertEqual(got.split(b"\r\n\r\n", 1)[1], self.branded("Ann Ltd", "www.ann.com", "ANN"))
        self.assertEqual(s.proc.wait(timeout=30), 0)

    def test_a_master_that_is_not_compatible_refuses_to_start(self):
        self.write("plain.exe", b"no block here" * 100)
        p = subprocess.run([PROGRAM, "serve", "--product", "tool=plain.exe", "--affiliates", "rows.csv", "--listen",
                            "127.0.0.1:0"], capture_output=True, text=True, timeout=30)
        self.assertEqual(p.returncode, 1)
        self.assertIn("not compatible", p.stderr)
        p = subprocess.run([PROGRAM, "serve", "--product", "tool=tool.exe", "--listen", "127.0.0.1:0"],
                           capture_output=True, text=True, timeout=30)
        self.assertEqual(p.returncode, 2)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
