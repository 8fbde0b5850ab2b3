#!/usr/bin/env python3
"""A 20 MB page opened in the real window, next to geany opening the same file, in one run.

Writes the 20,971,473-byte Shift_JIS page of 20,000 ad blocks (geany_bigpage.py's),
starts an Xvfb server (with twm when it is installed) and measures, each in a fresh
process per run, the median of --runs runs:

  ours   bigpage_window (the main window as the program builds it, a local-folder
         setup showing the page's folder): once the window is up and idle, the page
         is opened as a double-click in the file list opens it.
           painted  the call until the editor and the ad tree have painted
           idle     the call until the process used no CPU for 200 ms
         PSS of the main process (before the open too) and of its web-engine processes,
         with the page open;
         then the longest frames of 20 Page Downs, Ctrl+End and 50 typed characters;
         with --banner, once more per run with one banner in the catalogue, which the
         preview pane shows (and so starts the web engine): its PSS, main and whole.
  geany  warm: an empty geany, once idle, is handed the page through its socket
         (geany --socket-file=S PAGE, as a second launch does);
           shown    until its window names the page
           idle     until it used no CPU for 200 ms
         cold: geany started on the page (mapped, idle), as geany_bigpage.py does.
         PSS with the page open.

    bench/bigpage_window.py BUILD [--runs N] [--no-geany] [--no-keys] [--banner]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from geany_bigpage import BLOCKS, cpu_ticks, make_page, pss_kb, one_run as geany_cold_run  # noqa: E402


def wait_idle(pid, t0, quiet=0.2, limit=120):
    """Seconds since t0 at which pid last used CPU, once it was quiet for `quiet` s."""
    last, last_at = cpu_ticks(pid), time.monotonic()
    while time.monotonic() - last_at < quiet:
        if time.monotonic() - t0 > limit:
            raise RuntimeError(f"process {pid} never went idle")
        time.sleep(0.01)
        now = cpu_ticks(pid)
        if now != last:
            last, last_at = now, time.monotonic()
    return max(0.0, last_at - t0)


def descendants(pid):
    """Every process below pid."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
        except OSError:
            continue
        children.setdefault(ppid, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def pss_or_zero(pid):
    try:
        return pss_kb(pid)
    except (OSError, RuntimeError):
        return 0


class Ours:
    """One bigpage_window process, spoken to line by line."""

    def __init__(self, program, env, settings, folder, page, banner=False):
        self.proc = subprocess.Popen([program, settings, folder, page] + (["banner"] if banner else []), env=env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)

    def read(self, word):
        line = self.proc.stdout.readline().strip()
        if not line.startswith(word + " "):
            raise RuntimeError(f"bigpage_window: expected '{word}', got '{line}'")
        return dict(part.split("=", 1) for part in line.split()[1:])

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def close(self):
        try:
            self.send("quit")
            self.proc.wait(30)
        except (BrokenPipeError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait(10)


def our_run(program, env, work, page, run, keys, banner=False):
    settings = os.path.join(work, f"settings{run}")
    ours = Ours(program, env, settings, os.path.dirname(page), os.path.basename(page), banner)
    try:
        pid = int(ours.read("ready")["pid"])
        wait_idle(pid, time.monotonic(), quiet=0.5)
        # The web engine starts its processes a while after the window shows.
        time.sleep(2.0)
        wait_idle(pid, time.monotonic(), quiet=0.5)
        empty = pss_kb(pid)
        ours.send("open")
        opened = ours.read("opened")
        t0 = float(opened["t0"])
        idle = max(float(opened["ms"]) / 1000, wait_idle(pid, t0))
        # The web-engine processes settle too before their memory is read.
        time.sleep(1.0)
        main = pss_kb(pid)
        children = sum(pss_or_zero(child) for child in descendants(pid))
        result = {"painted": float(opened["ms"]) / 1000, "sync": float(opened["sync"]) / 1000, "idle": idle,
                  "pss": main, "pss_children": children, "pss_empty": empty, "nodes": int(opened["nodes"])}
        if keys:
            ours.send("keys")
            frames = ours.read("keys")
            result.update({k: float(v) for k, v in frames.items()})
        return result
    finally:
        ours.close()
        shutil.rmtree(settings, ignore_errors=True)


def geany_warm_run(display, page, work, run):
    env = dict(os.environ, DISPLAY=display)
    config = os.path.join(work, f"geany-warm{run}")
    socket = os.path.join(work, f"geany{run}.socket")
    proc = subprocess.Popen(["geany", "--no-plugins", "--no-session", "-c", config, f"--socket-file={socket}"],
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--class", "geany"], env=env,
                       capture_output=True, timeout=120, check=True)
        wait_idle(proc.pid, time.monotonic(), quiet=0.5)
        t0 = time.monotonic()
        subprocess.run(["geany", f"--socket-file={socket}", "-c", config, page], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)
        # xdotool's own --sync looks every half second: too coarse here.
        while subprocess.run(["xdotool", "search", "--onlyvisible", "--name", os.path.basename(page)],
                             env=env, capture_output=True).returncode != 0:
            if time.monotonic() - t0 > 120:
                raise RuntimeError("geany never showed the page")
            time.sleep(0.005)
        shown = time.monotonic() - t0
        idle = max(shown, wait_idle(proc.pid, t0))
        time.sleep(1.0)
        return {"shown": shown, "idle": idle, "pss": pss_kb(proc.pid)}
    finally:
        proc.kill()
        proc.wait(10)


def median(runs, key):
    values = [r[key] for r in runs if key in r]
    return statistics.median(values) if values else float("nan")


def ratio(a, b):
    return f"{a / b:.2f}x" if b else "-"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build", help="the build folder holding bin/bigpage_window")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--no-geany", action="store_true", help="measure the window only")
    ap.add_argument("--no-keys", action="store_true", help="leave out the key frames")
    ap.add_argument("--banner", action="store_true", help="also measure with a banner in the preview")
    args = ap.parse_args()
    program = os.path.join(args.build, "bin", "bigpage_window")
    if not os.access(program, os.X_OK):
        sys.exit(f"bigpage_window: {program} is not built")
    for tool in ["Xvfb", "xdotool"] + ([] if args.no_geany else ["geany"]):
        if not shutil.which(tool):
            sys.exit(f"bigpage_window: {tool} is not installed")
    work = tempfile.mkdtemp(prefix="pagewick-bigpage-")
    folder = os.path.join(work, "site")
    os.makedirs(folder)
    page = os.path.join(folder, "big.html")
    make_page(page)
    display = ":%d" % (200 + os.getpid() % 100)
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    wm = None
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
    env["QTWEBENGINE_CHROMIUM_FLAGS"] = (env.get("QTWEBENGINE_CHROMIUM_FLAGS", "") + " --disable-gpu").strip()
    if os.geteuid() == 0:
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    ours, warm, cold, bannered = [], [], [], []
    try:
        time.sleep(0.5)
        if shutil.which("twm"):
            # twm lets the user place each new window by hand unless told otherwise.
            twmrc = os.path.join(work, "twmrc")
            with open(twmrc, "w") as f:
                f.write("RandomPlacement\nUsePPosition \"on\"\n")
            wm = subprocess.Popen(["twm", "-f", twmrc], env=env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
            time.sleep(0.3)
        for run in range(args.runs):
            ours.append(our_run(program, env, work, page, run, not args.no_keys))
            if args.banner:
                bannered.append(our_run(program, env, work, page, run, False, banner=True))
            if not args.no_geany:
                warm.append(geany_warm_run(display, page, work, run))
                cold.append(geany_cold_run(display, page, os.path.join(work, f"geany-cold{run}")))
    finally:
        for helper in (wm, xvfb):
            if helper:
                helper.kill()
                helper.wait(10)
        shutil.rmtree(work, ignore_errors=True)

    print(f"{os.path.getsize(page) if os.path.exists(page) else 20_971_473} bytes, {BLOCKS} blocks, "
          f"{ours[0]['nodes']} ad tree nodes, median of {args.runs} runs, "
          f"{'twm' if wm else 'no window manager'}")
    for i, r in enumerate(ours):
        line = (f"ours run {i + 1}: painted {r['painted'] * 1000:.0f} ms (in the call {r['sync'] * 1000:.0f}), "
                f"idle {r['idle'] * 1000:.0f} ms, PSS {r['pss'] / 1024:.1f} MB (no page {r['pss_empty'] / 1024:.1f}) "
                f"+ web {r['pss_children'] / 1024:.1f} MB")
        if "pagedown" in r:
            line += f", frames PgDn {r['pagedown']:.0f} / Ctrl+End {r['end']:.0f} / typing {r['type']:.0f} ms"
        print(line)
    for i, (w, c) in enumerate(zip(warm, cold)):
        print(f"geany run {i + 1}: warm shown {w['shown'] * 1000:.0f} ms, idle {w['idle'] * 1000:.0f} ms, "
              f"PSS {w['pss'] / 1024:.1f} MB; cold mapped {c[0] * 1000:.0f} ms, idle {c[1] * 1000:.0f} ms")
    o_paint, o_idle = median(ours, "painted"), median(ours, "idle")
    o_main = median(ours, "pss")
    o_whole = statistics.median(r["pss"] + r["pss_children"] for r in ours)
    print()
    print(f"{'open (median)':32} {'ours':>10} {'geany':>10} {'ratio':>8}")
    if warm:
        g_shown, g_idle, g_pss = median(warm, "shown"), median(warm, "idle"), median(warm, "pss")
        print(f"{'painted / geany shown':32} {o_paint * 1000:8.0f}ms {g_shown * 1000:8.0f}ms "
              f"{ratio(o_paint, g_shown):>8}")
        print(f"{'idle / geany idle':32} {o_idle * 1000:8.0f}ms {g_idle * 1000:8.0f}ms {ratio(o_idle, g_idle):>8}")
        print(f"{'geany cold start: mapped, idle':32} {'':>10} {statistics.median(c[0] for c in cold) * 1000:8.0f}ms "
              f"{statistics.median(c[1] for c in cold) * 1000:8.0f}ms")
        print(f"{'PSS main process':32} {o_main / 1024:8.1f}MB {g_pss / 1024:8.1f}MB {ratio(o_main, g_pss):>8}")
        print(f"{'PSS whole program':32} {o_whole / 1024:8.1f}MB {g_pss / 1024:8.1f}MB {ratio(o_whole, g_pss):>8}")
    else:
        print(f"{'painted':32} {o_paint * 1000:8.0f}ms")
        print(f"{'idle':32} {o_idle * 1000:8.0f}ms")
        print(f"{'PSS main process':32} {o_main / 1024:8.1f}MB")
        print(f"{'PSS whole program':32} {o_whole / 1024:8.1f}MB")
    if bannered:
        b_main = median(bannered, "pss")
        b_whole = statistics.median(r["pss"] + r["pss_children"] for r in bannered)
        g_pss = median(warm, "pss") if warm else 0
        print(f"{'with a banner: PSS main process':32} {b_main / 1024:8.1f}MB {g_pss / 1024:8.1f}MB "
              f"{ratio(b_main, g_pss):>8}")
        print(f"{'with a banner: PSS whole':32} {b_whole / 1024:8.1f}MB {g_pss / 1024:8.1f}MB "
              f"{ratio(b_whole, g_pss):>8}")
    if not args.no_keys:
        print(f"{'longest frame: Page Down':32} {max(r['pagedown'] for r in ours):8.0f}ms")
        print(f"{'longest frame: Ctrl+End':32} {max(r['end'] for r in ours):8.0f}ms")
        print(f"{'longest frame: typing':32} {max(r['type'] for r in ours):8.0f}ms")


if __name__ == "__main__":
    main()
