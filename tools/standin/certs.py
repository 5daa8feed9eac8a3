"""The stand-in's certificates, made with openssl once and kept: a test CA
and a server certificate it signs (trusted once tools/test has put the CA in
the Wine prefix's Root store), and a self-signed server certificate that no
store trusts."""

import os
import subprocess
import tempfile

# WinHTTP under Wine matches the host it reached against DNS names only, so
# the address is a DNS name too.
SERVER_NAMES = "subjectAltName=DNS:localhost,DNS:127.0.0.1"
DAYS = "3650"


def _openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _make(folder):
    ca_key = os.path.join(folder, "ca.key")
    ca_pem = os.path.join(folder, "ca.pem")
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", DAYS,
             "-subj", "/CN=Ostrovelle Stand-in Test CA", "-keyout", ca_key, "-out", ca_pem,
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    _openssl("x509", "-in", ca_pem, "-outform", "DER", "-out", os.path.join(folder, "ca.der"))

    key = os.path.join(folder, "server.key")
    csr = os.path.join(folder, "server.csr")
    _openssl("req", "-newkey", "rsa:2048", "-nodes", "-sha256", "-subj", "/CN=localhost",
             "-keyout", key, "-out", csr)
    with tempfile.NamedTemporaryFile("w", suffix=".ext", dir=folder, delete=False) as ext:
        ext.write(SERVER_NAMES + "\nextendedKeyUsage=serverAuth\n"
                  "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n")
    try:
        _openssl("x509", "-req", "-in", csr, "-CA", ca_pem, "-CAkey", ca_key,
                 "-CAcreateserial", "-sha256", "-days", DAYS, "-extfile", ext.name,
                 "-out", os.path.join(folder, "server.pem"))
    finally:
        os.unlink(ext.name)

    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", DAYS,
             "-subj", "/CN=localhost", "-addext", SERVER_NAMES,
             "-keyout", os.path.join(folder, "untrusted.key"),
             "-out", os.path.join(folder, "untrusted.pem"))


def ensure(folder):
    """The certificate folder, made when something is missing."""
    names = ["ca.pem", "ca.der", "server.key", "server.pem", "untrusted.key", "untrusted.pem"]
    os.makedirs(folder, exist_ok=True)
    if not all(os.path.exists(os.path.join(folder, n)) for n in names):
        _make(folder)
    return folder
