#!/usr/bin/env python3
"""Measures velmora-brand side by side with cp, in one run, on generated
targets with the block near the end. Usage: run_bench.py BUILD_DIR"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

build = sys.argv[1]
program = os.path.join(build, "velmora-brand")
marker = re.search(r'#define VB_MARKER "([^"]*)"',
                   open(os.path.join(os.path.dirname(__file__), "..", "brand", "core", "OwnBlock.cpp")).read()
                   ).group(1).encode()
template = ((b"1234567890" * 10)[:99] + b"\0") * 10


def make_target(path, size):
    chunk = os.urandom(1 << 20).replace(marker[:1], b"y")
    with open(path, "wb") as f:
        left = size - 8192
        while left > 0:
            n = min(left, len(chunk))
            f.write(chunk[:n])
            left -= n
        f.write(marker + template + marker)
        f.write(b"\0" * (8192 - 1120))


def timed(cmd, runs=5):
    """Best wall time of several runs."""
    best = 1e9
    for _ in range(runs):
        t0 = time.perf_counter()
        if subprocess.run(cmd, stdout=subprocess.DEVNULL).returncode != 0:
            sys.exit(f"failed: {cmd}")
        best = min(best, time.perf_counter() - t0)
    return best, 0


def peak_rss_kib(cmd):
    """Peak resident memory of a command, mapped pages included, as GNU time
    measures it (a forked Python would count its own pages too)."""
    p = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                       check=True)
    return int(p.stderr.decode().strip().splitlines()[-1])


def main():
    work = tempfile.mkdtemp(prefix="vbbench-", dir=os.environ.get("BENCH_DIR", "/tmp"))
    brand_args = ["--name", "Bench Reseller", "--link", "www.example.com", "--cbid", "BENCH"]
    print(f"velmora-brand benchmarks in {work} (best of 5 runs each)")
    try:
        for label, size, runs in (("1 MiB", 1 << 20, 20), ("64 MiB", 64 << 20, 5), ("1 GiB", 1 << 30, 3)):
            src = os.path.join(work, "src.exe")
            make_target(src, size)
            out = os.path.join(work, "out.exe")
            cp_time, _ = timed(["cp", src, out], runs)
            brand_time, _ = timed([program, "brand", src, *brand_args, "--output", out], runs)
            brand_peak = peak_rss_kib([program, "brand", src, *brand_args, "--output", out])
            # In place: a fresh copy each run would add a cp to the time, so
            # the same file is branded again; it is the same work each time.
            shutil.copyfile(src, out)
            inplace_time, _ = timed([program, "brand", out, *brand_args], runs)
            print(f"{label:>7}: cp {cp_time * 1e3:8.1f} ms | brand --output {brand_time * 1e3:8.1f} ms "
                  f"({brand_time / cp_time:.2f}x cp, goal <= 1.10) | in place {inplace_time * 1e3:8.1f} ms "
                  f"({inplace_time / cp_time:.2f}x cp, goal <= 1.15) | peak RSS of --output "
                  f"{brand_peak / 1024:.1f} MiB (goal < 64)")
            os.remove(src)
            os.remove(out)

        master = os.path.join(work, "master.exe")
        make_target(master, 20 << 20)
        outdir = os.path.join(work, "out")
        os.mkdir(outdir)
        rows = ["file,name,link,cbid"] + [f"copy{i:03}.exe,Reseller {i},www.r{i}.example,ID{i}" for i in range(100)]
        listing = os.path.join(work, "list.csv")
        with open(listing, "w") as f:
            f.write("\n".join(rows) + "\n")
        batch_time, _ = timed([program, "batch", master, "--list", listing, "--out-dir", outdir], 3)
        script = os.path.join(work, "cps.sh")
        with open(script, "w") as f:
            f.write("".join(f"cp {master} {outdir}/cp{i:03}.exe\n" for i in range(100)))
        cps_time, _ = timed(["sh", script], 3)
        print(f"batch of 100 rows from a 20 MiB master: {batch_time * 1e3:.1f} ms | 100 cps {cps_time * 1e3:.1f} ms "
              f"({batch_time / cps_time:.2f}x, goal <= 1.20)")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    subprocess.run([os.path.join(build, "bench", "search_bench")], check=True)


if __name__ == "__main__":
    main()
