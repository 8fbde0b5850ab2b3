#!/usr/bin/env python3
"""Writes a self-signed certificate for 127.0.0.1 and its key into one PEM
file, and prints the public key pin ("sha256//" + base64 of the SHA-256 of
the DER public key) that a client would trust."""
import base64
import hashlib
import sys

from OpenSSL import crypto


def main():
    key = crypto.PKey()
    key.generate_key(crypto.TYPE_RSA, 2048)
    cert = crypto.X509()
    cert.get_subject().CN = "127.0.0.1"
    cert.set_serial_number(1)
    cert.gmtime_adj_notBefore(-60)
    cert.gmtime_adj_notAfter(2 * 24 * 3600)
    cert.set_issuer(cert.get_subject())
    cert.set_pubkey(key)
    cert.add_extensions([crypto.X509Extension(b"subjectAltName", False, b"IP:127.0.0.1")])
    cert.sign(key, "sha256")
    with open(sys.argv[1], "wb") as out:
        out.write(crypto.dump_certificate(crypto.FILETYPE_PEM, cert))
        out.write(crypto.dump_privatekey(crypto.FILETYPE_PEM, key))
    spki = crypto.dump_publickey(crypto.FILETYPE_ASN1, key)
    print("sha256//" + base64.b64encode(hashlib.sha256(spki).digest()).decode())


if __name__ == "__main__":
    main()
