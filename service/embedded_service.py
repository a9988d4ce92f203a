"""The reference service, embedded: one command, reports in SQLite, listening on 127.0.0.1 only. It
serves the service's WSGI application (service_app.py: the preset list, the channels' sample
feeds, the sponsor picture, the articles, the view and click reports at /clicks.php, each answered
once stored, /healthz and /metrics; 405 to methods other than GET and HEAD).

The server keeps itself whole under load and hostile clients: a listen backlog of 512; a pool of
`threads` (32) threads that serve the connections, where a connection waits for its first bytes
without holding a thread; at most `queue_limit` (512) connections held at once, waiting or served
(beyond that a new connection gets a 503 with "Retry-After: 1" and is closed, counted in
busy_refusals); a time-out of `connection_timeout` (20 s) for the first bytes and for every read
and write after them; a 400 page for a path that is no path (a NUL or other control character once
decoded, bad UTF-8); and bounded records: requests() keeps the newest `record_limit` (10000)
requests, and the --log file is moved to FILE.1 when it passes `log_limit` bytes (1 MB), so that it
takes at most about twice that.

    tls=(certfile, keyfile)  serves https instead, still on 127.0.0.1: url() and address then give
                             "https://localhost:PORT", the name a certificate for localhost carries.
    requests(), responses()  every request so far, in order: (method, path and query), or
                             Response(method, path, status, headers) with the status answered (None
                             while unanswered, and for one that timed out without an answer) and the
                             request's headers (an http.client.HTTPMessage, whose get() ignores
                             case). statuses(path) gives the statuses of one path, count(path) how
                             many asked for it, clicks() the queries of the reports.

As a library:

    with EmbeddedService(catalog=CATALOG, database="reports.sqlite") as service:
        url = service.url("/preset_feeds.xml")

and from the command line:

    python3 service/embedded_service.py [--port 8080] [--catalog service/catalog] [--db reports.sqlite]
                                        [--log FILE]

--db takes an SQLite file or a PostgreSQL connection string (then run it with /usr/bin/python3,
whose python3-psycopg2 it needs).
"""
import argparse
import collections
import http.server
import io
import os
import queue
import selectors
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

import service_app
from service_app import CATALOG  # noqa: F401 (part of this module's API)

LOOPBACK = "127.0.0.1"
TLS_HOST = "localhost"  # the name an https client checks the certificate against
BACKLOG = 512

Response = collections.namedtuple("Response", "method path status headers")

SERVER_ERROR_PAGE = (b"<html><head><title>500 Internal Server Error</title></head>"
                     b"<body><h1>Internal Server Error</h1></body></html>")
BUSY_ANSWER = (b"HTTP/1.0 503 Service Unavailable\r\nRetry-After: 1\r\nContent-Type: text/plain\r\n"
               b"Content-Length: 0\r\nConnection: close\r\n\r\n")


class _Handler(http.server.BaseHTTPRequestHandler):
    """Answers one connection's requests with the service's answers; a subclass may answer some
    paths otherwise (serve())."""

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
                self._send(500, SERVER_ERROR_PAGE, "text/html", send_body)
            raise

    def _answer(self, send_body):
        if service_app.request_path(self.path) is None:
            return self._send(400, service_app.BAD_REQUEST_PAGE, "text/html", send_body)
        self.serve(urllib.parse.urlsplit(self.path).path, send_body)

    def serve(self, path, send_body):
        """Answers a request for a path (without its query) that passed the checks."""
        status, headers, body = self.server.service._respond(self.command, path, self.path, self.headers)
        self._write(status, headers, body, send_body)

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

    def __init__(self, address, handler, threads, queue_limit, connection_timeout, tls_context):
        self.connection_timeout = connection_timeout
        self.tls_context = tls_context
        self.queue_limit = queue_limit
        self.busy_refusals = 0
        self._held = 0  # connections accepted and not yet done with
        self._held_lock = threading.Lock()
        self._arrived = queue.SimpleQueue()  # accepted, for the watcher to register
        self._ready = queue.Queue()  # readable, for the pool
        self._closing = False
        super().__init__(address, handler)
        self._wake_read, self._wake_write = socket.socketpair()
        self._threads = [threading.Thread(target=self._watch, name="embedded-service-watch", daemon=True)]
        self._threads += [threading.Thread(target=self._work, name="embedded-service-%d" % i, daemon=True)
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


class EmbeddedService:
    """The server, run on a thread of its own. Binds to 127.0.0.1 only; port 0 picks a free one.
    database: an SQLite file (memory without one) or a PostgreSQL connection string."""

    handler = _Handler

    def __init__(self, port=0, log_path=None, catalog=None, database=None, preset_line_end="\n", tls=None,
                 threads=32, queue_limit=512, connection_timeout=20.0, record_limit=10000, log_limit=1000000,
                 bind=LOOPBACK):
        self.catalog = os.path.abspath(catalog) if catalog else None
        self.preset_line_end = preset_line_end
        self.log_path = log_path
        self.log_limit = log_limit
        self._lock = threading.Lock()
        self._log_lock = threading.Lock()
        self._requests = collections.deque(maxlen=record_limit)
        self.tls = tls
        context = None
        if tls:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*tls)
        self._bind = bind
        self._server = _Server((bind, port), self.handler, threads, queue_limit, connection_timeout, context)
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

    def reports(self):
        """The recorded view and click reports so far, oldest first, as dicts."""
        return self.app.store.reports()

    def count(self, path):
        """How many requests asked for this path (query left out)."""
        return sum(1 for _, p in self.requests() if urllib.parse.urlsplit(p).path == path)

    def preset_list(self):
        """The preset feed list of the catalog, one section per channel."""
        return self.app.preset_list(self.address)

    def start(self):
        self._thread = threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.1},
                                        daemon=True)
        self._thread.start()
        return self

    def stop(self):
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

    def _respond(self, method, path, target, request_headers):
        """(status, headers, body) of a request: the application's answer."""
        return self._call_app(method, target, request_headers)

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


def main(argv=None):
    parser = argparse.ArgumentParser(description="Lullcast's reference service (listens on 127.0.0.1 only"
                                                 " unless --bind names another address).")
    parser.add_argument("--port", type=int, default=8080, help="port (0 picks a free one)")
    parser.add_argument("--bind", default=LOOPBACK, help="the address to listen on (127.0.0.1)")
    parser.add_argument("--catalog", default=CATALOG, help="folder of the sample feeds and the sponsor picture")
    parser.add_argument("--db", default="reports.sqlite",
                        help="SQLite file, or PostgreSQL connection string, that records the reports")
    parser.add_argument("--log", default=None, help="file that every request is appended to")
    parser.add_argument("--log-limit", type=int, default=1000000, help="bytes after which --log moves to FILE.1")
    parser.add_argument("--threads", type=int, default=32, help="threads that serve the connections")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"), help="serve https with this certificate")
    args = parser.parse_args(argv)
    signal.signal(signal.SIGTERM, signal.default_int_handler)  # a TERM ends it as Ctrl+C does, reports written
    service = EmbeddedService(args.port, args.log, catalog=args.catalog, database=args.db,
                              tls=tuple(args.tls) if args.tls else None, threads=args.threads,
                              log_limit=args.log_limit, bind=args.bind).start()
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
