"""The tests' stand-in for the service and for the web servers of feeds: the embedded reference
service (service/embedded_service.py) with the behaviours of real servers, faults among them.

It also serves the files of a root folder and the documents put() from Python, and three paths
that misbehave (never the embedded service's: on a --bind host anyone could hold every thread):

    /stall/<anything>        reads the request and never answers (until released or stopped)
    /stall-body/<file>       sends the headers and the first part of the file, then stalls
    /slow/<file>             sends the file in small pieces, with a pause before each
    fault(path, mode, retry_after=120)
                             makes one path (or "*", every path) misbehave, one of FAULTS:
                             "refuse" (the connection is reset without an answer), "stall",
                             "404" (an HTML page), "garbage" (random bytes instead of a picture),
                             "big-picture" (a picture of more than 64 KB), "wide-picture" (a PNG of
                             2001 x 39 pixels), "huge-feed" (a feed of 10 MB), "429" and "503" (that
                             status, an HTML page and "Retry-After: <retry_after>": seconds, or any
                             text such as an HTTP date), "gzip" and "deflate" (the usual answer,
                             encoded so, with "Content-Encoding" and "Vary: Accept-Encoding", when
                             the request's Accept-Encoding accepts that coding; plain otherwise;
                             "deflate" is the zlib format; the ETag becomes weak), "503-twice" (the
                             first two requests of each path and query since fault() get that 503,
                             the later ones the usual answer: a report sent again comes through).
                             fault(path, None) ends it.
    redirect(path, location, status=301)
                             answers path with that status (301, 302, 303, 307 or 308) and
                             "Location: location"; a location beginning with "/" is made absolute
                             with this service's address. redirect(path, None) ends it.
    put(path, body, content_type=None, headers=None)
                             serves body under path from now on; headers (a dict) are extra response
                             headers sent with it, replacing the defaults of the same name. A body
                             put with "Content-Encoding" is sent as it is, never encoded again.
    conditional GET          every document (put, root folder, catalog: preset list, feeds,
                             picture, articles) is answered with an ETag (a hash of its body) and a
                             Last-Modified (its file's time; for a put document the time of put(),
                             moved on a second when the body changed within the same second), and
                             with "304 Not Modified" and no body when If-None-Match names the ETag
                             (or "*"), or, without If-None-Match, when If-Modified-Since is not
                             older than Last-Modified. An ETag or Last-Modified given in put()'s
                             headers is the one compared.
    anything else            404 with a small HTML page

    with StandInService(catalog=CATALOG) as service:
        service.put("/feed.xml", b"<rss>...</rss>")
        url = service.url("/feed.xml")
"""
import collections
import gzip
import os
import posixpath
import random
import socket
import struct
import threading
import time
import urllib.parse
import zlib

import service_app
from embedded_service import CATALOG, EmbeddedService, _Handler
from service_app import NOT_FOUND_PAGE

FAULTS = ("refuse", "stall", "404", "garbage", "big-picture", "wide-picture", "huge-feed", "429", "503",
          "gzip", "deflate", "503-twice")
REDIRECTS = (301, 302, 303, 307, 308)

ERROR_PAGES = {
    429: b"<html><head><title>429 Too Many Requests</title></head><body><h1>Too Many Requests</h1></body></html>",
    503: b"<html><head><title>503 Service Unavailable</title></head><body><h1>Service Unavailable</h1></body></html>",
}


class _Discard:
    """Takes what a reset connection would have sent."""

    closed = False

    def close(self):
        pass

    def write(self, data):
        return len(data)

    def flush(self):
        pass


class _StandInHandler(_Handler):
    """Answers with the faults, redirects and misbehaving paths first."""

    def serve(self, path, send_body):
        service = self.server.service
        fault, retry_after = service._fault_of(path)
        if fault == "refuse":
            # Reset the connection: no answer at all.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.close_connection = True
            self.wfile = _Discard()
            return
        if fault == "stall":
            service._stall()
            return
        if fault == "404":
            return self._send(404, NOT_FOUND_PAGE, "text/html", send_body)
        if fault == "503-twice" and service._try_of(self.path) <= 2:
            fault = "503"
        if fault in ("429", "503"):
            return self._send(int(fault), ERROR_PAGES[int(fault)], "text/html", send_body,
                              [("Retry-After", str(retry_after))])
        if fault == "garbage":
            return self._send(200, service.garbage(), "image/jpeg", send_body)
        if fault == "big-picture":
            return self._send(200, service.big_picture(), "image/jpeg", send_body)
        if fault == "wide-picture":
            return self._send(200, service.wide_picture(), "image/png", send_body)
        if fault == "huge-feed":
            return self._send(200, service.huge_feed(), "text/xml", send_body)
        moved = service._redirect_of(path)
        if moved:
            status, location = moved
            return self._send(status, b"", "text/html", send_body, [("Location", location)])
        if path.startswith("/stall/"):
            service._stall()
            return
        if path.startswith("/stall-body/"):
            body = self._start_file(path[len("/stall-body"):], send_body)
            if body is None:
                return
            if send_body:
                self.wfile.write(body[: max(1, len(body) // 3)])
                self.wfile.flush()
            service._stall()
            return
        if path.startswith("/slow/"):
            body = self._start_file(path[len("/slow"):], send_body)
            if body is None:
                return
            if send_body:
                piece = max(1, len(body) // service.slow_pieces)
                for start in range(0, len(body), piece):
                    time.sleep(service.slow_pause)
                    self.wfile.write(body[start:start + piece])
                    self.wfile.flush()
            return
        status, headers, body = service._respond(self.command, path, self.path, self.headers)
        if fault in ("gzip", "deflate") and status == 200:
            headers, body = _encoded(fault, self.headers.get("Accept-Encoding", ""), headers, body)
        self._write(status, headers, body, send_body)

    def _start_file(self, path, send_body):
        """Sends the headers of a served file and returns its body; sends the 404 page and
        returns None when there is no such file."""
        found = self.server.service._find(path)
        if found is None:
            self._send(404, NOT_FOUND_PAGE, "text/html", send_body)
            return None
        body, content_type = found
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        return body


class StandInService(EmbeddedService):
    """The embedded service with what the tests need of other servers (see the top of this file)."""

    handler = _StandInHandler

    def __init__(self, root=None, port=0, stall_seconds=60.0, log_path=None, slow_pause=0.5, slow_pieces=6,
                 **options):
        self.root = os.path.abspath(root) if root else None
        self._faults = {}
        self._redirects = {}
        self._big = {}
        self.stall_seconds = stall_seconds
        self.slow_pause = slow_pause
        self.slow_pieces = slow_pieces
        self._documents = {}
        self._release = threading.Event()
        self._stopping = False
        super().__init__(port, log_path, **options)

    def fault(self, path, mode=None, retry_after=120):
        """Makes a path ("*" for every path) misbehave in one of FAULTS; None ends it. retry_after
        is the Retry-After of "429" and "503"."""
        if mode is not None and mode not in FAULTS:
            raise ValueError("unknown fault: %s" % mode)
        with self._lock:
            if mode is None:
                self._faults.pop(path, None)
            else:
                self._faults[path] = (mode, retry_after)
            self._tries = collections.Counter()  # of "503-twice"

    def redirect(self, path, location, status=301):
        """Answers path with a redirect to location; None ends it."""
        if location is not None and status not in REDIRECTS:
            raise ValueError("not a redirect status: %s" % status)
        with self._lock:
            if location is None:
                self._redirects.pop(path, None)
            else:
                self._redirects[path] = (status, self.address + location if location.startswith("/") else location)

    @staticmethod
    def garbage():
        return random.Random(7).randbytes(5000)

    def big_picture(self):
        """A picture of more than 64 KB whose first 64 KB hold the whole image: the sponsor JPEG
        followed by 100 KB of data after its end, as some editors leave behind."""
        if "picture" not in self._big:
            with open(os.path.join(self.catalog or CATALOG, "60x39.jpg"), "rb") as f:
                self._big["picture"] = f.read() + bytes(range(256)) * 400
        return self._big["picture"]

    def wide_picture(self):
        """A small file that claims a picture too big to decode: a PNG of 2001 x 39 pixels."""
        if "wide" not in self._big:
            self._big["wide"] = _png(2001, 39, (200, 30, 30), (30, 30, 200))
        return self._big["wide"]

    def huge_feed(self, size=10 * 1024 * 1024):
        """A well-formed RSS feed of about 10 MB."""
        if "feed" not in self._big:
            item = ("<item><title>Bulk item %d</title><link>" + self.url("/articles/bulk-%d.html") +
                    "</link><description>" + "All work and no play. " * 180 +
                    "</description><pubDate>Tue, 08 Dec 2026 10:00:00 GMT</pubDate></item>\n")
            parts = ['<?xml version="1.0" encoding="utf-8"?>\n<rss version="2.0"><channel><title>Huge feed</title>'
                     '<link>%s</link><description>ten megabytes</description>\n' % self.url("/")]
            total, n = len(parts[0]), 0
            while total < size:
                parts.append(item % (n, n))
                total += len(parts[-1])
                n += 1
            parts.append("</channel></rss>\n")
            self._big["feed"] = "".join(parts).encode("utf-8")
        return self._big["feed"]

    def stop(self):
        self._stopping = True
        self.release_stalls()
        super().stop()

    def put(self, path, body, content_type=None, headers=None):
        """Serves `body` (bytes or str, str is sent as UTF-8) under `path` from now on, with the
        extra response headers of the dict `headers`."""
        if isinstance(body, str):
            body = body.encode("utf-8")
        now = int(time.time())
        with self._lock:
            old = self._documents.get(path)
            if old is not None and old[0] != body and old[2] >= now:
                now = old[2] + 1  # a changed document is never as old as the one it replaces
            elif old is not None and old[0] == body:
                now = old[2]
            self._documents[path] = (body, content_type or service_app.content_type(path), now,
                                     list((headers or {}).items()))

    def remove(self, path):
        with self._lock:
            self._documents.pop(path, None)

    def release_stalls(self):
        """Lets the requests stalled so far end (their connections close without an answer)."""
        with self._lock:
            release, self._release = self._release, threading.Event()
        release.set()

    def _fault_of(self, path):
        with self._lock:
            return self._faults.get(path) or self._faults.get("*") or (None, None)

    def _try_of(self, target):
        """How many times this path and query has been asked for since the last fault()."""
        with self._lock:
            self._tries[target] += 1
            return self._tries[target]

    def _redirect_of(self, path):
        with self._lock:
            return self._redirects.get(path)

    def _stall(self):
        with self._lock:
            release = self._release
        if not self._stopping:
            release.wait(self.stall_seconds)

    def _respond(self, method, path, target, request_headers):
        """(status, headers, body) of a request: a put document, the application, a root file."""
        with self._lock:
            document = self._documents.get(path) if path != "/clicks.php" else None
        if document is not None:
            body, content_type, modified, extra = document
            return service_app.document_answer(method, request_headers, body, content_type, modified, extra)
        status, headers, body = super()._respond(method, path, target, request_headers)
        if status == 404 and self.root:
            found = self._root_file(path)
            if found is not None:
                return service_app.document_answer(method, request_headers, *found)
        return status, headers, body

    def _root_file(self, path):
        relative = posixpath.normpath(urllib.parse.unquote(path)).lstrip("/")
        if relative in ("", ".") or relative.startswith(".."):
            return None
        full = os.path.realpath(os.path.join(self.root, relative))
        if not full.startswith(os.path.realpath(self.root) + os.sep) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read(), service_app.content_type(full), os.stat(full).st_mtime

    def _find(self, path):
        """(body, content type) of what a GET of path would be answered with, or None for a 404."""
        status, headers, body = self._respond("GET", path, path, {})
        if status != 200:
            return None
        return body, dict(headers).get("Content-Type", "application/octet-stream")


def _accepts(accept_encoding, coding):
    """Whether an Accept-Encoding value accepts the coding (by name or "*", with a q above 0)."""
    named = star = None
    for part in accept_encoding.split(","):
        name, _, params = part.strip().partition(";")
        q = 1.0
        for param in params.split(";"):
            key, _, value = param.strip().partition("=")
            if key.strip().lower() == "q":
                try:
                    q = float(value)
                except ValueError:
                    q = 0.0
        name = name.strip().lower()
        if name == coding or (coding == "gzip" and name == "x-gzip"):
            named = q
        elif name == "*":
            star = q
    return (named if named is not None else (star or 0.0)) > 0


def _encoded(coding, accept_encoding, headers, body):
    """The headers and body of an answer, encoded with coding when the request accepts it."""
    names = [name.lower() for name, _ in headers]
    if "content-encoding" in names:
        return headers, body
    headers = [(n, v) for n, v in headers if n.lower() != "vary"] + [("Vary", "Accept-Encoding")]
    if not _accepts(accept_encoding, coding) or not body:
        return headers, body
    body = gzip.compress(body, mtime=0) if coding == "gzip" else zlib.compress(body)
    changed = []
    for name, value in headers:
        if name.lower() == "content-length":
            value = str(len(body))
        elif name.lower() == "etag" and not value.startswith("W/"):
            value = "W/" + value
        changed.append((name, value))
    return changed + [("Content-Encoding", coding)], body


def _png(width, height, top, bottom):
    """A PNG whose upper half has one colour and whose lower half another."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(top if y < height // 2 else bottom) * width for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
