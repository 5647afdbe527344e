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

    ca_key, ca_pem, ca_der = common.make_authority(args.workdir, "trusted", "Tervane Test Authority")
    server_pem, server_key = common.make_server_certificate(args.workdir, "trusted", ca_key, ca_pem)
    rogue_key, rogue_pem, _ = common.make_authority(args.workdir, "rogue", "Untrusted Authority")
    rogue_server_pem, rogue_server_key = common.make_server_certificate(args.workdir, "rogue",
                                                                        rogue_key, rogue_pem)
    standins = []
    failures = []
    try:
        service = common.StandIn(args.standin, args.workdir, "update", [],
                                 ["--https", "--cert", server_pem, "--key", server_key,
                                  "--host", "localhost"])
        standins.append(service)
        rogue = common.StandIn(args.standin, args.workdir, "update-rogue", [],
                               ["--https", "--cert", rogue_server_pem, "--key", rogue_server_key,
                                "--host", "localhost"])
        standins.append(rogue)
        legacy = common.StandIn(args.standin, args.workdir, "update-legacy", [],
                                ["--https", "--cert", server_pem, "--key", server_key,
                                 "--host", "localhost", "--tls-min", "1.0", "--tls-max", "1.1"])
        standins.append(legacy)
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
