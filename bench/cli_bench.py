#!/usr/bin/env python3
"""The command-line program next to its peers, on this machine, in one run.

Starts a local FTP server (pyftpdlib, as the network tests do) and a local
sshd for SFTP (a throwaway host key and a key login for the current user, as
the network tests do), then times, alternating program and peer:

  site get / site put of 20 MB and 100 MB over FTP and SFTP, against curl
  ads scan of a 21.5 MB page of 20,000 blocks, against cat of the same page
  settings decode --raw of a 50 MB file, against cat of the same file

Each command runs under /usr/bin/time -v, which gives its peak memory (maximum
resident set size); the wall time and the CPU time (user + system, of the
command and of the shell and /usr/bin/time around it) are measured around it,
the same way for program and peer. On a machine shared with other work the CPU
time is the steadier figure. Every figure is printed with the peer's figure of
the same run and their ratio. Usage: cli_bench.py BUILD_DIR [--runs N] [--only TEXT]
"""
import argparse
import os
import random
import resource
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PYTHON = "/usr/bin/python3"  # the system Python, which has pyftpdlib
MB = 1000 * 1000


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, seconds=10):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def start_ftp(home, user, password):
    process = subprocess.Popen([PYTHON, os.path.join(SOURCE, "tests/net/ftp_server.py"), "--home", home,
                                "--user", user, "--password", password], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True, start_new_session=True)
    line = process.stdout.readline()
    if not line.startswith("PORT "):
        raise SystemExit("pyftpdlib did not start")
    return process, int(line.split()[1])


def start_sshd(folder):
    os.makedirs("/run/sshd", exist_ok=True)
    host_key = os.path.join(folder, "host_key")
    client_key = os.path.join(folder, "client_key")
    for key in (host_key, client_key):
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", key], check=True)
    shutil.copy(client_key + ".pub", os.path.join(folder, "authorized_keys"))
    listing = subprocess.run(["ssh-keygen", "-l", "-E", "sha256", "-f", host_key + ".pub"], check=True,
                             capture_output=True, text=True).stdout
    fingerprint = listing.split("SHA256:")[1].split()[0]
    port = free_port()
    config = os.path.join(folder, "sshd_config")
    with open(config, "w") as f:
        f.write(f"Port {port}\nListenAddress 127.0.0.1\nHostKey {host_key}\nPidFile {folder}/sshd.pid\n"
                f"AuthorizedKeysFile {folder}/authorized_keys\nStrictModes no\nUsePAM no\n"
                "PasswordAuthentication no\nKbdInteractiveAuthentication no\nPubkeyAuthentication yes\n"
                "PermitRootLogin prohibit-password\nSubsystem sftp internal-sftp\nLogLevel ERROR\n")
    process = subprocess.Popen(["/usr/sbin/sshd", "-D", "-e", "-f", config], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True)
    if not wait_for_port(port):
        raise SystemExit("sshd did not listen")
    return process, port, client_key, fingerprint


def stop(process):
    try:
        os.killpg(process.pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    process.wait(timeout=10)


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def measure(command, stdin=None, stdout=None):
    """Runs a shell command under /usr/bin/time -v; returns (wall seconds, CPU seconds, peak KiB)."""
    report = tempfile.NamedTemporaryFile(prefix="time-", delete=False)
    report.close()
    with open(stdin or os.devnull, "rb") as source, open(stdout or os.devnull, "wb") as sink:
        cpu = children_cpu()
        start = time.perf_counter()
        result = subprocess.run(["/usr/bin/time", "-v", "-o", report.name, "sh", "-c", command], stdin=source,
                                stdout=sink, stderr=subprocess.PIPE)
        seconds = time.perf_counter() - start
        cpu = children_cpu() - cpu
    text = open(report.name).read()
    os.unlink(report.name)
    if result.returncode != 0:
        raise SystemExit(f"failed ({result.returncode}): {command}\n{result.stderr.decode(errors='replace')}")
    peak = 0
    for line in text.splitlines():
        if "Maximum resident set size" in line:
            peak = int(line.split(":")[1])
    return seconds, cpu, peak


def cli(build, settings, *args):
    return subprocess.run([os.path.join(build, "bin", "pagewick-cli"), "--dir", settings, *args], check=True,
                          capture_output=True)


def compare(name, program, peer, runs, check=None):
    """Alternates program and peer `runs` times; prints medians, best wall times, peaks and ratios."""
    ours, theirs = [], []
    for _ in range(runs):
        ours.append(program())
        if check:
            check()
        theirs.append(peer())

    def median(runs, i):
        return statistics.median(run[i] for run in runs)

    wall = (median(ours, 0), median(theirs, 0))
    best = (min(run[0] for run in ours), min(run[0] for run in theirs))
    cpu = (median(ours, 1), median(theirs, 1))
    peak = (max(run[2] for run in ours) / 1024, max(run[2] for run in theirs) / 1024)
    cells = []
    for a, b, digits in (wall + (3,), best + (3,), cpu + (3,), peak + (1,)):
        cells.append(f"{a:8.{digits}f} {b:8.{digits}f} {a / b:6.2f}x")
    print(f"{name:<28} " + " ".join(cells), flush=True)


def print_header():
    print(f"{'':<28} {'wall s, median':^24} {'wall s, best':^24} {'CPU s, median':^24} {'peak MiB':^24}")
    print(f"{'operation':<28} " + " ".join([f"{'program':>8} {'peer':>8} {'ratio':>7}"] * 4))


def make_page(path, catalogue_text_path, blocks=20000, banners=2000, size=int(21.5 * MB)):
    """A Shift_JIS page of normal and rotation blocks (with members) and the ads.ini text rating them."""
    def name(i):
        return b"banner%04d" % i

    def html(i):
        return (b'<a href="http://px.a8.net/svt/ejp?a8mat=%d" target="_blank"><img border="0" width="468" '
                b'height="60" alt="" src="http://www%d.example.net/img/%d.gif"></a>' % (100000 + i, i % 17, i))

    def member(i):
        escaped = html(i).replace(b'"', b'\\"').replace(b"/", b"\\/")
        return b'<!--PWH[' + name(i) + b']-->\r\n"' + escaped + b'",\r\n<!--PWHEND-->'

    filler = (b'<p class="body">\x83T\x83C\x83g\x82\xcc\x96{\x95\xb6\x82\xc5\x82\xb7\x81B<a href="/page/next.html">'
              b'\x8e\x9f\x82\xd6</a> \x95\x5c\x8e\xa6 text text text text text text</p>\r\n')
    per_block = size // blocks
    with open(path, "wb") as page:
        written = 0
        for b in range(blocks):
            banner = (b * 7) % banners
            body = html(banner) + (b"<!-- edited -->" if b % 10 == 9 else b"")
            if b % 3 == 2:
                block = (b'<!--PWR[rotation' + b"%d" % (b % 100) + b']-->\r\n<script type="text/javascript">\r\n'
                         b'var pw_banners=[\r\n' + member(banner) + b"\r\n" + member((banner + 1) % banners)
                         + b'\r\n""];\r\ndocument.write(pw_banners[((new Date()).getSeconds() % '
                         b'(pw_banners.length - 1))]);\r\n</script>\r\n<!--PWREND-->\r\n')
            else:
                block = b"<!--PWH[" + name(banner) + b"]-->\r\n" + body + b"\r\n<!--PWHEND-->\r\n"
            page.write(block)
            done = len(block)
            while done + len(filler) // 2 < per_block:
                page.write(filler)
                done += len(filler)
            written += done
    lines = [b"; NoTitle", b"", b"[Setups]", b"AdCount=%d" % banners]
    for i in range(banners):
        lines += [b"", b"[Banner%d]" % (i + 1), b"SpaceName=" + name(i), b"Type=468x60", b"PV=1000", b"CT=10",
                  b"TotalRevenue=0", b"BannerHTML=" + html(i).replace(b"$", b"$$")]
    with open(catalogue_text_path, "wb") as f:
        f.write(b"\r\n".join(lines) + b"\r\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--only", default="", help="run only the lines whose name holds this text")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    program = os.path.join(build, "bin", "pagewick-cli")
    if not os.access(program, os.X_OK):
        raise SystemExit(f"{program} is not built")
    work = tempfile.mkdtemp(prefix="pagewick-bench-")
    servers = []
    try:
        home = os.path.join(work, "home")
        settings = os.path.join(work, "settings")
        local = os.path.join(work, "local")
        for folder in (home, settings, local, os.path.join(work, "sshd")):
            os.makedirs(folder)
        user, password = "tester", "s3cret pw"
        ftp, ftp_port = start_ftp(home, user, password)
        servers.append(ftp)
        sshd, ssh_port, client_key, fingerprint = start_sshd(os.path.join(work, "sshd"))
        servers.append(sshd)
        login = os.environ.get("USER") or subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip()

        ini = "Pagewick.ini"
        for key, value in [("Count", "2")]:
            cli(build, settings, "settings", "set", os.path.join(settings, ini), "Setups", key, value)
        setups = {
            "Setup1": {"Name": "ftp", "Host": "127.0.0.1", "Port": str(ftp_port), "Protocol": "ftp", "User": user,
                       "Password": password, "IniPath": "/"},
            "Setup2": {"Name": "sftp", "Host": "127.0.0.1", "Port": str(ssh_port), "Protocol": "sftp",
                       "User": login, "KeyFile": client_key, "TrustedHostKey": fingerprint, "IniPath": home},
        }
        for section, values in setups.items():
            for key, value in values.items():
                cli(build, settings, "settings", "set", os.path.join(settings, ini), section, key, value)

        print_header()
        wanted = lambda name: args.only in name

        curl_ftp = f"ftp://{user}:{password.replace(' ', '%20')}@127.0.0.1:{ftp_port}"
        curl_sftp = (f"curl -s -u {login}: --key {client_key} --pubkey {client_key}.pub "
                     f"--hostpubsha256 {fingerprint} sftp://127.0.0.1:{ssh_port}")
        for size in (20, 100):
            if not any(wanted(f"{p} site {op} {size} MB") for p in ("FTP", "SFTP") for op in ("put", "get")):
                continue
            source = os.path.join(local, f"{size}mb.bin")
            with open(source, "wb") as f:
                f.write(os.urandom(size * MB))
            fetched = os.path.join(local, "fetched.bin")

            def same_as_source():
                if os.path.getsize(os.path.join(home, f"up{size}.bin")) != size * MB:
                    raise SystemExit("the upload is incomplete")

            for proto in ("ftp", "sftp"):
                remote_path = f"/up{size}.bin" if proto == "ftp" else f"{home}/up{size}.bin"
                peer_put = (f"curl -s -T {source} {curl_ftp}/up{size}.bin" if proto == "ftp"
                            else f"{curl_sftp}{home}/up{size}.bin -T {source}")
                peer_get = (f"curl -s -o {fetched} {curl_ftp}/up{size}.bin" if proto == "ftp"
                            else f"{curl_sftp}{home}/up{size}.bin -o {fetched}")
                name = f"{proto.upper()} site put {size} MB"
                if wanted(name):
                    compare(name, lambda: measure(f"{program} --dir {settings} site put {proto} {remote_path}",
                                                  stdin=source),
                            lambda: measure(peer_put), args.runs, same_as_source)
                else:
                    measure(peer_put)
                name = f"{proto.upper()} site get {size} MB"
                if wanted(name):
                    compare(name, lambda: measure(f"{program} --dir {settings} site get {proto} {remote_path}",
                                                  stdout=fetched),
                            lambda: measure(peer_get), args.runs)
            os.unlink(source)
            for leftover in (fetched, os.path.join(home, f"up{size}.bin")):
                if os.path.exists(leftover):
                    os.unlink(leftover)

        page = os.path.join(local, "page.html")
        catalogue_text = os.path.join(local, "ads.txt")
        make_page(page, catalogue_text)
        with open(catalogue_text, "rb") as f:
            subprocess.run([program, "--raw", "settings", "encode", os.path.join(settings, "ads.ini")], stdin=f,
                           check=True)
        name = f"ads scan {os.path.getsize(page) / MB:.1f} MB page"
        if wanted(name):
            compare(name, lambda: measure(f"{program} --dir {settings} ads scan {page}"),
                    lambda: measure(f"cat {page}"), args.runs)

        scrambled = os.path.join(local, "big.ini")
        with open(os.path.join(local, "plain.txt"), "wb") as f:
            random.seed(3)
            line = b"[Banner%d]\r\nBannerHTML=<a href=\"http://example.jp/%d\">\x8dL\x8d\x90</a>\r\n"
            written = 0
            i = 0
            while written < 50 * MB:
                chunk = b"".join(line % (i + k, i + k) for k in range(1000))
                f.write(chunk)
                written += len(chunk)
                i += 1000
        with open(os.path.join(local, "plain.txt"), "rb") as f:
            subprocess.run([program, "--raw", "settings", "encode", scrambled], stdin=f, check=True)
        name = f"settings decode --raw {os.path.getsize(scrambled) / MB:.0f} MB"
        if wanted(name):
            compare(name, lambda: measure(f"{program} --raw settings decode {scrambled}"),
                    lambda: measure(f"cat {scrambled}"), args.runs)
    finally:
        for process in servers:
            stop(process)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
