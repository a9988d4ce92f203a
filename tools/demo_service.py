"""The reference service: a local service web server for Lullcast, and a stand-in for the web
servers of feeds. It listens on the loopback interface (127.0.0.1) only.

With a catalog folder (tools/service) it is the whole service:

    /                        a home page
    /preset_feeds.xml        the preset feed list: one section per channel, in the program's order,
                             listing the feeds of the catalog's feeds/ folder whose names begin with
                             the channel's name (news-1.xml, news-2.xml, sports-1.xml, ...)
    /feeds/<file>            a sample feed; "{{service}}" in it becomes the service's address
    /articles/<name>         a page for every item link of the sample feeds
    /60x39.jpg               the sponsor picture
    /clicks.php?...          the view and click reports, recorded in an SQLite file (table
                             "reports": time, action, feed, url, query) and answered with nothing.
                             They come unescaped, so "url" is everything after the first "&url="
                             and "feed" everything between "feed=" and that.

For the tests it also serves the files of a root folder and documents put() from Python, and
offers the behaviours of real servers:

    /stall/<anything>        reads the request and never answers (until released or stopped)
    /stall-body/<file>       sends the headers and the first part of the file, then stalls
    /slow/<file>             sends the file in small pieces, with a pause before each
    fault(path, mode)        makes one path (or "*", every path) misbehave: "refuse" (the
                             connection is reset without an answer), "stall", "404" (an HTML page),
                             "garbage" (random bytes instead of a picture), "big-picture" (a picture
                             of more than 64 KB), "wide-picture" (a PNG of 2001 x 39 pixels), "huge-feed" (a feed of 10 MB)
    anything else            404 with a small HTML page

Used as a library by the tests:

    with DemoService(catalog=CATALOG) as service:
        service.put("/feed.xml", b"<rss>...</rss>")
        url = service.url("/feed.xml")

and from the command line:

    python3 tools/demo_service.py [--port 8080] [--catalog tools/service] [--db reports.sqlite]
                                  [--fault PATH=MODE ...] [--root DIR] [--log FILE]
"""
import argparse
import html
import http.server
import mimetypes
import os
import posixpath
import random
import socket
import sqlite3
import struct
import sys
import threading
import time
import urllib.parse
import zlib

LOOPBACK = "127.0.0.1"
CATALOG = os.path.join(os.path.dirname(os.path.abspath(__file__)), "service")
CHANNELS = [("news", "News"), ("sports", "Sports"), ("entertainment", "Entertainment"),
            ("technology", "Technology"), ("business", "Business & Finance"), ("health", "Health"),
            ("travel", "Travel"), ("politics", "Politics")]
FAULTS = ("refuse", "stall", "404", "garbage", "big-picture", "wide-picture", "huge-feed")

NOT_FOUND_PAGE = (b"<html><head><title>404 Not Found</title></head>"
                  b"<body><h1>Not Found</h1><p>The requested URL was not found on this server.</p></body></html>")

CONTENT_TYPES = {".xml": "text/xml", ".rss": "text/xml", ".jpg": "image/jpeg", ".png": "image/png",
                 ".html": "text/html", ".txt": "text/plain"}


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
        fault = service._fault_of(path)
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
        if fault == "garbage":
            return self._send(200, service.garbage(), "image/jpeg", send_body)
        if fault == "big-picture":
            return self._send(200, service.big_picture(), "image/jpeg", send_body)
        if fault == "wide-picture":
            return self._send(200, service.wide_picture(), "image/png", send_body)
        if fault == "huge-feed":
            return self._send(200, service.huge_feed(), "text/xml", send_body)
        if path == "/clicks.php":
            service._report(self.path)
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
        self._send(200, body, content_type, send_body, service._headers_of(path))

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

    def _send(self, status, body, content_type, send_body, headers=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache")
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.end_headers()
        if send_body:
            self.wfile.write(body)


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class DemoService:
    """The server, run on a thread of its own. Binds to 127.0.0.1 only; port 0 picks a free one."""

    def __init__(self, root=None, port=0, stall_seconds=60.0, log_path=None, slow_pause=0.5, slow_pieces=6,
                 catalog=None, database=None, preset_line_end="\n"):
        self.root = os.path.abspath(root) if root else None
        self.catalog = os.path.abspath(catalog) if catalog else None
        self.preset_line_end = preset_line_end
        self._faults = {}
        self._big = {}
        self._db = sqlite3.connect(database or ":memory:", check_same_thread=False)
        self._db.execute("CREATE TABLE IF NOT EXISTS reports (id INTEGER PRIMARY KEY, time TEXT, action TEXT,"
                         " feed TEXT, url TEXT, query TEXT)")
        self._db.commit()
        self.stall_seconds = stall_seconds
        self.slow_pause = slow_pause
        self.slow_pieces = slow_pieces
        self.log_path = log_path
        self._documents = {}
        self._headers = {}
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

    @property
    def address(self):
        """The service's base address, as Lullcast takes it from LULLCAST_SERVICE_URL."""
        return "http://%s:%d" % (LOOPBACK, self.port)

    def fault(self, path, mode=None):
        """Makes a path ("*" for every path) misbehave in one of FAULTS; None ends it."""
        if mode is not None and mode not in FAULTS:
            raise ValueError("unknown fault: %s" % mode)
        with self._lock:
            if mode is None:
                self._faults.pop(path, None)
            else:
                self._faults[path] = mode

    def reports(self):
        """The recorded view and click reports so far, oldest first, as dicts."""
        with self._lock:
            rows = self._db.execute("SELECT action, feed, url, query FROM reports ORDER BY id").fetchall()
        return [dict(zip(("action", "feed", "url", "query"), row)) for row in rows]

    def count(self, path):
        """How many requests asked for this path (query left out)."""
        return sum(1 for _, p in self.requests() if urllib.parse.urlsplit(p).path == path)

    def preset_list(self):
        """The preset feed list of the catalog, one section per channel."""
        end = self.preset_line_end
        feeds = sorted(os.listdir(os.path.join(self.catalog, "feeds"))) if self.catalog else []
        lines = []
        for key, name in CHANNELS:
            lines.append("[%s]" % name)
            lines += [self.url("/feeds/" + f) for f in feeds if f.startswith(key + "-")]
            lines.append("")
        return end.join(lines).encode("utf-8")

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
        self._server.shutdown()
        self._server.server_close()
        if self._thread:
            self._thread.join(timeout=10)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def put(self, path, body, content_type=None, headers=None):
        """Serves `body` (bytes or str, str is sent as UTF-8) under `path` from now on; `headers`,
        a dict, are extra response headers sent with it (say {"Content-Encoding": "gzip"})."""
        if isinstance(body, str):
            body = body.encode("utf-8")
        with self._lock:
            self._documents[path] = (body, content_type or _content_type(path))
            self._headers[path] = dict(headers or {})

    def remove(self, path):
        with self._lock:
            self._documents.pop(path, None)
            self._headers.pop(path, None)

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

    def _headers_of(self, path):
        with self._lock:
            return self._headers.get(path, {})

    def _fault_of(self, path):
        with self._lock:
            return self._faults.get(path) or self._faults.get("*")

    def _report(self, raw_path):
        """Records a view or click report. Its feed URL and link come unescaped: "url" is all after
        the first "&url=", "feed" all between "feed=" and that."""
        query = raw_path.split("?", 1)[1] if "?" in raw_path else ""
        head, has_url, url = query.partition("&url=")
        action = feed = None
        for field in head.split("&"):
            if field.startswith("action=") and action is None:
                action = field[len("action="):]
        if "feed=" in head:
            feed = head.split("feed=", 1)[1]
        with self._lock:
            self._db.execute("INSERT INTO reports (time, action, feed, url, query) VALUES (?, ?, ?, ?, ?)",
                             (time.strftime("%Y-%m-%d %H:%M:%S"), action, feed, url if has_url else None, query))
            self._db.commit()

    def _catalog(self, path):
        if not self.catalog:
            return None
        if path == "/preset_feeds.xml":
            return self.preset_list(), "text/plain"
        if path == "/":
            page = ("<html><head><title>Lullcast reference service</title></head><body><h1>Lullcast</h1>"
                    "<p>News while you wait. Channels: %s.</p></body></html>"
                    % html.escape(", ".join(name for _, name in CHANNELS)))
            return page.encode("utf-8"), "text/html"
        if path.startswith("/articles/"):
            name = html.escape(posixpath.basename(path))
            return ("<html><body><h1>%s</h1><p>A sample article of the reference service.</p></body></html>"
                    % name).encode("utf-8"), "text/html"
        relative = posixpath.normpath(urllib.parse.unquote(path)).lstrip("/")
        if relative.startswith("..") or relative not in ("60x39.jpg",) and not relative.startswith("feeds/"):
            return None
        full = os.path.realpath(os.path.join(self.catalog, relative))
        if not full.startswith(os.path.realpath(self.catalog) + os.sep) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            body = f.read()
        if relative.startswith("feeds/"):
            body = body.replace(b"{{service}}", self.address.encode())
        return body, _content_type(full)

    def _stall(self):
        with self._lock:
            release = self._release
        if not self._stopping:
            release.wait(self.stall_seconds)

    def _find(self, path):
        with self._lock:
            if path in self._documents:
                return self._documents[path]
        found = self._catalog(path)
        if found is not None or not self.root:
            return found
        relative = posixpath.normpath(urllib.parse.unquote(path)).lstrip("/")
        if relative in ("", ".") or relative.startswith(".."):
            return None
        full = os.path.realpath(os.path.join(self.root, relative))
        if not full.startswith(os.path.realpath(self.root) + os.sep) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read(), _content_type(full)


def _png(width, height, top, bottom):
    """A PNG whose upper half has one colour and whose lower half another."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(top if y < height // 2 else bottom) * width for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def _content_type(path):
    extension = os.path.splitext(path)[1].lower()
    return CONTENT_TYPES.get(extension) or mimetypes.guess_type(path)[0] or "application/octet-stream"


def main(argv=None):
    parser = argparse.ArgumentParser(description="Lullcast's reference service (listens on 127.0.0.1 only).")
    parser.add_argument("--port", type=int, default=8080, help="port on 127.0.0.1 (0 picks a free one)")
    parser.add_argument("--catalog", default=CATALOG, help="folder of the sample feeds and the sponsor picture")
    parser.add_argument("--db", default="reports.sqlite", help="SQLite file that records the reports")
    parser.add_argument("--root", default=None, help="a folder whose files are served as well")
    parser.add_argument("--log", default=None, help="file that every request is appended to")
    parser.add_argument("--stall-seconds", type=float, default=60.0, help="how long a stalled request is held")
    parser.add_argument("--fault", action="append", default=[], metavar="PATH=MODE",
                        help="make a path misbehave: " + ", ".join(FAULTS))
    args = parser.parse_args(argv)
    service = DemoService(args.root, args.port, args.stall_seconds, args.log, catalog=args.catalog,
                          database=args.db).start()
    for fault in args.fault:
        path, _, mode = fault.partition("=")
        service.fault(path, mode)
    print("Lullcast reference service on %s (reports in %s); run Lullcast with LULLCAST_SERVICE_URL=%s"
          % (service.address, args.db, service.address), flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass
    finally:
        service.stop()


if __name__ == "__main__":
    sys.exit(main())
