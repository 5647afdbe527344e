#!/usr/bin/env python3
"""Stand-in for the Tervane update service, on top of the account stand-in. Loopback only.

    python3 tools/standin/update_service.py --port N [every option of account_service.py]
        [--publish TYPE:VERSION:FILE] ...

It answers everything the account stand-in answers (endpoints, control endpoints, faults, log,
HTTPS) and adds the update side. TYPE is "installer" or "portable".

Service endpoints:
    GET /api/app/windows/latest/                        metadata of the published installer
    GET /api/app/windows/latest/?package_type=portable  metadata of the published portable copy
        200 {"schema_version":1, "platform":"windows", "package_type", "version",
             "release_notes", "filename", "size_bytes", "sha256", "download_url"}
        404 when nothing of that type is published
    GET /app/windows/TYPE/download/ID/FILENAME           the package bytes; 409 for a package
                                                        that a later publication replaced,
                                                        404 for anything else
The download URL names the origin the client used (its Host header), so it is on the service
host by construction.

Control endpoints (not logged), besides the account stand-in's:
    POST /_standin/publish?package_type=T&version=V&...   publish the request body as the
        package of type T (or, with generate=N, N bytes made up by the stand-in). Optional:
        filename, release_notes, and overrides of what the metadata announces: size_bytes,
        sha256, download_url, platform, schema_version. pace_bytes=B&pace_ms=M sends the package
        B bytes at a time with M ms between. Answers the metadata as it will be served, with
        "{origin}" standing for the origin in the download URL.
    POST /_standin/metadata?package_type=T   serve the request body itself as T's metadata (200)
    POST /_standin/unpublish?package_type=T  nothing of type T is published any more
    POST /_standin/reset                     also unpublishes everything
"""

import hashlib
import json
import os
import secrets
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import account_service as base  # noqa: E402

METADATA_PATH = "/api/app/windows/latest/"
PACKAGE_TYPES = ("installer", "portable")
DOWNLOAD_PREFIX = "/app/windows/%s/download/"


def made_up_bytes(size):
    """Deterministic content that does not compress to nothing."""
    block = hashlib.sha256(b"tervane-update-standin").digest() * 2048  # 64 KiB
    whole, rest = divmod(size, len(block))
    return block * whole + block[:rest]


class Publication:
    def __init__(self, package_type, data, options):
        self.id = secrets.token_hex(6)
        self.package_type = package_type
        self.data = data
        self.version = options.get("version", "1.0.1")
        self.filename = options.get("filename", "TervaneConnectSetup-%s.exe" % self.version)
        self.options = options

    def path(self):
        return DOWNLOAD_PREFIX % self.package_type + self.id + "/" + self.filename

    def metadata(self, origin):
        o = self.options
        document = {
            "schema_version": int(o.get("schema_version", "1")),
            "platform": o.get("platform", "windows"),
            "package_type": self.package_type,
            "version": self.version,
            "release_notes": o.get("release_notes", "Steadier pairing."),
            "filename": self.filename,
            "size_bytes": int(o.get("size_bytes", str(len(self.data)))),
            "sha256": o.get("sha256", hashlib.sha256(self.data).hexdigest()),
            "download_url": o.get("download_url", origin + self.path()).replace("{origin}", origin),
        }
        return json.dumps(document).encode("utf-8")


class UpdateState:
    def __init__(self):
        self.lock = threading.Lock()
        self.clear()

    def clear(self):
        self.current = {}     # package type -> Publication
        self.raw = {}         # package type -> metadata body served as is
        self.superseded = set()

    def publish(self, publication):
        with self.lock:
            previous = self.current.get(publication.package_type)
            if previous is not None:
                self.superseded.add(previous.path())
            self.current[publication.package_type] = publication
            self.raw.pop(publication.package_type, None)


class UpdateHandler(base.Handler):
    def origin(self):
        scheme = "https" if self.server.tls_context is not None else "http"
        return "%s://%s" % (scheme, self.headers.get("Host", "localhost"))

    def serve(self, path, body):
        update = self.server.update
        if path == METADATA_PATH:
            if self.command != "GET":
                return self.answer_json(405, {"detail": 'Method "%s" not allowed.' % self.command})
            query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)
            package_type = query.get("package_type", ["installer"])[-1]
            with update.lock:
                raw = update.raw.get(package_type)
                publication = update.current.get(package_type)
            if raw is not None:
                return self.answer(200, raw)
            if publication is None:
                return self.answer_json(404, {"detail": "No published update."})
            return self.answer(200, publication.metadata(self.origin()))
        for package_type in PACKAGE_TYPES:
            if path.startswith(DOWNLOAD_PREFIX % package_type):
                return self.download(path)
        return super().serve(path, body)

    def download(self, path):
        update = self.server.update
        with update.lock:
            current = [p for p in update.current.values() if p.path() == path]
            superseded = path in update.superseded
        if superseded:
            return self.answer_json(409, {"detail": "This package has been superseded."})
        if not current:
            return self.answer_json(404, {"detail": "Not found."})
        publication = current[0]
        data = publication.data
        self.close_connection = True
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        step = int(publication.options.get("pace_bytes", "0")) or 262144
        pause = int(publication.options.get("pace_ms", "0")) / 1000.0
        view = memoryview(data)
        try:
            for start in range(0, len(data), step):
                self.wfile.write(view[start:start + step])
                if pause:
                    self.wfile.flush()
                    time.sleep(pause)
            self.wfile.flush()
        except OSError:
            pass
        # The log keeps the status only: packages can be large.
        return 200, b""

    def control(self, target, body):
        update = self.server.update
        options = {k: v[-1] for k, v in urllib.parse.parse_qs(target.query).items()}
        package_type = options.get("package_type", "installer")
        if target.path == "/_standin/publish" and self.command == "POST":
            if package_type not in PACKAGE_TYPES:
                self.answer_json(400, {"detail": "Unknown package type."})
                return
            data = made_up_bytes(int(options["generate"])) if "generate" in options else body
            publication = Publication(package_type, data, options)
            update.publish(publication)
            self.rfile.data = bytearray()
            self.answer(200, publication.metadata("{origin}"))
        elif target.path == "/_standin/metadata" and self.command == "POST":
            with update.lock:
                update.raw[package_type] = body
            self.rfile.data = bytearray()
            self.answer_json(200, {})
        elif target.path == "/_standin/unpublish" and self.command == "POST":
            with update.lock:
                update.current.pop(package_type, None)
                update.raw.pop(package_type, None)
            self.rfile.data = bytearray()
            self.answer_json(200, {})
        else:
            if target.path == "/_standin/reset" and self.command == "POST":
                with update.lock:
                    update.clear()
            super().control(target, body)


def add_arguments(parser):
    parser.add_argument("--publish", action="append", default=[],
                        help="TYPE:VERSION:FILE, published at start")


def prepare(server, args):
    server.update = UpdateState()
    for given in args.publish:
        parts = given.split(":", 2)
        if len(parts) != 3 or parts[0] not in PACKAGE_TYPES:
            raise SystemExit("--publish takes TYPE:VERSION:FILE")
        with open(parts[2], "rb") as handle:
            data = handle.read()
        server.update.publish(Publication(parts[0], data, {
            "version": parts[1], "filename": os.path.basename(parts[2])}))


if __name__ == "__main__":
    sys.exit(base.main(handler=UpdateHandler, add_arguments=add_arguments, prepare=prepare))
