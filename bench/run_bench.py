#!/usr/bin/env python3
"""Measures velmora-brand side by side with cp, in one run, on generated
targets with the block near the end. Usage: run_bench.py BUILD_DIR"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from targets import make_target

build = sys.argv[1]
program = os.path.join(build, "velmora-brand")


def timed(cmds, runs=5, prepare=None):
    """Best wall time of several runs of the commands one after the other.
    prepare runs untimed before each run; every run starts after a sync, so
    that it does not pay for the write-back of the runs before it."""
    best = 1e9
    for _ in range(runs):
        if prepare:
            prepare()
        os.sync()
        t0 = time.perf_counter()
        for cmd in cmds:
            if subprocess.run(cmd, stdout=subprocess.DEVNULL).returncode != 0:
                sys.exit(f"failed: {cmd}")
        best = min(best, time.perf_counter() - t0)
    return best


def removed(path):
    """A prepare step that removes path, so that the command writes a new file."""
    return lambda: os.path.exists(path) and os.remove(path)


def peak_rss_kib(cmd):
    """Peak resident memory of a command, mapped pages included, as GNU time
    measures it (a forked Python would count its own pages too)."""
    p = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                       check=True)
    return int(p.stderr.decode().strip().splitlines()[-1])


def main():
    work = tempfile.mkdtemp(prefix="vbbench-", dir=os.environ.get("BENCH_DIR", "/tmp"))
    brand_args = ["--name", "Bench Reseller", "--link", "www.example.com", "--cbid", "BENCH"]
    print(f"velmora-brand benchmarks in {work} (best of several runs each, after a sync)")
    try:
        for label, size, runs in (("1 MiB", 1 << 20, 20), ("64 MiB", 64 << 20, 9), ("1 GiB", 1 << 30, 3)):
            src = os.path.join(work, "src.exe")
            make_target(src, size)
            out = os.path.join(work, "out.exe")
            cp = ["cp", src, out]
            to_out = [program, "brand", src, *brand_args, "--output", out]
            # A new file, as when a copy is made for a download or a reseller.
            # The branded copy is flushed to the disk before it takes its name,
            # so "cp, then sync of the copy" is the same durable work done by cp.
            cp_new = timed([cp], runs, removed(out))
            cp_sync = timed([cp, ["sync", out]], runs, removed(out))
            brand_new = timed([to_out], runs, removed(out))
            brand_peak = peak_rss_kib(to_out)
            # Over an existing file: cp truncates and rewrites it, while the
            # branded copy replaces it by a rename, which ext4 follows by
            # starting the write-back of the new file before the rename counts.
            cp_over = timed([cp], runs)
            brand_over = timed([to_out], runs)
            # In place, on a fresh unbranded copy each run: the search reads the
            # whole file, and only the data area is written, so reading the file
            # once is the floor.
            fresh_copy = lambda: shutil.copyfile(src, out)
            inplace = timed([[program, "brand", out, *brand_args]], runs, fresh_copy)
            cat = timed([["sh", "-c", f"cat {out} >/dev/null"]], runs, fresh_copy)
            fresh_copy()
            inplace_peak = peak_rss_kib([program, "brand", out, *brand_args])
            print(f"{label:>7}: brand --output {brand_new * 1e3:7.1f} ms, cp {cp_new * 1e3:7.1f} ms: "
                  f"{brand_new / cp_new:.2f}x cp (goal <= 1.10), {brand_new / cp_sync:.2f}x cp and sync "
                  f"({cp_sync * 1e3:.1f} ms)")
            print(f"{'':>7}  --output over an existing file {brand_over * 1e3:7.1f} ms, cp {cp_over * 1e3:7.1f} ms: "
                  f"{brand_over / cp_over:.2f}x")
            print(f"{'':>7}  in place {inplace * 1e3:7.1f} ms: {inplace / cat:.2f}x cat ({cat * 1e3:.1f} ms, "
                  f"goal <= 1.30 from 64 MiB), {inplace / cp_new:.2f}x cp")
            print(f"{'':>7}  peak RSS of --output {brand_peak / 1024:.1f} MiB (goal < 64), "
                  f"of in place {inplace_peak / 1024:.1f} MiB")
            os.remove(src)
            os.path.exists(out) and os.remove(out)

        master = os.path.join(work, "master.exe")
        make_target(master, 20 << 20)
        outdir = os.path.join(work, "out")
        rows = ["file,name,link,cbid"] + [f"copy{i:03}.exe,Reseller {i},www.r{i}.example,ID{i}" for i in range(100)]
        listing = os.path.join(work, "list.csv")
        with open(listing, "w") as f:
            f.write("\n".join(rows) + "\n")

        def empty_outdir():
            shutil.rmtree(outdir, ignore_errors=True)
            os.mkdir(outdir)

        batch_time = timed([[program, "batch", master, "--list", listing, "--out-dir", outdir]], 3, empty_outdir)
        script = os.path.join(work, "cps.sh")
        with open(script, "w") as f:
            f.write("".join(f"cp {master} {outdir}/cp{i:03}.exe\n" for i in range(100)))
        cps_time = timed([["sh", script]], 3, empty_outdir)
        cps_sync_time = timed([["sh", "-c", f"sh {script} && sync {outdir}/*"]], 3, empty_outdir)
        print(f"batch of 100 rows from a 20 MiB master: {batch_time * 1e3:.1f} ms | 100 cps {cps_time * 1e3:.1f} ms "
              f"({batch_time / cps_time:.2f}x, goal <= 1.20) | 100 cps and a sync of the copies "
              f"{cps_sync_time * 1e3:.1f} ms ({batch_time / cps_sync_time:.2f}x)")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    subprocess.run([os.path.join(build, "bench", "search_bench")], check=True)


if __name__ == "__main__":
    main()
