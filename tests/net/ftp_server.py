#!/usr/bin/env python3
"""FTP (optionally explicit FTPS) server for the network tests.

Listens on 127.0.0.1 on a free port, serves HOME for one user, prints
"PORT <n>" on standard output once it accepts connections, and runs until it
is killed. Names are passed through as raw bytes (surrogateescape), so
Shift_JIS file names work in both directions.
"""
import argparse
import sys

from pyftpdlib.authorizers import DummyAuthorizer
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
    parser.add_argument("--rate", type=int, default=0, help="bytes per second on data connections (0: no limit)")
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

        def ftp_QUIT(self, line):
            event("QUIT")
            return base.ftp_QUIT(self, line)

    Handler.authorizer = authorizer
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

    server = FTPServer(("127.0.0.1", args.port), Handler)
    port = server.socket.getsockname()[1]
    sys.stdout.write("PORT %d\n" % port)
    sys.stdout.flush()
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
