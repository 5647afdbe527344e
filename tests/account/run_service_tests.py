#!/usr/bin/env python3
"""Runs a service suite under Wine against stand-ins: the account client's (then searches the
Wine prefix for the password and the tokens) or the update service's."""

import argparse
import base64
import json
import os
import secrets
import signal
import socket
import subprocess
import sys
import time


def log(message):
    print("[service-tests] " + message, flush=True)


def openssl(*arguments):
    subprocess.run(("openssl",) + arguments, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE, timeout=60)


def make_server(folder, name, authority):
    """Gives an authority's DER file and the stand-in's options for a certificate it signs."""
    base = os.path.join(folder, name)
    new_key = ("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30")
    openssl(*new_key, "-keyout", base + "-ca.key", "-out", base + "-ca.pem",
            "-subj", "/CN=" + authority, "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("x509", "-in", base + "-ca.pem", "-outform", "DER", "-out", base + "-ca.der")
    openssl(*new_key, "-keyout", base + ".key", "-out", base + ".pem", "-subj", "/CN=localhost",
            "-CA", base + "-ca.pem", "-CAkey", base + "-ca.key",
            "-addext", "basicConstraints=CA:FALSE",
            "-addext", "keyUsage=critical,digitalSignature,keyEncipherment",
            "-addext", "extendedKeyUsage=serverAuth",
            "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1")
    return base + "-ca.der", ["--https", "--cert", base + ".pem", "--key", base + ".key",
                              "--host", "localhost"]


class StandIn:
    def __init__(self, script, workdir, name, users, extra=()):
        port_file = os.path.join(workdir, name + ".port")
        self.log_file = os.path.join(workdir, name + ".log")
        for path in (port_file, self.log_file):
            if os.path.exists(path):
                os.remove(path)
        command = [sys.executable, script, "--port", "0", "--port-file", port_file,
                   "--log", self.log_file] + [a for u in users for a in ("--user", u)] + list(extra)
        self.process = subprocess.Popen(command, stdout=subprocess.DEVNULL,
                                        stderr=open(os.path.join(workdir, name + ".err"), "w"))
        deadline = time.time() + 15
        while not os.path.exists(port_file):
            if self.process.poll() is not None or time.time() > deadline:
                raise RuntimeError("stand-in %s did not start" % name)
            time.sleep(0.1)
        with open(port_file, encoding="ascii") as handle:
            self.port = int(handle.read().strip())

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()

    def issued_tokens(self):
        if not os.path.exists(self.log_file):
            return set()
        with open(self.log_file, encoding="utf-8") as handle:
            entries = [json.loads(line) for line in handle]
        # Only tokens the service issued itself; fault answers carry made-up ones.
        return {json.loads(base64.b64decode(e["answer_b64"]))["token"] for e in entries
                if e.get("path") == "/api/config-app/login/" and e.get("status") == 200
                and e.get("fault") is None}


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def scan_prefix(prefix, secrets_to_find):
    patterns = [(encoding, secret.encode(encoding)) for secret in secrets_to_find
                for encoding in ("utf-8", "utf-16-le")]
    findings, scanned = [], 0
    for root, _, files in os.walk(prefix):
        for path in (os.path.join(root, name) for name in files):
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            with open(path, "rb") as handle:
                data = handle.read()
            scanned += 1
            findings += ["%s holds a secret in %s" % (path, encoding)
                         for encoding, pattern in patterns if pattern in data]
    return scanned, findings


def runner_arguments():
    parser = argparse.ArgumentParser()
    for name in ("--exe", "--standin", "--wine-run", "--prefix-init", "--workdir", "--prefix"):
        parser.add_argument(name, required=True)
    parser.add_argument("--gtest-filter", default="*")
    args = parser.parse_args()
    args.prefix = os.path.abspath(args.prefix)
    args.workdir = os.path.abspath(args.workdir)
    os.makedirs(args.workdir, exist_ok=True)
    if not os.path.exists(os.path.join(args.prefix, "system.reg")):
        subprocess.run([args.prefix_init, args.prefix], check=True, timeout=300,
                       stdout=subprocess.DEVNULL)
    return args


def run_against_standins(args, users, specs, passes, timeout):
    """Runs the program once per (label, environment) that passes gives for the stand-ins
    started from specs; gives the stand-ins and what went wrong."""
    standins, failures = [], []
    try:
        for name, extra in specs:
            standins.append(StandIn(args.standin, args.workdir, name, users, extra))
        for label, extra in passes(*standins):
            try:
                result = subprocess.run([args.wine_run, args.exe, "--gtest_color=no",
                                         "--gtest_filter=" + args.gtest_filter], timeout=timeout,
                                        env=dict(os.environ, WINEPREFIX=args.prefix, **extra))
                if result.returncode != 0:
                    failures.append("%s failed (exit %d)" % (label, result.returncode))
            except subprocess.TimeoutExpired:
                failures.append("%s did not finish within %d s" % (label, timeout))
    finally:
        for standin in standins:
            standin.stop()
    return standins, failures


def finish(failures):
    for failure in failures:
        log("FAILED: " + failure)
    return 1 if failures else 0


def update_main(args):
    ca_der, tls = make_server(args.workdir, "trusted", "Tervane Test Authority")
    _, rogue_tls = make_server(args.workdir, "rogue", "Untrusted Authority")
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        closed_port = probe.getsockname()[1]
    passes = lambda service, rogue, legacy: [("test program", {
        "TERVANE_STANDIN_CA": windows_path(ca_der), "TERVANE_STANDIN_PORT": str(service.port),
        "TERVANE_ROGUE_PORT": str(rogue.port), "TERVANE_LEGACY_PORT": str(legacy.port),
        "TERVANE_CLOSED_PORT": str(closed_port)})]
    _, failures = run_against_standins(
        args, [], [("update", tls), ("update-rogue", rogue_tls),
                   ("update-legacy", tls + ["--tls-min", "1.0", "--tls-max", "1.1"])],
        passes, 400)
    return finish(failures)


def main():
    args = runner_arguments()
    if os.path.basename(args.standin) == "update_service.py":
        return update_main(args)
    # Fresh secrets each run, with the characters that need escaping or are not ASCII.
    suffix = secrets.token_hex(8)
    username = 'tester"\\\u00e9-' + suffix
    password = 'p\u00e4ss "w\\\u00f6rd\t/' + secrets.token_hex(12)
    account = "Tervane T\u00ebster " + suffix
    trusted_der, tls = make_server(args.workdir, "trusted", "Tervane Test Authority")
    _, rogue_tls = make_server(args.workdir, "rogue", "Untrusted Authority")
    accounts = {"TERVANE_TEST_%s_HEX" % name: text.encode("utf-8").hex() for name, text in
                (("USER", username), ("PASSWORD", password), ("ACCOUNT", account))}
    passes = lambda plain, secure, tls12, legacy, rogue: [
        ("http pass", dict(accounts, TERVANE_STANDIN_MODE="http",
                           TERVANE_STANDIN_ORIGIN="http://127.0.0.1:%d" % plain.port)),
        ("https pass", dict(accounts, TERVANE_STANDIN_MODE="https",
                            TERVANE_STANDIN_ORIGIN="https://localhost:%d" % secure.port,
                            TERVANE_STANDIN_CA=windows_path(trusted_der),
                            TERVANE_TLS12_ORIGIN="https://localhost:%d" % tls12.port,
                            TERVANE_LEGACY_ORIGIN="https://localhost:%d" % legacy.port,
                            TERVANE_ROGUE_ORIGIN="https://localhost:%d" % rogue.port))]
    standins, failures = run_against_standins(
        args, ["%s:%s:%s" % (username, password, account)],
        [("plain", []), ("secure", tls), ("tls12", tls + ["--tls-max", "1.2"]),
         ("legacy", tls + ["--tls-min", "1.0", "--tls-max", "1.1"]), ("rogue", rogue_tls)],
        passes, 240)

    # Let the prefix's wineserver write the registry out and end before searching it.
    server = os.path.join(os.path.dirname(os.environ.get("WINE64", "/usr/lib/wine/wine64")),
                          "wineserver")
    try:
        subprocess.run([server, "-w"], env=dict(os.environ, WINEPREFIX=args.prefix), timeout=60)
    except (OSError, subprocess.TimeoutExpired) as error:
        failures.append("the prefix's wineserver did not end: %s" % error)

    tokens = set().union(*(standin.issued_tokens() for standin in standins))
    if not tokens:
        failures.append("no login succeeded, so nothing was searched for")
    scanned, findings = scan_prefix(args.prefix, [password] + sorted(tokens))
    log("searched %d files of the prefix for the password and %d tokens" % (scanned, len(tokens)))
    return finish(failures + findings)


if __name__ == "__main__":
    sys.exit(main())
