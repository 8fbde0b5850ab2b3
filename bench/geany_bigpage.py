#!/usr/bin/env python3
"""Baseline for opening a big page: how long geany takes, and how much memory it keeps.

Writes a ~20,971,473-byte Shift_JIS page of 20,000 ad blocks (the shape bench_window
uses), starts geany on it under its own Xvfb server, and takes the time from the
start of the process until geany's main window is mapped (xdotool search --sync
--onlyvisible) and until the process goes idle after that (its CPU time stops
growing for 200 ms: loading, styling and the first paint are done). Several runs,
median. PSS is read from /proc/PID/smaps_rollup once the window is up.

    bench/geany_bigpage.py [--runs N] [--keep PAGE]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PAGE_BYTES = 20_971_473
BLOCKS = 20_000
# "サイトの本文です。表示" in Shift_JIS, as in bench_window's filler.
FILLER = (b"<p>\x83T\x83C\x83g\x82\xcc\x96{\x95\xb6\x82\xc5\x82\xb7\x81B "
          b"\x95\x5c\x8e\xa6 text text text text text text text text</p>\r\n")


def make_page(path):
    per_block = PAGE_BYTES // BLOCKS
    parts = []
    size = 0
    for b in range(BLOCKS):
        n = (b * 7) % 2000
        html = (f'<a href="http://px.a8.net/svt/ejp?a8mat={100000 + n}"><img width="468" height="60" '
                f'src="http://img.example.net/{n}.gif"></a>').encode()
        block = b"<!--PWH[banner" + str(1000 + n).encode() + b"]-->\r\n" + html + b"\r\n<!--PWHEND-->\r\n"
        start = size
        parts.append(block)
        size += len(block)
        while size - start < per_block:
            parts.append(FILLER)
            size += len(FILLER)
    data = b"".join(parts)
    # Pad or trim the tail with filler text so the size is exact.
    if len(data) < PAGE_BYTES:
        data += (FILLER * ((PAGE_BYTES - len(data)) // len(FILLER) + 1))[: PAGE_BYTES - len(data)]
    data = data[:PAGE_BYTES]
    with open(path, "wb") as out:
        out.write(data)


def pss_kb(pid):
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            if line.startswith("Pss:"):
                return int(line.split()[1])
    raise RuntimeError(f"no Pss line for {pid}")


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def wait_idle(pid, t0):
    """Time since t0 at which the process last used CPU, once quiet for 200 ms."""
    last, last_at = cpu_ticks(pid), time.monotonic()
    while time.monotonic() - last_at < 0.2:
        if time.monotonic() - t0 > 120:
            raise RuntimeError("geany never went idle")
        time.sleep(0.01)
        now = cpu_ticks(pid)
        if now != last:
            last, last_at = now, time.monotonic()
    return last_at - t0


def one_run(display, page, config):
    env = dict(os.environ, DISPLAY=display)
    t0 = time.monotonic()
    proc = subprocess.Popen(["geany", "--new-instance", "--no-plugins", "--no-session",
                             "-c", config, page], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wid = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "big.html"],
                             env=env, capture_output=True, text=True, timeout=120,
                             check=True).stdout.split()[0]
        mapped = time.monotonic() - t0
        assert wid
        painted = max(mapped, wait_idle(proc.pid, t0))
        return mapped, painted, pss_kb(proc.pid)
    finally:
        proc.terminate()
        proc.wait(10)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--keep", help="write the page here and keep it")
    args = ap.parse_args()
    for tool in ("geany", "Xvfb", "xdotool"):
        if not shutil.which(tool):
            sys.exit(f"geany_bigpage: {tool} is not installed")
    work = tempfile.mkdtemp(prefix="pagewick-geany-")
    page = args.keep or os.path.join(work, "big.html")
    make_page(page)
    display = ":%d" % (90 + os.getpid() % 100)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    try:
        runs = [one_run(display, page, os.path.join(work, f"cfg{i}")) for i in range(args.runs)]
    finally:
        xvfb.terminate()
        xvfb.wait(10)
        shutil.rmtree(work, ignore_errors=True)
    for i, (m, p, k) in enumerate(runs):
        print(f"run {i + 1}: mapped {m * 1000:.0f} ms, idle {p * 1000:.0f} ms, PSS {k / 1024:.1f} MB")
    print(f"geany median: mapped {statistics.median(r[0] for r in runs) * 1000:.0f} ms, "
          f"idle {statistics.median(r[1] for r in runs) * 1000:.0f} ms, "
          f"PSS {statistics.median(r[2] for r in runs) / 1024:.1f} MB "
          f"({os.path.getsize(page) if args.keep else PAGE_BYTES} bytes, {BLOCKS} blocks)")


if __name__ == "__main__":
    main()
