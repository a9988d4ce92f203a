"""The reference service, embedded: one command, reports in SQLite, listening on 127.0.0.1 only. It
serves the service's WSGI application (tools/service_app.py: the preset list, the channels' sample
feeds, the sponsor picture, the articles, the view and click reports at /clicks.php, each answered
once stored, /healthz and /metrics; 405 to methods other than GET and HEAD), and it is also a
stand-in for the web servers of feeds, with the behaviours of real servers for the tests.

The server keeps itself whole under load and hostile clients: a listen backlog of 512; a pool of
`threads` (32) threads that serve the connections, where a connection waits for its first bytes
without holding a thread; at most `queue_limit` (512) connections held at once, waiting or served
(beyond that a new connection gets a 503 with "Retry-After: 1" and is closed, counted in
busy_refusals); a time-out of `connection_timeout` (20 s) for the first bytes and for every read
and write after them; a 400 page for a path that is no path (a NUL or other control character once
decoded, bad UTF-8); and bounded records: requests() keeps the newest `record_limit` (10000)
requests, and the --log file is moved to FILE.1 when it passes `log_limit` bytes (1 MB), so that it
takes at most about twice that.

For the tests it also serves the files of a root folder and the documents put() from Python, and,
only when made with test_endpoints=True (the tests' stand-in; never the command, where a few
stalled requests would hold every thread), three paths that misbehave:

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
    responses()              every request so far, in order, as Response(method, path, status,
                             headers): the path with its query as sent, the status answered (None
                             while unanswered, and for one reset, stalled or timed out without an
                             answer), and the request's headers (an http.client.HTTPMessage, whose
                             get() ignores case). statuses(path) gives the statuses of one path.
    tls=(certfile, keyfile)  serves https instead, still on 127.0.0.1: url() and address then give
                             "https://localhost:PORT", the name a certificate for localhost carries
                             (tools/testca.py makes one); requests() and the rest are unchanged.
    anything else            404 with a small HTML page

Used as a library by the tests:

    with DemoService(catalog=CATALOG, test_endpoints=True) as service:
        service.put("/feed.xml", b"<rss>...</rss>")
        url = service.url("/feed.xml")

and from the command line:

    python3 tools/demo_service.py [--port 8080] [--catalog tools/service] [--db reports.sqlite]
                                  [--fault PATH=MODE ...] [--root DIR] [--log FILE]

--db takes an SQLite file or a PostgreSQL connection string (then run it with /usr/bin/python3,
whose python3-psycopg2 it needs).
"""
import argparse
import collections
import gzip
import http.server
import io
import os
import posixpath
import queue
import random
import selectors
import signal
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import urllib.parse
import zlib

import service_app
from service_app import CATALOG, CHANNELS, NOT_FOUND_PAGE  # noqa: F401 (part of this module's API)

LOOPBACK = "127.0.0.1"
TLS_HOST = "localhost"  # the name an https client checks the certificate against
FAULTS = ("refuse", "stall", "404", "garbage", "big-picture", "wide-picture", "huge-feed", "429", "503",
          "gzip", "deflate", "503-twice")
REDIRECTS = (301, 302, 303, 307, 308)
BACKLOG = 512

Response = collections.namedtuple("Response", "method path status headers")

ERROR_PAGES = {
    429: b"<html><head><title>429 Too Many Requests</title></head><body><h1>Too Many Requests</h1></body></html>",
    503: b"<html><head><title>503 Service Unavailable</title></head><body><h1>Service Unavailable</h1></body></html>",
    500: b"<html><head><title>500 Internal Server Error</title></head><body><h1>Internal Server Error</h1></body></html>",
}
BUSY_ANSWER = (b"HTTP/1.0 503 Service Unavailable\r\nRetry-After: 1\r\nContent-Type: text/plain\r\n"
               b"Content-Length: 0\r\nConnection: close\r\n\r\n")


class _Discard:
    """Takes what a reset connection would have sent."""

    closed = False

    def close(self):
        pass

    def write(self, data):
        return len(data)

    def flush(self):
        pass


class _Handler(http.server.BaseHTTPRequestHandler):
    server_version = "DemoService/1.0"

    def setup(self):
        self.timeout = self.server.connection_timeout
        super().setup()

    def log_message(self, format, *args):  # the requests are recorded, not printed
        pass

    def do_HEAD(self):
        self._guarded(send_body=False)

    def do_GET(self):
        self._guarded(send_body=True)

    def __getattr__(self, name):
        # Any other method: 405, as the application answers it.
        if name.startswith("do_"):
            return self._not_allowed
        raise AttributeError(name)

    def _not_allowed(self):
        self._entry = self.server.service._record(self.command, self.path, self.headers)
        self.close_connection = True  # a body it may have sent is not read
        self._write(405, [("Allow", "GET, HEAD"), ("Content-Type", "text/plain"), ("Content-Length", "0")], b"",
                    False)

    _entry = None  # the record of the request, once it has been read

    def send_response(self, code, message=None):
        if self._entry is not None:
            self._entry[2] = code
        super().send_response(code, message)

    def _guarded(self, send_body):
        self._entry = self.server.service._record(self.command, self.path, self.headers)
        try:
            self._answer(send_body)
        except (ConnectionError, TimeoutError):
            self.close_connection = True
        except Exception:
            # A fault of ours: the client still gets an answer, and the traceback goes to stderr.
            self.close_connection = True
            if self._entry[2] is None:
                self._send(500, ERROR_PAGES[500], "text/html", send_body)
            raise

    def _answer(self, send_body):
        service = self.server.service
        if service_app.request_path(self.path) is None:
            return self._send(400, service_app.BAD_REQUEST_PAGE, "text/html", send_body)
        path = _raw_path(self.path)
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
        if service.test_endpoints and path.startswith("/stall/"):
            service._stall()
            return
        if service.test_endpoints and path.startswith("/stall-body/"):
            body = self._start_file(path[len("/stall-body"):], send_body)
            if body is None:
                return
            if send_body:
                self.wfile.write(body[: max(1, len(body) // 3)])
                self.wfile.flush()
            service._stall()
            return
        if service.test_endpoints and path.startswith("/slow/"):
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

    def _send(self, status, body, content_type, send_body, extra=()):
        headers = [("Content-Type", content_type), ("Content-Length", str(len(body))),
                   ("Cache-Control", "no-cache")] + list(extra)
        self._write(status, headers, body, send_body)

    def _write(self, status, headers, body, send_body):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if send_body and body:
            self.wfile.write(body)


class _Server(socketserver.TCPServer):
    """A TCP server whose connections are served by a fixed pool of threads. An accepted connection
    waits, costing no thread, until its first bytes arrive (or its time-out passes, and it is
    closed); then it waits for a free thread. At most queue_limit connections are held so."""

    allow_reuse_address = True
    request_queue_size = BACKLOG

    def __init__(self, address, threads, queue_limit, connection_timeout, tls_context):
        self.connection_timeout = connection_timeout
        self.tls_context = tls_context
        self.queue_limit = queue_limit
        self.busy_refusals = 0
        self._held = 0  # connections accepted and not yet done with
        self._held_lock = threading.Lock()
        self._arrived = queue.SimpleQueue()  # accepted, for the watcher to register
        self._ready = queue.Queue()  # readable, for the pool
        self._closing = False
        super().__init__(address, _Handler)
        self._wake_read, self._wake_write = socket.socketpair()
        self._threads = [threading.Thread(target=self._watch, name="demo-service-watch", daemon=True)]
        self._threads += [threading.Thread(target=self._work, name="demo-service-%d" % i, daemon=True)
                          for i in range(threads)]
        for thread in self._threads:
            thread.start()

    def process_request(self, request, client_address):
        with self._held_lock:
            full = self._held >= self.queue_limit
            if not full:
                self._held += 1
        if full:
            self.busy_refusals += 1
            self._refuse(request)
            return
        self._arrived.put((request, client_address, time.monotonic()))
        self._wake()

    def _wake(self):
        try:
            self._wake_write.send(b"x")
        except OSError:
            pass

    def _refuse(self, request):
        """Too many connections held: a short 503, written without waiting, and close."""
        try:
            request.setblocking(False)
            if self.tls_context is None:
                request.send(BUSY_ANSWER)
            request.shutdown(socket.SHUT_WR)
        except OSError:
            pass
        request.close()

    def _done(self, request):
        with self._held_lock:
            self._held -= 1
        try:
            request.close()
        except OSError:
            pass

    def _watch(self):
        """Hands connections to the pool once they have something to read; closes the silent ones."""
        waiting = selectors.DefaultSelector()
        waiting.register(self._wake_read, selectors.EVENT_READ)
        while not self._closing:
            for key, _ in waiting.select(timeout=0.1):
                if key.fileobj is self._wake_read:
                    self._wake_read.recv(4096)
                    continue
                waiting.unregister(key.fileobj)
                self._ready.put(key.data[:2])
            while True:
                try:
                    request, client_address, since = self._arrived.get_nowait()
                except queue.Empty:
                    break
                waiting.register(request, selectors.EVENT_READ, (request, client_address, since))
            now = time.monotonic()
            for key in list(waiting.get_map().values()):
                if key.data and now - key.data[2] > self.connection_timeout:
                    waiting.unregister(key.fileobj)
                    self._done(key.fileobj)
        for key in list(waiting.get_map().values()):
            if key.data:
                self._done(key.fileobj)
        waiting.close()

    def _work(self):
        while True:
            item = self._ready.get()
            if item is None:
                return
            request, client_address = item
            try:
                if self.tls_context is not None:
                    request.settimeout(self.connection_timeout)
                    request = self.tls_context.wrap_socket(request, server_side=True)
                self.finish_request(request, client_address)
            except (OSError, ssl.SSLError):
                pass  # a client that went away or failed its handshake
            except Exception:
                self.handle_error(request, client_address)
            finally:
                try:
                    request.shutdown(socket.SHUT_WR)
                except OSError:
                    pass
                self._done(request)

    def server_close(self):
        super().server_close()
        self._closing = True
        self._wake()
        self._threads[0].join(timeout=10)
        while True:  # connections still waiting for a thread are closed unanswered
            try:
                item = self._ready.get_nowait()
            except queue.Empty:
                break
            if item is not None:
                self._done(item[0])
        for _ in self._threads[1:]:
            self._ready.put(None)
        for thread in self._threads[1:]:
            thread.join(timeout=10)
        self._wake_read.close()
        self._wake_write.close()


class DemoService:
    """The server, run on a thread of its own. Binds to 127.0.0.1 only; port 0 picks a free one.
    database: an SQLite file (memory without one) or a PostgreSQL connection string."""

    def __init__(self, root=None, port=0, stall_seconds=60.0, log_path=None, slow_pause=0.5, slow_pieces=6,
                 catalog=None, database=None, preset_line_end="\n", tls=None, threads=32, queue_limit=512,
                 connection_timeout=20.0, record_limit=10000, log_limit=1000000, bind=LOOPBACK,
                 test_endpoints=False):
        self.root = os.path.abspath(root) if root else None
        self.catalog = os.path.abspath(catalog) if catalog else None
        self.preset_line_end = preset_line_end
        self._faults = {}
        self._redirects = {}
        self._big = {}
        self.test_endpoints = test_endpoints  # /stall/, /stall-body/ and /slow/
        self.stall_seconds = stall_seconds
        self.slow_pause = slow_pause
        self.slow_pieces = slow_pieces
        self.log_path = log_path
        self.log_limit = log_limit
        self._documents = {}
        self._lock = threading.Lock()
        self._log_lock = threading.Lock()
        self._requests = collections.deque(maxlen=record_limit)
        self._release = threading.Event()
        self._stopping = False
        self.tls = tls
        context = None
        if tls:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*tls)
        self._bind = bind
        self._server = _Server((bind, port), threads, queue_limit, connection_timeout, context)
        self._server.service = self
        self.app = service_app.ServiceApp(self.catalog, database, self.address, preset_line_end)
        self._thread = None

    @property
    def port(self):
        return self._server.server_address[1]

    def url(self, path="/"):
        return self.address + path

    @property
    def address(self):
        """The service's base address, as Lullcast takes it from LULLCAST_SERVICE_URL."""
        if self.tls:
            return "https://%s:%d" % (TLS_HOST, self.port)
        return "http://%s:%d" % (self._bind, self.port)

    @property
    def busy_refusals(self):
        """How many connections were answered 503 because every thread was busy and the queue full."""
        return self._server.busy_refusals

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

    def reports(self):
        """The recorded view and click reports so far, oldest first, as dicts."""
        return self.app.store.reports()

    def count(self, path):
        """How many requests asked for this path (query left out)."""
        return sum(1 for _, p in self.requests() if urllib.parse.urlsplit(p).path == path)

    def preset_list(self):
        """The preset feed list of the catalog, one section per channel."""
        return self.app.preset_list(self.address)

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

    def start(self):
        self._thread = threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.1},
                                        daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self._stopping = True
        self.release_stalls()
        if self._thread:
            self._server.shutdown()
        self._server.server_close()
        if self._thread:
            self._thread.join(timeout=10)
        self.app.close()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

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

    def requests(self):
        """(method, path and query) of every request so far, in order."""
        with self._lock:
            return [(entry[0], entry[1]) for entry in self._requests]

    def responses(self):
        """Response(method, path, status, headers) of every request so far, in order."""
        with self._lock:
            return [Response(*entry) for entry in self._requests]

    def statuses(self, path):
        """The statuses answered to the requests for this path (query left out), in order."""
        return [r.status for r in self.responses() if urllib.parse.urlsplit(r.path).path == path]

    def clicks(self):
        """The queries of the view and click reports so far."""
        return [urllib.parse.urlsplit(path).query for _, path in self.requests()
                if urllib.parse.urlsplit(path).path == "/clicks.php"]

    def release_stalls(self):
        """Lets the requests stalled so far end (their connections close without an answer)."""
        with self._lock:
            release, self._release = self._release, threading.Event()
        release.set()

    def _record(self, method, path, headers):
        entry = [method, path, None, headers]
        with self._lock:
            self._requests.append(entry)
        if self.log_path:
            self._log("%s %s %s\n" % (time.strftime("%Y-%m-%d %H:%M:%S"), method, path))
        return entry

    def _log(self, line):
        with self._log_lock:
            with open(self.log_path, "a", encoding="utf-8", errors="backslashreplace") as log:
                log.write(line)
                full = log.tell() >= self.log_limit
            if full:
                os.replace(self.log_path, self.log_path + ".1")

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
        status, headers, body = self._call_app(method, target, request_headers)
        if status == 404 and self.root:
            found = self._root_file(path)
            if found is not None:
                return service_app.document_answer(method, request_headers, *found)
        return status, headers, body

    def _call_app(self, method, target, request_headers):
        """Runs the WSGI application for one request."""
        raw, _, query = target.partition("?")
        environ = {"REQUEST_METHOD": method, "SCRIPT_NAME": "", "RAW_URI": target, "QUERY_STRING": query,
                   "PATH_INFO": urllib.parse.unquote(raw).encode("utf-8", "surrogateescape").decode("latin-1"),
                   "SERVER_NAME": self._bind, "SERVER_PORT": str(self.port), "SERVER_PROTOCOL": "HTTP/1.0",
                   "wsgi.version": (1, 0), "wsgi.url_scheme": "https" if self.tls else "http",
                   "wsgi.input": io.BytesIO(), "wsgi.errors": sys.stderr, "wsgi.multithread": True,
                   "wsgi.multiprocess": False, "wsgi.run_once": False}
        for name, value in request_headers.items():
            key = name.upper().replace("-", "_")
            environ[key if key in ("CONTENT_TYPE", "CONTENT_LENGTH") else "HTTP_" + key] = value
        answer = {}

        def start_response(status, headers, exc_info=None):
            answer["status"], answer["headers"] = int(status.split()[0]), headers

        chunks = self.app(environ, start_response)
        body = b"".join(chunks)
        if method == "HEAD":  # the application leaves the body out; the handler does the same
            body = b""
        return answer["status"], answer["headers"], body

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


def unused_port():
    """A port on 127.0.0.1 that nothing listens on just now."""
    with socket.socket() as s:
        s.bind((LOOPBACK, 0))
        return s.getsockname()[1]


def wait_for_port(port, process=None, timeout=30):
    """Waits until something accepts connections on 127.0.0.1:port (a started server, whose
    Popen `process` must not end meanwhile)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if process is not None and process.poll() is not None:
            raise RuntimeError("the server ended with %s" % process.returncode)
        try:
            socket.create_connection((LOOPBACK, port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError("nothing listens on %d" % port)


def _raw_path(target):
    return urllib.parse.urlsplit(target).path


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


def main(argv=None):
    parser = argparse.ArgumentParser(description="Lullcast's reference service (listens on 127.0.0.1 only"
                                                 " unless --bind names another address).")
    parser.add_argument("--port", type=int, default=8080, help="port (0 picks a free one)")
    parser.add_argument("--bind", default=LOOPBACK, help="the address to listen on (127.0.0.1)")
    parser.add_argument("--catalog", default=CATALOG, help="folder of the sample feeds and the sponsor picture")
    parser.add_argument("--db", default="reports.sqlite",
                        help="SQLite file, or PostgreSQL connection string, that records the reports")
    parser.add_argument("--root", default=None, help="a folder whose files are served as well")
    parser.add_argument("--log", default=None, help="file that every request is appended to")
    parser.add_argument("--log-limit", type=int, default=1000000, help="bytes after which --log moves to FILE.1")
    parser.add_argument("--threads", type=int, default=32, help="threads that serve the connections")
    parser.add_argument("--stall-seconds", type=float, default=60.0, help="how long a stalled request is held")
    parser.add_argument("--fault", action="append", default=[], metavar="PATH=MODE",
                        help="make a path misbehave: " + ", ".join(FAULTS))
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"), help="serve https with this certificate")
    args = parser.parse_args(argv)
    signal.signal(signal.SIGTERM, signal.default_int_handler)  # a TERM ends it as Ctrl+C does, reports written
    service = DemoService(args.root, args.port, args.stall_seconds, args.log, catalog=args.catalog,
                          database=args.db, tls=tuple(args.tls) if args.tls else None, threads=args.threads,
                          log_limit=args.log_limit, bind=args.bind).start()
    for fault in args.fault:
        path, _, mode = fault.partition("=")
        service.fault(path, mode)
    where = "PostgreSQL" if service_app.service_store.is_postgresql(args.db) else args.db
    print("Lullcast reference service on %s (reports in %s); run Lullcast with LULLCAST_SERVICE_URL=%s"
          % (service.address, where, service.address), flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass
    finally:
        service.stop()


if __name__ == "__main__":
    sys.exit(main())
