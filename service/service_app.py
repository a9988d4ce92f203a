"""The service's logic as one WSGI application, `ServiceApp`: what Lullcast asks of its service
web server, the same under the embedded server (service/embedded_service.py) and under gunicorn
(service/lullcast_wsgi.py).

    /                        a home page
    /preset_feeds.xml        the preset feed list (plain text, not XML): the catalogue's channels.txt,
                             one section "[Channel]" per channel with its feed addresses
    /feeds/<file>            a sample feed; "{{service}}" in it becomes the service's address
    /articles/<name>         a page for every item link of the sample feeds (any name answers)
    /60x39.jpg               the sponsor picture
    /clicks.php?...          a view or click report (GET only; HEAD is answered and not counted),
                             answered with an empty page once it is stored (service/service_store.py),
                             503 with Retry-After when the store cannot take it in time, 400 when a
                             field is too long (FIELD_LIMIT bytes) or holds a control character.
                             The program sends it unescaped, so "url" is all after the first
                             "&url=", and "feed" all between "feed=" and that. The query is read as
                             UTF-8; bytes that are not UTF-8 are stored percent-escaped ("%E9")
    /healthz                 200 "ok" when the store takes writes, 503 otherwise
    /metrics                 figures in the Prometheus text format: requests by path and status,
                             reports stored, refused and dropped, queue depth, commit latency
    anything else            404 with a small HTML page; a path that is not one (a NUL or another
                             control character once decoded, bad UTF-8, no leading "/") is a 400

Everything but the reports is static: `export` writes it into a folder for any web server
(service/deploy/nginx-lullcast.conf serves such a folder and passes the reports to gunicorn).
The catalogue is one folder (service/catalog by default, LULLCAST_CATALOG for gunicorn): channels.txt
(the channels and their feed addresses), 60x39.jpg (the sponsor picture), feeds/ (sample feeds).
The static answers carry an ETag and Last-Modified and answer If-None-Match and If-Modified-Since
with 304. Only GET and HEAD are served (405 otherwise).

    python3 service/service_app.py export --address http://news.example.org /srv/lullcast/www
"""
import argparse
import collections
import datetime
import email.utils
import hashlib
import html
import mimetypes
import os
import posixpath
import re
import sys
import threading
import time
import urllib.parse

import service_store

CATALOG = os.path.join(os.path.dirname(os.path.abspath(__file__)), "catalog")
SERVICE = "{{service}}"
OTHER = "Other feeds"
FIELD_LIMIT = 2048  # bytes of a feed address or a link
ACTION_LIMIT = 32
QUERY_LIMIT = 2 * FIELD_LIMIT + 256
REPORT_WAIT = 5.0  # seconds a report waits for its commit before it is answered 503
RETRY_AFTER = "5"

NOT_FOUND_PAGE = (b"<html><head><title>404 Not Found</title></head>"
                  b"<body><h1>Not Found</h1><p>The requested URL was not found on this server.</p></body></html>")
BAD_REQUEST_PAGE = (b"<html><head><title>400 Bad Request</title></head>"
                    b"<body><h1>Bad Request</h1><p>The request's path is malformed.</p></body></html>")

CONTENT_TYPES = {".xml": "text/xml", ".rss": "text/xml", ".jpg": "image/jpeg", ".png": "image/png",
                 ".html": "text/html", ".txt": "text/plain"}
REASONS = {200: "OK", 500: "Internal Server Error", 301: "Moved Permanently", 302: "Found", 303: "See Other", 304: "Not Modified",
           307: "Temporary Redirect", 308: "Permanent Redirect", 400: "Bad Request", 404: "Not Found",
           405: "Method Not Allowed", 429: "Too Many Requests", 503: "Service Unavailable"}
_HOST = re.compile(r"^[A-Za-z0-9.-]+(:[0-9]{1,5})?$|^\[[0-9A-Fa-f:.]+\](:[0-9]{1,5})?$")
_HOST_ADDRESS = re.compile(r"^https?://[^/?#]+$")
_ARTICLE_LINK = re.compile(rb"\{\{service\}\}/articles/([A-Za-z0-9._-]+)")


_CONTROL = re.compile("[\x00-\x1f\x7f]")
_ESCAPED_BYTE = re.compile("[\udc80-\udcff]")  # a byte that is not UTF-8, as surrogateescape decodes it


def request_path(target):
    """The decoded path of a request target ("/feeds/a.xml?x" gives "/feeds/a.xml"), or None when
    it is no path: no leading "/", bad percent-encoded UTF-8, or a control character once decoded."""
    if not target.startswith("/"):
        return None
    raw = target.split("?", 1)[0]
    try:
        path = urllib.parse.unquote(raw, encoding="utf-8", errors="strict")
    except UnicodeDecodeError:
        return None
    if _CONTROL.search(path):
        return None
    return path


def parse_report(query):
    """(action, feed, url) of a report's query as the program sends it, unescaped: "url" is all
    after the first "&url=" (None without one), "feed" all between "feed=" and that."""
    head, has_url, url = query.partition("&url=")
    action = feed = None
    for field in head.split("&"):
        if field.startswith("action=") and action is None:
            action = field[len("action="):]
    if "feed=" in head:
        feed = head.split("feed=", 1)[1]
    return action, feed, url if has_url else None


class BadReport(ValueError):
    pass


def decode_query(query):
    """The text of a raw query (a str of its bytes, as WSGI servers give it): UTF-8, with each byte
    that is not part of UTF-8 written "%XX"."""
    try:
        raw = query.encode("latin-1")
    except UnicodeEncodeError:  # already text (a server that decoded it)
        raw = query.encode("utf-8", "surrogateescape")
    text = raw.decode("utf-8", "surrogateescape")
    return _ESCAPED_BYTE.sub(lambda m: "%%%02X" % (ord(m.group()) - 0xDC00), text)


def checked_report(query):
    """(action, feed, url, query) of a raw report query; BadReport when a field is too long or holds
    a control character (a NUL among them)."""
    text = decode_query(query)
    if _CONTROL.search(text):
        raise BadReport("a control character")
    if len(text.encode("utf-8")) > QUERY_LIMIT:
        raise BadReport("query longer than %d bytes" % QUERY_LIMIT)
    action, feed, url = parse_report(text)
    for name, value, limit in (("action", action, ACTION_LIMIT), ("feed", feed, FIELD_LIMIT),
                               ("url", url, FIELD_LIMIT)):
        if value is not None and len(value.encode("utf-8")) > limit:
            raise BadReport("%s longer than %d bytes" % (name, limit))
    return action, feed, url, text


def read_catalog(catalog):
    """[(channel name, [feed addresses as written, "{{service}}" kept])] of a catalogue folder's
    channels.txt, in its order; [] without one."""
    channels = []
    try:
        with open(os.path.join(catalog, "channels.txt"), encoding="utf-8") as f:
            lines = f.read().splitlines()
    except (OSError, TypeError):
        return []
    for line in lines:
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("[") and line.endswith("]"):
            channels.append((line[1:-1], []))
        elif channels:
            channels[-1][1].append(line)
    return channels


CHANNELS = read_catalog(CATALOG)


def channel_of(feed, channels, address=None):
    """The channel whose catalogue address is the whole feed address, else OTHER. address: the
    service's public address that "{{service}}" stands for; without it, any scheme and host."""
    feed = feed or ""
    for name, feeds in channels:
        for template in feeds:
            if address is not None:
                if template.replace(SERVICE, address.rstrip("/")) == feed:
                    return name
            elif SERVICE in template:
                head, _, tail = template.partition(SERVICE)
                if feed.startswith(head) and feed.endswith(tail) and _HOST_ADDRESS.match(
                        feed[len(head):len(feed) - len(tail)]):
                    return name
            elif template == feed:
                return name
    return OTHER


def content_type(path):
    extension = os.path.splitext(path)[1].lower()
    return CONTENT_TYPES.get(extension) or mimetypes.guess_type(path)[0] or "application/octet-stream"


def etag_of(body):
    return '"%s"' % hashlib.sha1(body).hexdigest()[:20]


def http_date(seconds):
    return email.utils.formatdate(int(seconds), usegmt=True)


def not_modified(request_headers, etag, last_modified):
    """Whether a conditional GET may be answered 304: If-None-Match names the ETag (or is "*"), or,
    without If-None-Match, If-Modified-Since is not older than the document (HTTP-date texts)."""
    tags = request_headers.get("If-None-Match")
    if tags is not None:
        wanted = [t.strip() for t in tags.split(",")]
        bare = etag[2:] if etag.startswith("W/") else etag
        return "*" in wanted or any((t[2:] if t.startswith("W/") else t) == bare for t in wanted)
    since = request_headers.get("If-Modified-Since")
    if since is None or last_modified is None:
        return False
    try:
        since_time = _aware(email.utils.parsedate_to_datetime(since))
        modified_time = _aware(email.utils.parsedate_to_datetime(last_modified))
        return modified_time <= since_time
    except (TypeError, ValueError, IndexError, AttributeError, OverflowError):
        return False


def _aware(moment):
    """A datetime with its zone; one given without a zone ("-0000") is UTC."""
    return moment if moment.tzinfo is not None else moment.replace(tzinfo=datetime.timezone.utc)


def document_answer(method, request_headers, body, ctype, modified, extra_headers=()):
    """(status, headers, body) of a served document: 200 with ETag and Last-Modified, or 304 with
    no body when the request's condition holds. extra_headers (name, value) replace the defaults of
    the same name (so a given ETag or Last-Modified is the one compared)."""
    headers = {"Content-Type": ctype, "Cache-Control": "no-cache", "ETag": etag_of(body),
               "Last-Modified": http_date(modified)}
    names = {name.lower(): name for name in headers}
    for name, value in extra_headers:
        headers.pop(names.get(name.lower(), name), None)
        headers[name] = value
    header_get = _Caseless(headers)
    if method in ("GET", "HEAD") and not_modified(request_headers, header_get.get("ETag") or "",
                                                  header_get.get("Last-Modified")):
        kept = [(n, v) for n, v in headers.items() if n.lower() != "content-type"]
        return 304, kept, b""
    headers["Content-Length"] = str(len(body))
    return 200, list(headers.items()), body


class _Caseless:
    """get() of a dict (or a WSGI environ) by header name, without regard to case."""

    def __init__(self, headers):
        self._headers = {name.lower(): value for name, value in headers.items()}

    def get(self, name, default=None):
        return self._headers.get(name.lower(), default)


class _EnvironHeaders:
    def __init__(self, environ):
        self._environ = environ

    def get(self, name, default=None):
        key = name.upper().replace("-", "_")
        if key in ("CONTENT_TYPE", "CONTENT_LENGTH"):
            return self._environ.get(key, default)
        return self._environ.get("HTTP_" + key, default)


class ServiceApp:
    """The WSGI application. store: a store of service_store, or what open_store() takes (None for
    memory). address: the service's public base address ("http://news.example.org"), put into the
    preset list and the feeds; without it each request's own scheme and Host are used."""

    def __init__(self, catalog=CATALOG, store=None, address=None, preset_line_end="\n", report_wait=REPORT_WAIT):
        self.catalog = os.path.abspath(catalog) if catalog else None
        self.channels = read_catalog(self.catalog)
        self.store = store if isinstance(store, service_store._Store) else service_store.open_store(store)
        self.address = address.rstrip("/") if address else None
        self.preset_line_end = preset_line_end
        self.report_wait = report_wait
        self.invalid = 0  # reports answered 400
        self._counts = collections.Counter()  # (path label, status): requests
        self._counts_lock = threading.Lock()

    def __call__(self, environ, start_response):
        method = environ.get("REQUEST_METHOD", "GET")
        target = environ.get("RAW_URI") or environ.get("REQUEST_URI")
        if not target:  # a server that gives only the decoded parts
            path_info = environ.get("PATH_INFO", "/").encode("latin-1").decode("utf-8", "replace")
            target = urllib.parse.quote(environ.get("SCRIPT_NAME", "") + path_info)
            if environ.get("QUERY_STRING"):
                target += "?" + environ["QUERY_STRING"]
        status, headers, body = self.answer(method, target, _EnvironHeaders(environ), self._address_of(environ))
        self.count_request(target, status)
        start_response("%d %s" % (status, REASONS.get(status, "")), headers)
        return [b"" if method == "HEAD" else body]

    def answer(self, method, target, request_headers, address):
        """(status, [(name, value)], body) for one request; target is the raw request target."""
        if method not in ("GET", "HEAD"):
            return 405, [("Allow", "GET, HEAD"), ("Content-Type", "text/plain"), ("Content-Length", "0")], b""
        path = request_path(target)
        if path is None:
            return _page(400, BAD_REQUEST_PAGE)
        if path == "/clicks.php":
            if method == "HEAD":
                return _empty(200)
            return self.report(target.split("?", 1)[1] if "?" in target else "")
        if path == "/healthz":
            ok = self.store.writable()
            return _text(200 if ok else 503, b"ok\n" if ok else b"the reports store takes no writes\n")
        if path == "/metrics":
            return _text(200, self.metrics().encode("utf-8"), "text/plain; version=0.0.4")
        found = self.static(path, address)
        if found is None:
            return _page(404, NOT_FOUND_PAGE)
        body, ctype, modified = found
        return document_answer(method, request_headers, body, ctype, modified)

    def report(self, query):
        """Stores the view or click report of a raw /clicks.php query: (status, headers, body), 200
        only once it is committed."""
        try:
            action, feed, url, text = checked_report(query)
        except BadReport as error:
            with self._counts_lock:
                self.invalid += 1
                invalid = self.invalid
            print("service: refused a report (%d refused so far): %s" % (invalid, error), file=sys.stderr, flush=True)
            return _text(400, b"")
        outcome = self.store.store(action, feed, url, text, timeout=self.report_wait)
        if outcome == service_store.STORED:
            return _empty(200)
        if outcome == service_store.REFUSED:
            return _text(400, b"")
        status, headers, body = _text(503, b"")
        return status, headers + [("Retry-After", RETRY_AFTER)], body

    def count_request(self, target, status):
        path = request_path(target or "") or ""
        label = path if path in _LABELS else next((p for p in _PREFIX_LABELS if path.startswith(p)), "other")
        with self._counts_lock:
            self._counts[(label, status)] += 1

    def metrics(self):
        """The figures of this process in the Prometheus text format."""
        store = self.store
        with self._counts_lock:
            counts = sorted(self._counts.items())
            invalid = self.invalid
        lines = ["# HELP lullcast_requests_total Requests answered, by path and status.",
                 "# TYPE lullcast_requests_total counter"]
        lines += ['lullcast_requests_total{path="%s",status="%d"} %d' % (label, status, n)
                  for (label, status), n in counts]
        lines += ["# HELP lullcast_reports_stored_total Reports committed to the store.",
                  "# TYPE lullcast_reports_stored_total counter",
                  "lullcast_reports_stored_total %d" % store.stored,
                  "# HELP lullcast_reports_refused_total Reports refused: a field the service does not take,"
                  " or a row the database does not take.",
                  "# TYPE lullcast_reports_refused_total counter",
                  'lullcast_reports_refused_total{reason="field"} %d' % invalid,
                  'lullcast_reports_refused_total{reason="store"} %d' % store.refused,
                  "# HELP lullcast_reports_dropped_total Reports answered 503: the queue was full or the commit"
                  " did not come in time.",
                  "# TYPE lullcast_reports_dropped_total counter",
                  "lullcast_reports_dropped_total %d" % store.dropped,
                  "# HELP lullcast_report_queue_depth Reports waiting for the writer.",
                  "# TYPE lullcast_report_queue_depth gauge",
                  "lullcast_report_queue_depth %d" % store.pending(),
                  "# HELP lullcast_store_retries_total Writes that failed and were tried again.",
                  "# TYPE lullcast_store_retries_total counter",
                  "lullcast_store_retries_total %d" % store.failures,
                  "# HELP lullcast_commit_seconds Time the group commits took.",
                  "# TYPE lullcast_commit_seconds summary",
                  "lullcast_commit_seconds_sum %.6f" % store.commit_seconds,
                  "lullcast_commit_seconds_count %d" % store.commits,
                  "# HELP lullcast_process_start_time_seconds When this process started.",
                  "# TYPE lullcast_process_start_time_seconds gauge",
                  "lullcast_process_start_time_seconds %d" % _STARTED]
        return "\n".join(lines) + "\n"

    def preset_list(self, address):
        """The preset feed list of the catalog, one section per channel, with the given base address."""
        end = self.preset_line_end
        lines = []
        for name, feeds in self.channels:
            lines.append("[%s]" % name)
            lines += [feed.replace(SERVICE, address) for feed in feeds]
            lines.append("")
        return end.join(lines).encode("utf-8")

    def static(self, path, address):
        """(body, content type, modification time) of a static part of the catalog, or None."""
        if not self.catalog:
            return None
        if path == "/preset_feeds.xml":
            return self.preset_list(address), "text/plain", _mtime(os.path.join(self.catalog, "channels.txt"))
        if path == "/":
            page = ("<html><head><title>Lullcast reference service</title></head><body><h1>Lullcast</h1>"
                    "<p>News while you wait. Channels: %s.</p></body></html>"
                    % html.escape(", ".join(name for name, _ in self.channels)))
            return page.encode("utf-8"), "text/html", _mtime(self.catalog)
        if path.startswith("/articles/"):
            name = html.escape(posixpath.basename(path))
            return (("<html><body><h1>%s</h1><p>A sample article of the reference service.</p></body></html>"
                     % name).encode("utf-8"), "text/html", _mtime(self.catalog))
        relative = posixpath.normpath(path).lstrip("/")
        if relative.startswith("..") or relative != "60x39.jpg" and not relative.startswith("feeds/"):
            return None
        full = os.path.realpath(os.path.join(self.catalog, relative))
        if not full.startswith(os.path.realpath(self.catalog) + os.sep) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            body = f.read()
        if relative.startswith("feeds/"):
            body = body.replace(b"{{service}}", address.encode())
        return body, content_type(full), _mtime(full)

    def export(self, folder, address):
        """Writes the static parts, made for the given address, into folder; gives their paths."""
        paths = ["/", "/preset_feeds.xml", "/60x39.jpg"] + ["/feeds/" + f for f in self._feed_names()]
        for name in self._feed_names():
            with open(os.path.join(self.catalog, "feeds", name), "rb") as f:
                paths += sorted({"/articles/" + m.decode() for m in _ARTICLE_LINK.findall(f.read())})
        written = []
        for path in paths:
            body, _, modified = self.static(path, address)
            target = os.path.join(folder, "index.html" if path == "/" else path.lstrip("/"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as f:
                f.write(body)
            os.utime(target, (modified, modified))
            written.append(target)
        return written

    def close(self):
        self.store.close()

    def _feed_names(self):
        folder = os.path.join(self.catalog, "feeds") if self.catalog else None
        return sorted(os.listdir(folder)) if folder and os.path.isdir(folder) else []

    def _address_of(self, environ):
        if self.address:
            return self.address
        scheme = environ.get("wsgi.url_scheme", "http")
        host = environ.get("HTTP_HOST", "")
        if not _HOST.match(host):  # nothing from the request's Host that is not a host name goes into a feed
            host = "%s:%s" % (environ.get("SERVER_NAME", "localhost"), environ.get("SERVER_PORT", "80"))
        return "%s://%s" % (scheme, host)


_LABELS = ("/", "/clicks.php", "/preset_feeds.xml", "/60x39.jpg", "/healthz", "/metrics")
_PREFIX_LABELS = ("/feeds/", "/articles/")
_STARTED = time.time()


def _empty(status):
    return status, [("Content-Type", "text/html"), ("Content-Length", "0"), ("Cache-Control", "no-cache")], b""


def _text(status, body, ctype="text/plain"):
    return status, [("Content-Type", ctype), ("Content-Length", str(len(body))), ("Cache-Control", "no-cache")], body


def _page(status, body):
    return status, [("Content-Type", "text/html"), ("Content-Length", str(len(body))),
                    ("Cache-Control", "no-cache")], body


def _mtime(path):
    try:
        return os.stat(path).st_mtime
    except OSError:
        return 0


def main(argv=None):
    parser = argparse.ArgumentParser(description="The static parts of Lullcast's reference service.")
    commands = parser.add_subparsers(dest="command", required=True)
    export = commands.add_parser("export", help="write the static parts into a folder for a web server")
    export.add_argument("folder")
    export.add_argument("--address", required=True, help="the service's public base address, e.g. http://news.example.org")
    export.add_argument("--catalog", default=CATALOG)
    args = parser.parse_args(argv)
    app = ServiceApp(args.catalog, store=None)
    try:
        for path in app.export(args.folder, args.address.rstrip("/")):
            print(path)
    finally:
        app.close()


if __name__ == "__main__":
    sys.exit(main())
