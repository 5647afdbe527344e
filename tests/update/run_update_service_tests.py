#!/usr/bin/env python3
"""Runs the update check and download tests under Wine against the stand-in update service:
one over HTTPS with a test authority trusted only in the test program's own Wine prefix, one
whose authority nobody trusts, and a port with nothing listening.
"""

import argparse
import os
import socket
import subprocess
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
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--standin", required=True)
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--prefix-init", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--gtest-filter", default="*")
    args = parser.parse_args()
    args.prefix = os.path.abspath(args.prefix)
    args.workdir = os.path.abspath(args.workdir)

    os.makedirs(args.workdir, exist_ok=True)
    if not os.path.exists(os.path.join(args.prefix, "system.reg")):
        log("creating the Wine prefix " + args.prefix)
        subprocess.run([args.prefix_init, args.prefix], check=True, timeout=300,
                       stdout=subprocess.DEVNULL)

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
        environment = dict(os.environ)
        environment.update({
            "WINEPREFIX": args.prefix,
            "TERVANE_STANDIN_CA": common.windows_path(ca_der),
            "TERVANE_STANDIN_PORT": str(service.port),
            "TERVANE_ROGUE_PORT": str(rogue.port),
            "TERVANE_CLOSED_PORT": str(closed_port()),
        })
        log("running against https://localhost:%d" % service.port)
        try:
            result = subprocess.run([args.wine_run, args.exe, "--gtest_color=no",
                                     "--gtest_filter=" + args.gtest_filter],
                                    env=environment, timeout=RUN_TIMEOUT)
            if result.returncode != 0:
                failures.append("the test program failed (exit %d)" % result.returncode)
        except subprocess.TimeoutExpired:
            failures.append("the test program did not finish within %d s" % RUN_TIMEOUT)
    finally:
        for standin in standins:
            standin.stop()

    for failure in failures:
        log("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
