#!/usr/bin/env python3
"""The stand-in for the servers the programs talk to: one HTTP listener, one
HTTPS listener with a certificate of the test CA and one HTTPS listener with
an untrusted certificate, all on free ports of 127.0.0.1. When they listen,
the ports are written to --ports-file as shell assignments:
  OV_STANDIN_HTTP=.. OV_STANDIN_HTTPS=.. OV_STANDIN_UNTRUSTED=..
The service ends on SIGTERM or SIGINT, or when --parent-pid has gone."""

import argparse
import os
import signal
import ssl
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import certs  # noqa: E402
import routes  # noqa: E402
import service  # noqa: E402
from routes import connections  # noqa: E402


def tls_context(folder, name):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(folder, name + ".pem"),
                            os.path.join(folder, name + ".key"))
    return context


def parent_alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except ProcessLookupError:
        return False
    except PermissionError:
        return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True, help="folder for the certificates")
    parser.add_argument("--ports-file", required=True)
    parser.add_argument("--parent-pid", type=int, default=0)
    args = parser.parse_args()

    cert_folder = certs.ensure(os.path.join(args.state, "certs"))
    routes.load_all()
    servers = {
        "OV_STANDIN_HTTP": service.Server(("127.0.0.1", 0)),
        "OV_STANDIN_HTTPS": service.Server(("127.0.0.1", 0), tls_context(cert_folder, "server")),
        "OV_STANDIN_UNTRUSTED": service.Server(("127.0.0.1", 0),
                                               tls_context(cert_folder, "untrusted")),
    }
    for server in servers.values():
        threading.Thread(target=server.serve_forever, daemon=True).start()

    # For tools/run: the programs reach the stand-in through this file (see
    # OV_CONNECTION_INFO); the tests write their own.
    with open(os.path.join(args.state, "Connection.info"), "w", newline="") as out:
        out.write(connections.connection_info(servers["OV_STANDIN_HTTP"].server_address[1],
                                              servers["OV_STANDIN_HTTPS"].server_address[1]))

    temporary = args.ports_file + ".tmp"
    with open(temporary, "w") as out:
        for name, server in servers.items():
            out.write("%s=%d\n" % (name, server.server_address[1]))
    os.replace(temporary, args.ports_file)

    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: service.SHUTDOWN.set())
    while not service.SHUTDOWN.wait(1.0):
        if args.parent_pid and not parent_alive(args.parent_pid):
            service.SHUTDOWN.set()
    for server in servers.values():
        server.shutdown()
        server.server_close()


if __name__ == "__main__":
    main()
