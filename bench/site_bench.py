#!/usr/bin/env python3
"""Whole-site commands next to their peers, on this machine, in one run.

On a local FTP server (pyftpdlib, as the network tests use) holding 1,000
pages of about 20 KB in 50 folders, each with one changed ad block and one
matched block:

  site scan --jobs 4          against lftp mirror --parallel=4 into an empty folder
                              (the download floor)
  site update --jobs 4        (one block changed in every page) against lftp mirror,
                              the same edit made with sed, and mirror -R --parallel=4

and on a local folder of 10,000 such pages:

  site scan                   against grep -rc 'PWH\\[' over the same tree, with the
                              encoding detected per page and with the setup's Charset set

Each line gives wall time, CPU time and peak memory (/usr/bin/time -v) of the
program and the peer of the same run, and their ratios (see cli_bench.py).
The site is put back to its first state before every run. Usage:
site_bench.py BUILD_DIR [--runs N] [--only TEXT]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cli_bench import cli, compare, measure, print_header, start_ftp, stop  # noqa: E402

OLD = b'<a href="http://example.net/click?id=1"><img src="http://example.net/old.gif"></a>'
NEW = b'<a href="http://example.net/click?id=1"><img src="http://example.net/new.gif"></a>'
MATCHED = b'<a href="http://example.org/b"><img src="http://example.org/b.gif"></a>'


def make_tree(root, pages, folders, size=20000):
    filler = (b'<p class="body">\x83T\x83C\x83g\x82\xcc\x96{\x95\xb6\x82\xc5\x82\xb7\x81B '
              b'text text text text text text text text</p>\r\n')
    body = filler * (size // len(filler))
    for i in range(pages):
        folder = os.path.join(root, "d%02d" % (i % folders))
        os.makedirs(folder, exist_ok=True)
        half = len(body) // 2
        page = (b"<html><body>\r\n" + body[:half] + b"<!--PWH[bannerA]-->\r\n" + OLD + b"\r\n<!--PWHEND-->\r\n"
                + body[half:] + b"<!--PWH[bannerB]-->\r\n" + MATCHED + b"\r\n<!--PWHEND-->\r\n</body></html>\r\n")
        with open(os.path.join(folder, "page%04d.html" % i), "wb") as f:
            f.write(page)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--only", default="", help="run only the lines whose name holds this text")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    program = os.path.join(build, "bin", "pagewick-cli")
    if not os.access(program, os.X_OK):
        raise SystemExit(f"{program} is not built")
    if not shutil.which("lftp"):
        raise SystemExit("lftp is not installed (scripts/install-deps bench)")
    work = tempfile.mkdtemp(prefix="pagewick-site-bench-")
    servers = []
    try:
        home = os.path.join(work, "home")
        pristine = os.path.join(work, "pristine")
        local = os.path.join(work, "local")
        settings = os.path.join(work, "settings")
        mirror = os.path.join(work, "mirror")
        for folder in (home, settings):
            os.makedirs(folder)
        make_tree(pristine, 1000, 50)
        make_tree(local, 10000, 100)
        shutil.copytree(pristine, os.path.join(home, "www"))
        user, password = "tester", "s3cret"
        ftp, port = start_ftp(home, user, password)
        servers.append(ftp)

        ini = os.path.join(settings, "Pagewick.ini")
        cli(build, settings, "settings", "set", ini, "Setups", "Count", "3")
        for section, values in {
            "Setup1": {"Name": "ftp", "Host": "127.0.0.1", "Port": str(port), "Protocol": "ftp", "User": user,
                       "Password": password, "IniPath": "/www"},
            "Setup2": {"Name": "disk", "Host": "", "IniPath": local},
            # The same folder with its encoding set, as a setup's "Charset" sets it: no detection per page.
            "Setup3": {"Name": "disk-sjis", "Host": "", "IniPath": local, "Charset": "shift_jis"},
        }.items():
            for key, value in values.items():
                cli(build, settings, "settings", "set", ini, section, key, value)
        for name, html in (("bannerA", NEW), ("bannerB", MATCHED)):
            subprocess.run([program, "--dir", settings, "catalogue", "add", "--name", name], input=html,
                           check=True, capture_output=True)

        lftp = f"lftp -u {user},{password} -p {port} -e 'set net:max-retries 2; {{}}; quit' 127.0.0.1"
        out = os.path.join(work, "out.txt")

        def reset_site():
            shutil.rmtree(os.path.join(home, "www"))
            shutil.copytree(pristine, os.path.join(home, "www"))

        def fresh_mirror():
            shutil.rmtree(mirror, ignore_errors=True)

        def check_scan():
            with open(out, "rb") as f:
                lines = f.read().count(b"\n")
            if lines != 2000:
                raise SystemExit(f"site scan printed {lines} lines, not 2000")

        def check_update():
            for i in (0, 499, 999):
                with open(os.path.join(home, "www", "d%02d" % (i % 50), "page%04d.html" % i), "rb") as f:
                    if NEW not in f.read():
                        raise SystemExit("a page was not updated")

        print_header()
        wanted = lambda name: args.only in name  # noqa: E731
        if wanted("FTP site scan 1,000 pages"):
            def scan():
                return measure(f"{program} --dir {settings} site scan ftp --jobs 4", stdout=out)

            def peer():
                fresh_mirror()
                return measure(lftp.format(f"mirror --parallel=4 /www {mirror}"))
            compare("FTP site scan 1,000 pages", scan, peer, args.runs, check_scan)

        if wanted("FTP site update 1,000 pages"):
            def update():
                reset_site()
                shutil.rmtree(os.path.join(settings, "backups"), ignore_errors=True)
                return measure(f"{program} --dir {settings} site update ftp --jobs 4", stdout=out)

            def peer():
                reset_site()
                fresh_mirror()
                edit = f"find {mirror} -name '*.html' -exec sed -i 's/old.gif/new.gif/' {{}} +"
                return measure(lftp.format(f"mirror --parallel=4 /www {mirror}") + f" && {edit} && "
                               + lftp.format(f"mirror -R --parallel=4 {mirror} /www"))
            compare("FTP site update 1,000 pages", update, peer, args.runs, check_update)

        if wanted("local site scan 10,000 pages"):
            def scan_local():
                return measure(f"{program} --dir {settings} site scan disk", stdout=out)

            def grep():
                return measure(f"grep -rc 'PWH\\[' {local}")
            compare("local site scan 10,000 pages", scan_local, grep, args.runs)
        if wanted("local site scan 10,000 sjis"):
            def scan_sjis():
                return measure(f"{program} --dir {settings} site scan disk-sjis", stdout=out)

            def grep_again():
                return measure(f"grep -rc 'PWH\\[' {local}")
            compare("local site scan 10,000 sjis", scan_sjis, grep_again, args.runs)
    finally:
        for process in servers:
            stop(process)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
