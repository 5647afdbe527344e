#!/usr/bin/env python3
"""Stand-in for the Tervane account service, for tests and the demo. Loopback only.

    python3 tools/standin/account_service.py --port N
        [--host 127.0.0.1|localhost|::1]
        [--https --cert CERT.pem --key KEY.pem [--tls-min 1.0|1.1|1.2|1.3] [--tls-max ...]]
        [--user NAME:PASSWORD[:TERVANE_USERNAME]] ...
        [--token TOKEN:TERVANE_USERNAME] ...
        [--log FILE] [--port-file FILE] [--fault FAULT]

--port 0 picks a free port; the port in use is printed ("listening on PORT") and written to
--port-file. A user's Tervane username defaults to NAME. Every login issues a new random token.

Service endpoints:
    POST /api/config-app/login/   {"username":..., "password":...}
                                  200 {"token":..., "tervane_username":..., "username":...}
                                  400 {"detail": "Invalid username or password."} or field errors
    GET  /api/config-app/me/      Authorization: Token T
                                  200 {"tervane_username":..., "username":...}, else 401
    GET  /signup/                 a small HTML page

Log: every request to the service endpoints is kept (method, target, every header in order,
body bytes, the raw bytes as received, the TLS version, the answer's status and body) and,
with --log, appended to FILE as one JSON object per line (bytes in base64).

Control endpoints (not logged):
    POST /_standin/fault?kind=K&...   queue a one-shot fault for the next service request;
                                      the request body is the answer body where one is sent
    POST /_standin/reset              drop queued faults and the log
    GET  /_standin/last               the raw bytes of the last service request
    GET  /_standin/last-tls           the TLS version of the last service request ("" for plain)
    GET  /_standin/count              the number of service requests logged so far

Fault kinds (query parameters; --fault takes the same "kind=K&..." text and applies it to
every service request):
    status    code=N [type=MIME]   answer N with the given body
    delay     ms=N                 wait, then answer normally
    stall     ms=N [after=headers] read the request, send nothing (or only the headers and
                                   the start of the body) for N ms, then close
    size      bytes=N [chunked=1]  answer 200 with exactly N bytes (fixed length or chunked)
    drop                           read the request and close without answering
    truncate  bytes=N              announce N body bytes, send half of them, close
    redirect  code=N location=URL  answer N with that Location header
    raw                            send the given body as the whole answer, then close
"""

import argparse
import base64
import http.server
import json
import os
import secrets
import socket
import ssl
import sys
import threading
import time
import urllib.parse

LOOPBACK_HOSTS = ("127.0.0.1", "localhost", "::1")
SERVICE_PATHS = ("/api/config-app/login/", "/api/config-app/me/", "/signup/")


class RecordingReader:
    """Wraps the connection's reader and keeps every byte the handler consumed."""

    def __init__(self, inner):
        self.inner = inner
        self.data = bytearray()

    def readline(self, *args):
        line = self.inner.readline(*args)
        self.data += line
        return line

    def read(self, *args):
        chunk = self.inner.read(*args)
        self.data += chunk
        return chunk

    def __getattr__(self, name):
        return getattr(self.inner, name)


class State:
    def __init__(self, users, tokens, log_path, standing_fault):
        self.lock = threading.Lock()
        self.users = users
        self.tokens = dict(tokens)
        self.log_path = log_path
        self.log = []
        self.faults = []
        self.standing_fault = standing_fault

    def next_fault(self):
        with self.lock:
            if self.faults:
                return self.faults.pop(0)
            return self.standing_fault

    def record(self, entry):
        with self.lock:
            self.log.append(entry)
            if self.log_path:
                with open(self.log_path, "a", encoding="utf-8") as log:
                    log.write(json.dumps(entry) + "\n")


def parse_fault(text, body=b""):
    query = urllib.parse.parse_qs(text, keep_blank_values=True)
    fault = {key: values[-1] for key, values in query.items()}
    if "kind" not in fault:
        raise ValueError("a fault needs kind=...")
    fault["body"] = body
    return fault


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TervaneStandIn/1.0"
    sys_version = ""

    def setup(self):
        super().setup()
        self.rfile = RecordingReader(self.rfile)

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()

    def do_PUT(self):
        self.handle_any()

    def do_DELETE(self):
        self.handle_any()

    # --- plumbing -------------------------------------------------------------------------

    def read_body(self):
        length = self.headers.get("Content-Length")
        if length is not None:
            return self.rfile.read(int(length))
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            body = bytearray()
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    self.rfile.readline()
                    return bytes(body)
                body += self.rfile.read(size)
                self.rfile.readline()
        return b""

    def answer(self, status, body=b"", content_type="application/json", extra=()):
        self.close_connection = True
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Connection", "close")
        self.end_headers()
        if body:
            self.wfile.write(body)
        self.wfile.flush()
        return status, body

    def answer_json(self, status, document):
        return self.answer(status, json.dumps(document).encode("utf-8"))

    def close_now(self):
        self.close_connection = True
        self.wfile.flush()
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def handle_any(self):
        state = self.server.state
        body = self.read_body()
        target = urllib.parse.urlsplit(self.path)
        if target.path.startswith("/_standin/"):
            self.control(target, body)
            return
        entry = {
            "method": self.command,
            "target": self.path,
            "path": target.path,
            "headers": [[name, value] for name, value in self.headers.items()],
            "body_b64": base64.b64encode(body).decode("ascii"),
            "raw_b64": base64.b64encode(bytes(self.rfile.data)).decode("ascii"),
            "tls_version": self.connection.version() if hasattr(self.connection, "version") else None,
        }
        self.rfile.data = bytearray()
        fault = state.next_fault()
        status, sent = None, b""
        try:
            if fault is not None:
                status, sent = self.apply_fault(fault, body)
            else:
                status, sent = self.serve(target.path, body)
        finally:
            entry["fault"] = fault["kind"] if fault is not None else None
            entry["status"] = status
            entry["answer_b64"] = base64.b64encode(sent or b"").decode("ascii")
            state.record(entry)

    def control(self, target, body):
        state = self.server.state
        self.rfile.data = bytearray()
        if target.path == "/_standin/fault" and self.command == "POST":
            try:
                fault = parse_fault(target.query, body)
            except ValueError as error:
                self.answer_json(400, {"detail": str(error)})
                return
            with state.lock:
                state.faults.append(fault)
            self.answer_json(200, {"queued": len(state.faults)})
        elif target.path == "/_standin/reset" and self.command == "POST":
            with state.lock:
                state.faults.clear()
                state.log.clear()
            self.answer_json(200, {})
        elif target.path == "/_standin/last" and self.command == "GET":
            with state.lock:
                raw = base64.b64decode(state.log[-1]["raw_b64"]) if state.log else b""
            self.answer(200, raw, "application/octet-stream")
        elif target.path == "/_standin/last-tls" and self.command == "GET":
            with state.lock:
                version = (state.log[-1]["tls_version"] or "") if state.log else ""
            self.answer(200, version.encode("ascii"), "text/plain")
        elif target.path == "/_standin/count" and self.command == "GET":
            with state.lock:
                count = len(state.log)
            self.answer(200, str(count).encode("ascii"), "text/plain")
        else:
            self.answer_json(404, {"detail": "No such control."})

    # --- the service ----------------------------------------------------------------------

    def serve(self, path, body):
        state = self.server.state
        if path == "/api/config-app/login/":
            if self.command != "POST":
                return self.answer_json(405, {"detail": 'Method "%s" not allowed.' % self.command})
            try:
                document = json.loads(body.decode("utf-8"))
            except (UnicodeDecodeError, ValueError):
                return self.answer_json(400, {"detail": "JSON parse error."})
            if not isinstance(document, dict):
                return self.answer_json(400, {"detail": "Invalid data."})
            missing = {
                field: ["This field is required."]
                for field in ("username", "password")
                if not isinstance(document.get(field), str) or document.get(field) == ""
            }
            if missing:
                return self.answer_json(400, missing)
            user = state.users.get(document["username"])
            if user is None or user[0] != document["password"]:
                return self.answer_json(400, {"detail": "Invalid username or password."})
            token = secrets.token_hex(20)
            with state.lock:
                state.tokens[token] = user[1]
            return self.answer_json(
                200, {"token": token, "tervane_username": user[1], "username": document["username"]}
            )
        if path == "/api/config-app/me/":
            if self.command != "GET":
                return self.answer_json(405, {"detail": 'Method "%s" not allowed.' % self.command})
            authorization = self.headers.get("Authorization", "")
            scheme, _, token = authorization.partition(" ")
            with state.lock:
                account = state.tokens.get(token) if scheme == "Token" else None
            if account is None:
                detail = "Invalid token." if authorization else "Authentication credentials were not provided."
                return self.answer_json(401, {"detail": detail})
            return self.answer_json(200, {"tervane_username": account, "username": account})
        if path == "/signup/":
            page = b"<!doctype html><title>Sign up</title><h1>Create a Tervane account</h1>"
            return self.answer(200, page, "text/html; charset=utf-8")
        return self.answer_json(404, {"detail": "Not found."})

    def apply_fault(self, fault, request_body):
        kind = fault["kind"]
        if kind == "status":
            return self.answer(int(fault.get("code", "500")), fault["body"],
                               fault.get("type", "application/json"))
        if kind == "delay":
            time.sleep(int(fault.get("ms", "1000")) / 1000.0)
            return self.serve(urllib.parse.urlsplit(self.path).path, request_body)
        if kind == "stall":
            if fault.get("after") == "headers":
                self.send_response(200)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", "100")
                self.end_headers()
                self.wfile.write(b'{"token":')
                self.wfile.flush()
            time.sleep(int(fault.get("ms", "40000")) / 1000.0)
            self.close_now()
            return None, b""
        if kind == "size":
            size = int(fault["bytes"])
            payload = (b"x" * size)
            if fault.get("chunked") == "1":
                self.close_connection = True
                self.send_response(200)
                self.send_header("Content-Type", "application/json")
                self.send_header("Transfer-Encoding", "chunked")
                self.send_header("Connection", "close")
                self.end_headers()
                step = 65536
                for start in range(0, size, step):
                    piece = payload[start:start + step]
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                self.wfile.write(b"0\r\n\r\n")
                self.wfile.flush()
                return 200, b""
            self.answer(200, payload)
            return 200, b""
        if kind == "drop":
            self.close_now()
            return None, b""
        if kind == "truncate":
            size = int(fault.get("bytes", "1000"))
            self.close_connection = True
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(size))
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(b"x" * (size // 2))
            self.close_now()
            return 200, b""
        if kind == "redirect":
            return self.answer(int(fault.get("code", "302")), b"", "text/plain",
                               [("Location", fault.get("location", "/"))])
        if kind == "raw":
            self.wfile.write(fault["body"])
            self.close_now()
            return None, fault["body"]
        return self.answer_json(500, {"detail": "Unknown fault kind %s." % kind})


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    tls_context = None

    def finish_request(self, request, client_address):
        # The TLS handshake runs on the connection's own thread, so a stalled client cannot
        # hold up the others.
        if self.tls_context is not None:
            try:
                request.settimeout(30)
                request = self.tls_context.wrap_socket(request, server_side=True)
                request.settimeout(None)
            except (ssl.SSLError, OSError):
                return
        super().finish_request(request, client_address)


class Server6(Server):
    address_family = socket.AF_INET6


TLS_VERSIONS = {
    "1.0": ssl.TLSVersion.TLSv1,
    "1.1": ssl.TLSVersion.TLSv1_1,
    "1.2": ssl.TLSVersion.TLSv1_2,
    "1.3": ssl.TLSVersion.TLSv1_3,
}


def main(argv=None, handler=Handler, add_arguments=None, prepare=None):
    """Runs the stand-in; a service built on this one passes its own handler class, a hook that
    adds its command-line options, and one that readies the server from the parsed options."""
    parser = argparse.ArgumentParser(description="Stand-in Tervane account service (loopback only).")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--host", default="127.0.0.1", choices=LOOPBACK_HOSTS)
    parser.add_argument("--https", action="store_true")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--tls-min", choices=sorted(TLS_VERSIONS))
    parser.add_argument("--tls-max", choices=sorted(TLS_VERSIONS))
    parser.add_argument("--user", action="append", default=[])
    parser.add_argument("--token", action="append", default=[])
    parser.add_argument("--log")
    parser.add_argument("--port-file")
    parser.add_argument("--fault")
    if add_arguments is not None:
        add_arguments(parser)
    args = parser.parse_args(argv)

    users = {}
    for given in args.user:
        parts = given.split(":", 2)
        if len(parts) < 2 or not parts[0] or not parts[1]:
            parser.error("--user takes NAME:PASSWORD[:TERVANE_USERNAME]")
        users[parts[0]] = (parts[1], parts[2] if len(parts) == 3 and parts[2] else parts[0])
    tokens = {}
    for given in args.token:
        token, _, account = given.partition(":")
        if not token or not account:
            parser.error("--token takes TOKEN:TERVANE_USERNAME")
        tokens[token] = account

    server_class = Server6 if args.host == "::1" else Server
    server = server_class((args.host, args.port), handler)
    server.state = State(users, tokens, args.log, parse_fault(args.fault) if args.fault else None)
    if prepare is not None:
        prepare(server, args)
    if args.https:
        if not args.cert or not args.key:
            parser.error("--https needs --cert and --key")
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        if args.tls_min in ("1.0", "1.1") or args.tls_max in ("1.0", "1.1"):
            # OpenSSL refuses the old protocols at its default security level.
            context.set_ciphers("DEFAULT:@SECLEVEL=0")
        if args.tls_min:
            context.minimum_version = TLS_VERSIONS[args.tls_min]
        if args.tls_max:
            context.maximum_version = TLS_VERSIONS[args.tls_max]
        context.load_cert_chain(args.cert, args.key)
        server.tls_context = context

    port = server.server_address[1]
    if args.port_file:
        temporary = args.port_file + ".tmp"
        with open(temporary, "w", encoding="ascii") as handle:
            handle.write("%d\n" % port)
        os.replace(temporary, args.port_file)
    print("listening on %d" % port, flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
