"""A local stand-in for the service web server and for the web servers of feeds.

Serves the files of a folder (and documents put into it from Python) over HTTP on the loopback
interface only, and offers the behaviours that the tests need from a real server:

    /<file>                  the file from the root folder, or a document put() under that path
    /stall/<anything>        reads the request and never answers (until released or stopped)
    /stall-body/<file>       sends the headers and the first part of the file, then stalls
    /slow/<file>             sends the file in small pieces, with a pause before each
    /clicks.php?...          the service's view and click reports: logged, answered with nothing
    anything else            404 with a small HTML page

Used as a library by the tests:

    with DemoService(root) as service:
        service.put("/feed.xml", b"<rss>...</rss>")
        url = service.url("/feed.xml")

and from the command line:

    python3 tools/demo_service.py --port 8080 --root DIR [--log FILE]
"""
import argparse
import http.server
import mimetypes
import os
import posixpath
import sys
import threading
import time
import urllib.parse

LOOPBACK = "127.0.0.1"

NOT_FOUND_PAGE = (b"<html><head><title>404 Not Found</title></head>"
                  b"<body><h1>Not Found</h1><p>The requested URL was not found on this server.</p></body></html>")

CONTENT_TYPES = {".xml": "text/xml", ".rss": "text/xml", ".jpg": "image/jpeg", ".png": "image/png",
                 ".html": "text/html", ".txt": "text/plain"}


class _Handler(http.server.BaseHTTPRequestHandler):
    server_version = "DemoService/1.0"

    def log_message(self, format, *args):  # the requests are recorded, not printed
        pass

    def do_HEAD(self):
        self._answer(send_body=False)

    def do_GET(self):
        self._answer(send_body=True)

    def _answer(self, send_body):
        service = self.server.service
        service._record(self.command, self.path)
        path = urllib.parse.urlsplit(self.path).path
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
        if path == "/clicks.php":
            return self._send(200, b"", "text/html", send_body)
        found = service._find(path)
        if found is None:
            return self._send(404, NOT_FOUND_PAGE, "text/html", send_body)
        body, content_type = found
        self._send(200, body, content_type, send_body)

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

    def _send(self, status, body, content_type, send_body):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache")
        self.end_headers()
        if send_body:
            self.wfile.write(body)


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class DemoService:
    """The server, run on a thread of its own. Binds to 127.0.0.1 only; port 0 picks a free one."""

    def __init__(self, root=None, port=0, stall_seconds=60.0, log_path=None, slow_pause=0.5, slow_pieces=6):
        self.root = os.path.abspath(root) if root else None
        self.stall_seconds = stall_seconds
        self.slow_pause = slow_pause
        self.slow_pieces = slow_pieces
        self.log_path = log_path
        self._documents = {}
        self._lock = threading.Lock()
        self._requests = []
        self._release = threading.Event()
        self._stopping = False
        self._server = _Server((LOOPBACK, port), _Handler)
        self._server.service = self
        self._thread = None

    @property
    def port(self):
        return self._server.server_address[1]

    def url(self, path="/"):
        return "http://%s:%d%s" % (LOOPBACK, self.port, path)

    def start(self):
        self._thread = threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.1},
                                        daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self._stopping = True
        self.release_stalls()
        self._server.shutdown()
        self._server.server_close()
        if self._thread:
            self._thread.join(timeout=10)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def put(self, path, body, content_type=None):
        """Serves `body` (bytes or str, str is sent as UTF-8) under `path` from now on."""
        if isinstance(body, str):
            body = body.encode("utf-8")
        with self._lock:
            self._documents[path] = (body, content_type or _content_type(path))

    def remove(self, path):
        with self._lock:
            self._documents.pop(path, None)

    def requests(self):
        """(method, path and query) of every request so far, in order."""
        with self._lock:
            return list(self._requests)

    def clicks(self):
        """The queries of the view and click reports so far."""
        return [urllib.parse.urlsplit(path).query for _, path in self.requests()
                if urllib.parse.urlsplit(path).path == "/clicks.php"]

    def release_stalls(self):
        """Lets the requests stalled so far end (their connections close without an answer)."""
        with self._lock:
            release, self._release = self._release, threading.Event()
        release.set()

    def _record(self, method, path):
        with self._lock:
            self._requests.append((method, path))
        if self.log_path:
            with open(self.log_path, "a", encoding="utf-8") as log:
                log.write("%s %s %s\n" % (time.strftime("%Y-%m-%d %H:%M:%S"), method, path))

    def _stall(self):
        with self._lock:
            release = self._release
        if not self._stopping:
            release.wait(self.stall_seconds)

    def _find(self, path):
        with self._lock:
            if path in self._documents:
                return self._documents[path]
        if not self.root:
            return None
        relative = posixpath.normpath(urllib.parse.unquote(path)).lstrip("/")
        if relative in ("", ".") or relative.startswith(".."):
            return None
        full = os.path.realpath(os.path.join(self.root, relative))
        if not full.startswith(os.path.realpath(self.root) + os.sep) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read(), _content_type(full)


def _content_type(path):
    extension = os.path.splitext(path)[1].lower()
    return CONTENT_TYPES.get(extension) or mimetypes.guess_type(path)[0] or "application/octet-stream"


def main(argv=None):
    parser = argparse.ArgumentParser(description="Local stand-in for the service web server (127.0.0.1 only).")
    parser.add_argument("--port", type=int, default=8080, help="port on 127.0.0.1 (0 picks a free one)")
    parser.add_argument("--root", default=".", help="folder whose files are served")
    parser.add_argument("--log", default=None, help="file that every request is appended to")
    parser.add_argument("--stall-seconds", type=float, default=60.0, help="how long a /stall/ request is held")
    args = parser.parse_args(argv)
    service = DemoService(args.root, args.port, args.stall_seconds, args.log).start()
    print("serving %s on %s" % (service.root, service.url("/")), flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass
    finally:
        service.stop()


if __name__ == "__main__":
    sys.exit(main())
