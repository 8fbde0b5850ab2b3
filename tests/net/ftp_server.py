#!/usr/bin/env python3
"""FTP (optionally explicit FTPS) server for the network tests.

Listens on 127.0.0.1 (or --address) on a free port, serves HOME for one
user, prints "PORT <n>" on standard output once it accepts connections, and
runs until it is killed. Names are passed through as raw bytes
(surrogateescape), so Shift_JIS file names work in both directions.

Faults for the tests, on the data of file transfers:
  --stall-retr-after N   a download stops sending after N bytes for --stall-for seconds
  --stall-stor-after N   an upload stops being read after N bytes for --stall-for seconds
  --trickle-retr RATE    downloads go out at RATE bytes a second
  --drop-stor-of NAME    an upload of a file named NAME drops the whole session
                         (control and data connection) after --drop-after bytes
  --refuse-rename-over   RNTO onto an existing file is refused (550)
  --bad-listing-line     every listing ends with a line no listing style reads
  --hostile-pwd          PWD names the folder with a CR and a forged journal record after it
  --endless-retr NAME    a download of a file named NAME never ends (SIZE is refused for it; its
                         listing shows its real size)
The stalls and the trickle hold the whole server, which serves one client.
"""
import argparse
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--home", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--cert", help="PEM file with certificate and key: serve explicit FTPS")
    parser.add_argument("--tls-data", action="store_true", help="require PROT P on data connections")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--perm", default="elradfmwMT", help="pyftpdlib permissions (without f: no rename)")
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--stall-retr-after", type=int)
    parser.add_argument("--stall-stor-after", type=int)
    parser.add_argument("--stall-for", type=float, default=20)
    parser.add_argument("--trickle-retr", type=int)
    parser.add_argument("--drop-stor-of")
    parser.add_argument("--drop-after", type=int, default=1000)
    parser.add_argument("--refuse-rename-over", action="store_true")
    parser.add_argument("--rate", type=int, default=0, help="bytes per second on data connections (0: no limit)")
    parser.add_argument("--hostile-listing", action="store_true",
                        help="listings of folders named www also name entries that try to leave them")
    parser.add_argument("--max-connections", type=int, default=0,
                        help="control connections from one address beyond this many are refused with 421 (0: no limit)")
    parser.add_argument("--store-delay", type=float, default=0,
                        help="seconds the server stands still before each STOR (the whole server waits)")
    parser.add_argument("--hostile-pwd", action="store_true")
    parser.add_argument("--bad-listing-line", action="store_true")
    parser.add_argument("--endless-retr")
    parser.add_argument("--debug", action="store_true")
    args = parser.parse_args()
    if args.debug:
        import logging
        logging.basicConfig(level=logging.DEBUG)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.home, perm=args.perm)

    base = FTPHandler
    if args.cert:
        from pyftpdlib.handlers import TLS_FTPHandler
        from OpenSSL import SSL
        base = TLS_FTPHandler

    def event(text):
        # Control connections and QUIT commands, for the tests to count.
        sys.stdout.write(text + "\n")
        sys.stdout.flush()

    class FaultyFile:
        """A transfer's file that sends or takes its bytes the faulty way."""

        def __init__(self, file, handler, drop):
            self._file = file
            self._handler = handler
            self._drop = drop
            self._moved = 0
            self.name = file.name

        @property
        def closed(self):
            return self._file.closed

        def close(self):
            self._file.close()

        def seek(self, *a):
            return self._file.seek(*a)

        def tell(self):
            return self._file.tell()

        def read(self, size=-1):
            if args.trickle_retr:
                time.sleep(0.1)
                size = max(1, args.trickle_retr // 10)
            if args.stall_retr_after is not None:
                if self._moved >= args.stall_retr_after:
                    time.sleep(args.stall_for)
                    args.stall_retr_after = None
                else:
                    size = min(size, args.stall_retr_after - self._moved)
            data = self._file.read(size)
            self._moved += len(data)
            return data

        def write(self, data):
            if self._drop and self._moved + len(data) >= args.drop_after:
                self._file.write(data[: max(0, args.drop_after - self._moved)])
                self._file.flush()
                event("DROP")
                self._handler.close()
                return
            if args.stall_stor_after is not None and self._moved >= args.stall_stor_after:
                time.sleep(args.stall_for)
                args.stall_stor_after = None
            self._file.write(data)
            self._moved += len(data)

    class EndlessFile:
        """A download that sends the same page text for ever."""

        def __init__(self, file):
            self._file = file
            self.name = file.name

        @property
        def closed(self):
            return self._file.closed

        def close(self):
            self._file.close()

        def read(self, size=-1):
            chunk = b"<p>again</p>\n"
            return chunk * max(1, (size if size > 0 else 65536) // len(chunk))

    # Entries a hostile server lists: names that climb out of the folder, name
    # an absolute path, hold a slash or a control character.
    hostile = [("-rw-r--r--", "../escape.html"), ("-rw-r--r--", "/etc/abs.html"),
               ("-rw-r--r--", "sub/dir.html"), ("-rw-r--r--", "ctl\x01.html"),
               ("drwxr-xr-x", ".."), ("drwxr-xr-x", "../up"), ("drwxr-xr-x", "/"),
               # and entries that are not there: a page and a folder that cannot be read
               ("-rw-r--r--", "ghost.html"), ("drwxr-xr-x", "ghostdir")]

    class FaultyFS(AbstractedFS):
        def format_list(self, basedir, listing, ignore_err=True):
            for line in AbstractedFS.format_list(self, basedir, listing, ignore_err):
                yield line
            if args.bad_listing_line:
                yield b"this is no listing line\r\n"
            if args.hostile_listing and os.path.basename(os.path.normpath(basedir)) == "www":
                for perms, name in hostile:
                    line = "%s   1 owner    group          10 Jan 01  2020 %s\r\n" % (perms, name)
                    yield line.encode("utf8")

        def open(self, filename, mode):
            file = AbstractedFS.open(self, filename, mode)
            drop = "w" in mode and args.drop_stor_of is not None \
                and os.path.basename(filename) == args.drop_stor_of
            if "r" in mode and args.endless_retr is not None and os.path.basename(filename) == args.endless_retr:
                return EndlessFile(file)
            if "r" in mode and (args.stall_retr_after is not None or args.trickle_retr):
                return FaultyFile(file, self.cmd_channel, False)
            if "w" in mode and (drop or args.stall_stor_after is not None):
                return FaultyFile(file, self.cmd_channel, drop)
            return file

    class Handler(base):
        unicode_errors = "surrogateescape"

        def push(self, s):
            # Replies carry names as raw bytes.
            import asynchat
            asynchat.async_chat.push(self, s.encode("utf8", "surrogateescape"))

        def on_connect(self):
            event("CONNECT")

        def handle_ssl_established(self):
            event("TLS " + self.socket.get_protocol_version_name())

        def ftp_RNTO(self, path):
            if args.refuse_rename_over and self._rnfr and os.path.exists(path):
                self._rnfr = None
                self.respond("550 Cannot rename over an existing file.")
                return
            return base.ftp_RNTO(self, path)

        def ftp_STOR(self, file, mode="w"):
            if args.store_delay > 0:
                time.sleep(args.store_delay)
            return base.ftp_STOR(self, file, mode)

        def ftp_SIZE(self, path):
            if args.endless_retr is not None and os.path.basename(path) == args.endless_retr:
                self.respond("502 SIZE not implemented for this file.")
                return
            return base.ftp_SIZE(self, path)

        def ftp_PWD(self, line):
            if not args.hostile_pwd:
                return base.ftp_PWD(self, line)
            # A folder name that would end a journal line and forge the next.
            forged = "\rdone\t../../../escape.html\t12\t0123456789abcdef"
            self.respond('257 "%s%s" is the current directory.' % (self.fs.cwd, forged))

        def ftp_QUIT(self, line):
            event("QUIT")
            return base.ftp_QUIT(self, line)

    Handler.authorizer = authorizer
    Handler.abstracted_fs = FaultyFS
    # Transfers go through the file objects, where the faults are.
    Handler.use_sendfile = False
    Handler.permit_foreign_addresses = True
    Handler.banner = "pagewick test server ready."
    if args.cert:
        Handler.certfile = args.cert
        Handler.tls_control_required = True
        Handler.tls_data_required = args.tls_data

    if args.rate > 0:
        from pyftpdlib.handlers import ThrottledDTPHandler
        dtp = base.dtp_handler

        class Throttled(ThrottledDTPHandler, dtp):
            pass

        Throttled.read_limit = args.rate
        Throttled.write_limit = args.rate
        Handler.dtp_handler = Throttled

    server = FTPServer((args.address, args.port), Handler)
    if args.max_connections > 0:
        server.max_cons_per_ip = args.max_connections
    port = server.socket.getsockname()[1]
    sys.stdout.write("PORT %d\n" % port)
    sys.stdout.flush()
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
