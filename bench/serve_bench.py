#!/usr/bin/env python3
"""velmora-brand serve handing out branded copies, beside nginx serving the
unbranded master as a static file from the same disk with sendfile on; wrk
drives both in one run, on 127.0.0.1 only, 10 seconds a run, three runs each
in turns, the best of each kept.

  serve_bench.py BUILD_DIR"""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

from targets import make_target

build = sys.argv[1]
program = os.path.join(build, "velmora-brand")
SECONDS = int(os.environ.get("SERVE_BENCH_SECONDS", "10"))


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def wait_for(port):
    deadline = time.time() + 20
    while time.time() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    sys.exit(f"nothing listens on {port}")


def wrk(url, connections):
    """Throughput in bytes a second, and the 99th percentile latency in ms."""
    out = subprocess.run(["wrk", "-t2", f"-c{connections}", f"-d{SECONDS}s", "--latency", url],
                         capture_output=True, text=True, check=True).stdout
    units = {"B": 1, "KB": 1 << 10, "MB": 1 << 20, "GB": 1 << 30}
    m = re.search(r"Transfer/sec:\s+([\d.]+)(B|KB|MB|GB)", out)
    rate = float(m.group(1)) * units[m.group(2)]
    m = re.search(r"99%\s+([\d.]+)(us|ms|s)\b", out)
    p99 = float(m.group(1)) * {"us": 1e-3, "ms": 1, "s": 1e3}[m.group(2)]
    errors = re.search(r"Non-2xx or 3xx responses: (\d+)", out)
    if errors:
        sys.exit("wrk met errors:\n" + out)
    return rate, p99


def peak_rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmHWM:\s+(\d+)", f.read()).group(1))


def main():
    work = tempfile.mkdtemp(prefix="vbserve-bench-", dir=os.environ.get("BENCH_DIR", "/tmp"))
    procs = []
    try:
        www = os.path.join(work, "www")
        os.makedirs(www)
        with open(os.path.join(work, "rows.csv"), "w") as f:
            f.write("id,name,link,cbid\n" + "".join(f"a{i},Reseller {i},www.r{i}.example,ID{i}\n" for i in range(1000)))
        nginx_port, serve_port = free_port(), free_port()
        for d in ("logs", "tmp"):
            os.makedirs(os.path.join(work, d))
        with open(os.path.join(work, "nginx.conf"), "w") as f:
            f.write(f"""worker_processes 2;
pid {work}/nginx.pid;
error_log {work}/logs/error.log;
user root root;
events {{ worker_connections 1024; }}
http {{
    sendfile on;
    tcp_nopush on;
    access_log off;
    client_body_temp_path {work}/tmp/body;
    proxy_temp_path {work}/tmp/proxy;
    fastcgi_temp_path {work}/tmp/fastcgi;
    uwsgi_temp_path {work}/tmp/uwsgi;
    scgi_temp_path {work}/tmp/scgi;
    server {{ listen 127.0.0.1:{nginx_port}; root {www}; }}
}}
""")
        nginx = subprocess.Popen(["nginx", "-p", work, "-c", os.path.join(work, "nginx.conf"), "-g", "daemon off;"])
        procs.append(nginx)
        masters = {"big": 20 << 20, "small": 1 << 20}
        for name, size in masters.items():
            make_target(os.path.join(www, name + ".exe"), size)
        serve = subprocess.Popen([program, "serve", "--listen", f"127.0.0.1:{serve_port}", "--affiliates",
                                  os.path.join(work, "rows.csv"), "--access-log", "/dev/null",
                                  *sum((["--product", f"{n}={www}/{n}.exe"] for n in masters), [])],
                                 stderr=subprocess.DEVNULL)
        procs.append(serve)
        wait_for(nginx_port)
        wait_for(serve_port)
        os.sync()
        print(f"velmora-brand serve against nginx (sendfile on), wrk -t2, {SECONDS} s a run, on 127.0.0.1")
        def in_turns(product, connections, figure, best):
            """nginx's and serve's figure, three runs each in turns, so that both
            meet the same state of the machine; the best of each."""
            ng, vb = [], []
            for _ in range(3):
                ng.append(wrk(f"http://127.0.0.1:{nginx_port}/{product}.exe", connections)[figure])
                vb.append(wrk(f"http://127.0.0.1:{serve_port}/download/a7/{product}.exe", connections)[figure])
            return best(ng), best(vb)

        ng_rate, vb_rate = in_turns("big", 16, 0, max)
        print(f"  20 MiB master, 16 clients: serve {vb_rate / 2**30:.2f} GiB/s, nginx {ng_rate / 2**30:.2f} GiB/s: "
              f"{vb_rate / ng_rate:.2f}x nginx's throughput (goal >= 0.90)")
        ng_p99, vb_p99 = in_turns("small", 64, 1, min)
        print(f"  1 MiB master, 64 clients: p99 latency serve {vb_p99:.1f} ms, nginx {ng_p99:.1f} ms: "
              f"{vb_p99 / ng_p99:.2f}x nginx's (goal <= 1.20)")
        print(f"  serve's peak resident memory: {peak_rss_kib(serve.pid) / 1024:.1f} MiB "
              f"(masters of 21 MiB, a table of 1000 rows)")
    finally:
        for p in procs:
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(timeout=40)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
