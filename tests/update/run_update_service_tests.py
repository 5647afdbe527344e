#!/usr/bin/env python3
"""The update service tests against a trusted, an untrusted and a TLS 1.0/1.1 stand-in."""

import os
import socket
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "account"))
import run_service_tests as common  # noqa: E402

RUN_TIMEOUT = 400


def closed_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    args = common.runner_arguments()
    ca_der, tls = common.make_server(args.workdir, "trusted", "Tervane Test Authority")
    _, rogue_tls = common.make_server(args.workdir, "rogue", "Untrusted Authority")
    passes = lambda service, rogue, legacy: [("test program", {
        "TERVANE_STANDIN_CA": common.windows_path(ca_der),
        "TERVANE_STANDIN_PORT": str(service.port),
        "TERVANE_ROGUE_PORT": str(rogue.port),
        "TERVANE_LEGACY_PORT": str(legacy.port),
        "TERVANE_CLOSED_PORT": str(closed_port()),
    })]
    _, failures = common.run_against_standins(
        args, [], [("update", tls), ("update-rogue", rogue_tls),
                   ("update-legacy", tls + ["--tls-min", "1.0", "--tls-max", "1.1"])],
        passes, RUN_TIMEOUT)
    return common.finish(failures)


if __name__ == "__main__":
    sys.exit(main())
