#!/usr/bin/env python3
"""Runs the update check and download tests under Wine against the stand-in update service:
one over HTTPS with a test authority trusted only in the test program's own Wine prefix, one
whose authority nobody trusts, and a port with nothing listening.
"""

import os
import socket
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "account"))
import run_service_tests as common  # noqa: E402

RUN_TIMEOUT = 400


def log(message):
    print("[update-service-tests] " + message, flush=True)


def closed_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    args = common.runner_arguments()

    ca_der, server, rogue_server = common.make_certificates(args.workdir)
    tls = common.https(server)
    standins = []
    failures = []
    try:
        for name, extra in (("update", tls), ("update-rogue", common.https(rogue_server)),
                            ("update-legacy", tls + ["--tls-min", "1.0", "--tls-max", "1.1"])):
            standins.append(common.StandIn(args.standin, args.workdir, name, [], extra))
        service, rogue, legacy = standins
        environment = dict(os.environ)
        environment.update({
            "WINEPREFIX": args.prefix,
            "TERVANE_STANDIN_CA": common.windows_path(ca_der),
            "TERVANE_STANDIN_PORT": str(service.port),
            "TERVANE_ROGUE_PORT": str(rogue.port),
            "TERVANE_LEGACY_PORT": str(legacy.port),
            "TERVANE_CLOSED_PORT": str(closed_port()),
        })
        log("running against https://localhost:%d" % service.port)
        failure = common.run_tests(args, environment, "the test program", RUN_TIMEOUT)
        if failure:
            failures.append(failure)
    finally:
        for standin in standins:
            standin.stop()

    for failure in failures:
        log("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
