"""The service's WSGI application (service/service_app.py) with its reports in SQLite and in
PostgreSQL (a private cluster, restarted while reports arrive), and the operator's report command."""
import datetime
import email.utils
import os
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

import pgcluster
import service_app
import service_report
import service_store
from servicetest import REPORTS

ADDRESS = "http://news.example.org"
SERVICE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "service")


def call(app, target, method="GET", headers=None, raw_uri=True, host="desktop.example"):
    """(status, headers dict, body) of one request, as a WSGI server would make it."""
    path, _, query = target.partition("?")
    environ = {"REQUEST_METHOD": method, "SCRIPT_NAME": "", "QUERY_STRING": query,
               "PATH_INFO": urllib.parse.unquote(path).encode("utf-8").decode("latin-1"),
               "SERVER_NAME": "127.0.0.1", "SERVER_PORT": "8000", "SERVER_PROTOCOL": "HTTP/1.1",
               "HTTP_HOST": host, "wsgi.url_scheme": "http", "wsgi.input": None, "wsgi.errors": sys.stderr}
    if raw_uri:
        environ["RAW_URI"] = target
    for name, value in (headers or {}).items():
        environ["HTTP_" + name.upper().replace("-", "_")] = value
    answer = {}

    def start_response(status, response_headers, exc_info=None):
        answer["status"], answer["headers"] = int(status.split()[0]), dict(response_headers)

    body = b"".join(app(environ, start_response))
    return answer["status"], answer["headers"], body


class _AppTests:
    """The same tests on each store; a subclass gives target() and cleans up."""

    def setUp(self):
        self.app = service_app.ServiceApp(service_app.CATALOG, self.target(), ADDRESS)

    def tearDown(self):
        self.app.close()

    def test_the_protocol_as_the_program_uses_it(self):
        status, headers, body = call(self.app, "/preset_feeds.xml")
        self.assertEqual((status, headers["Content-Type"]), (200, "text/plain"))
        lines = body.decode().split("\n")
        self.assertEqual([line for line in lines if line.startswith("[")],
                         ["[%s]" % name for name, _ in service_app.CHANNELS])
        self.assertEqual(lines[:4], ["[News]", ADDRESS + "/feeds/news-1.xml", ADDRESS + "/feeds/news-2.xml", ""])
        status, headers, body = call(self.app, "/feeds/news-1.xml")
        self.assertEqual((status, headers["Content-Type"]), (200, "text/xml"))
        self.assertIn(b"<link>" + ADDRESS.encode() + b"/articles/ferry-timetable.html</link>", body)
        self.assertNotIn(b"{{service}}", body)
        with open(os.path.join(service_app.CATALOG, "60x39.jpg"), "rb") as f:
            self.assertEqual(call(self.app, "/60x39.jpg")[2], f.read())
        self.assertIn(b"<h1>any-name.html</h1>", call(self.app, "/articles/any-name.html")[2])
        self.assertIn(b"Channels: News, Sports", call(self.app, "/")[2])
        for target, expected in (("/feeds/none.xml", 404), ("/feeds/../../CMakeLists.txt", 404),
                                 ("/feeds/%2e%2e/%2e%2e/README.md", 404), ("/feeds/%00", 400),
                                 ("/%c3%28", 400), ("/clicks.php%0a", 400)):
            with self.subTest(target=target):
                self.assertEqual(call(self.app, target)[0], expected)
        self.assertEqual(call(self.app, "/", method="POST")[0], 405)
        status, headers, body = call(self.app, "/feeds/news-1.xml", method="HEAD")
        self.assertEqual((status, body), (200, b""))
        self.assertGreater(int(headers["Content-Length"]), 500)

    def test_static_answers_are_conditional(self):
        _, headers, _ = call(self.app, "/feeds/sports-1.xml")
        self.assertEqual(call(self.app, "/feeds/sports-1.xml", headers={"If-None-Match": headers["ETag"]})[:3:2],
                         (304, b""))
        self.assertEqual(call(self.app, "/feeds/sports-1.xml",
                              headers={"If-Modified-Since": headers["Last-Modified"]})[0], 304)
        # An HTTP date with "-0000" (no zone given) is UTC; a later one is not older, an earlier one is.
        modified = email.utils.parsedate_to_datetime(headers["Last-Modified"])
        for shift, expected in ((3600, 304), (-3600, 200)):
            since = email.utils.format_datetime(modified + datetime.timedelta(seconds=shift)).replace("+0000", "-0000")
            with self.subTest(since=since):
                self.assertIn("-0000", since)
                self.assertEqual(call(self.app, "/feeds/sports-1.xml", headers={"If-Modified-Since": since})[0],
                                 expected)
        self.assertEqual(call(self.app, "/feeds/sports-1.xml", headers={"If-Modified-Since": "yesterday"})[0], 200)
        other = service_app.ServiceApp(service_app.CATALOG, None, "http://other.example")
        try:
            self.assertEqual(call(other, "/feeds/sports-1.xml", headers={"If-None-Match": headers["ETag"]})[0],
                             200, "a feed made for another address is another document")
        finally:
            other.close()

    def test_without_an_address_the_request_host_is_used_if_it_is_one(self):
        app = service_app.ServiceApp(service_app.CATALOG, None)
        try:
            self.assertIn(b"http://desktop.example:81/feeds/news-1.xml",
                          call(app, "/preset_feeds.xml", host="desktop.example:81")[2])
            body = call(app, "/preset_feeds.xml", host="x\"><script>/")[2]
            self.assertIn(b"http://127.0.0.1:8000/feeds/news-1.xml", body)
            self.assertNotIn(b"script", body)
        finally:
            app.close()

    def test_reports_are_stored_as_sent(self):
        for target, _ in REPORTS:
            status, headers, body = call(self.app, target)
            self.assertEqual((status, body), (200, b""))
        call(self.app, "/clicks.php?action=view&feed=http://d.example/x?a=1", raw_uri=False)
        stored = self.app.store.reports()
        expected = [dict(report, query=target.split("?", 1)[1]) for target, report in REPORTS]
        expected.append({"action": "view", "feed": "http://d.example/x?a=1", "url": None,
                         "query": "action=view&feed=http://d.example/x?a=1"})
        self.assertEqual(stored, expected)

    def test_no_report_can_block_the_others(self):
        long_feed = "http://a.example/" + "x" * 5983  # 6,000 bytes
        for target, why in (("/clicks.php?action=view&feed=" + long_feed, "a feed address of 6,000 bytes"),
                            ("/clicks.php?action=browse&feed=f&url=http://a.example/" + "y" * 2100, "a long link"),
                            ("/clicks.php?action=view&feed=http://a.example/\x00.xml", "a NUL"),
                            ("/clicks.php?action=view&feed=http://a.example/\r\nX: 1", "a line break")):
            with self.subTest(why=why):
                self.assertEqual(call(self.app, target)[0], 400)
        for n in range(1000):
            self.assertEqual(call(self.app, "/clicks.php?action=view&feed=http://a.example/f.xml?n=%d" % n)[0], 200)
        self.assertEqual([r["feed"] for r in self.app.store.reports()],
                         ["http://a.example/f.xml?n=%d" % n for n in range(1000)])
        self.assertEqual(self.app.invalid, 4)

    def test_a_row_the_database_refuses_is_refused_alone(self):
        # Past the application's checks (another writer of the store): in one batch with good rows.
        store = self.app.store
        bad = "http://a.example/" + self.unwritable
        outcomes = []
        threads = [threading.Thread(target=lambda feed=feed: outcomes.append(
                   (feed, store.store("view", feed, None, "q", timeout=30))))
                   for feed in ["g%d" % n for n in range(20)] + [bad] + ["h%d" % n for n in range(20)]]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        self.assertEqual(sorted(outcome for feed, outcome in outcomes if feed != bad), ["stored"] * 40)
        self.assertTrue((bad, "refused") in outcomes, "the bad row was not refused")
        self.assertEqual(sorted(r["feed"] for r in store.reports()), sorted(f for f, _ in outcomes if f != bad))
        self.assertEqual(store.refused, 1)
        self.assertIn('lullcast_reports_refused_total{reason="store"} 1', call(self.app, "/metrics")[2].decode())

    def test_reports_are_counted_as_the_program_means_them(self):
        self.assertEqual(call(self.app, "/clicks.php?action=view&feed=http://h.example/f.xml", method="HEAD")[0], 200)
        for method in ("POST", "PUT", "DELETE", "OPTIONS"):
            self.assertEqual(call(self.app, "/clicks.php?action=view&feed=x", method=method)[0], 405)
        # The query's bytes as they came: UTF-8 stays itself, a byte that is not UTF-8 is written "%E9".
        utf8 = "/clicks.php?action=view&feed=http://h.example/caf\u00e9.xml".encode("utf-8").decode("latin-1")
        latin1 = "/clicks.php?action=view&feed=http://h.example/caf\xe9.xml"
        for target in (utf8, latin1):
            self.assertEqual(call(self.app, target)[0], 200)
        self.assertEqual([r["feed"] for r in self.app.store.reports()],
                         ["http://h.example/caf\u00e9.xml", "http://h.example/caf%E9.xml"])
        times = self.app.store._read("SELECT time FROM reports", ())
        self.assertTrue(all(t.endswith("+00:00") for t, in times), times)
        catalog = service_app.read_catalog(service_app.CATALOG)
        for feed, channel in ((ADDRESS + "/feeds/business-1.xml", "Business & Finance"),
                              ("http://mine.example/feeds/business-1.xml", service_app.OTHER),
                              ("http://mine.example/feeds/business-weekly.xml", service_app.OTHER),
                              (ADDRESS + "/feeds/news-2.xml?x", service_app.OTHER)):
            with self.subTest(feed=feed):
                self.assertEqual(service_app.channel_of(feed, catalog, ADDRESS), channel)

    def test_health_and_metrics(self):
        self.assertEqual(call(self.app, "/healthz")[:3:2], (200, b"ok\n"))
        call(self.app, REPORTS[0][0])
        call(self.app, "/clicks.php?action=view&feed=\x00")
        status, headers, body = call(self.app, "/metrics")
        self.assertEqual((status, headers["Content-Type"]), (200, "text/plain; version=0.0.4"))
        text = body.decode()
        for line in ('lullcast_requests_total{path="/clicks.php",status="200"} 1',
                     'lullcast_requests_total{path="/clicks.php",status="400"} 1',
                     'lullcast_requests_total{path="/healthz",status="200"} 1',
                     "lullcast_reports_stored_total 1", 'lullcast_reports_refused_total{reason="field"} 1',
                     "lullcast_reports_dropped_total 0", "lullcast_report_queue_depth 0",
                     "lullcast_commit_seconds_count 1"):
            self.assertIn("\n" + line + "\n", text)

    def test_reports_older_than_some_days_are_deleted(self):
        now = datetime.datetime.now(datetime.timezone.utc)
        for days in (40, 31, 29, 0):
            self.app.store.add("view", "d%d" % days, None, "q", when=now - datetime.timedelta(days=days, hours=1))
        self.app.store.flush()
        out = subprocess.run([sys.executable, os.path.join(SERVICE, "service_report.py"), "--db", self.target(),
                              "--delete-older-than", "30"], check=True, capture_output=True, text=True).stdout
        self.assertIn("deleted 2 reports older than", out)
        self.assertEqual([r["feed"] for r in self.app.store.reports()], ["d29", "d0"])

    def test_the_schema_is_made_once_with_its_index(self):
        call(self.app, REPORTS[0][0])
        self.app.store.flush()
        again = service_store.open_store(self.target())
        try:
            self.assertEqual(again.count(), 1, "a second start keeps the reports")
            self.assertIn("reports_by_time", self.index_names(again))
        finally:
            again.close()

    def test_the_operators_report_by_day_and_range(self):
        store = self.app.store
        for when, action, feed in [("2026-12-07 23:59:59", "view", ADDRESS + "/feeds/news-1.xml"),
                                   ("2026-12-08 00:00:00", "view", ADDRESS + "/feeds/news-1.xml"),
                                   ("2026-12-08 09:00:00", "view", ADDRESS + "/feeds/news-2.xml"),
                                   ("2026-12-08 09:01:00", "browse", ADDRESS + "/feeds/news-2.xml"),
                                   ("2026-12-08 10:00:00", "view", ADDRESS + "/feeds/health-1.xml"),
                                   ("2026-12-08 11:00:00", "view", "http://mine.example/feeds.rss"),
                                   ("2026-12-09 08:00:00", "browse", ADDRESS + "/feeds/health-1.xml")]:
            store.add(action, feed, None, "", when=when)
        start, end = service_report.day_range("2026-12-08")
        channels, feeds = service_report.summarise(store.totals(start, end))
        self.assertEqual(channels["News"], [2, 1])
        self.assertEqual(channels["Health"], [1, 0])
        self.assertEqual(channels[service_report.OTHER], [1, 0])
        self.assertEqual(feeds[ADDRESS + "/feeds/news-2.xml"], [1, 1])
        start, end = service_report.day_range(first="2026-12-07", last="2026-12-09")
        channels, _ = service_report.summarise(store.totals(start, end))
        self.assertEqual((channels["News"], channels["Health"]), ([3, 1], [1, 1]))
        store.flush()
        out = subprocess.run([sys.executable, os.path.join(SERVICE, "service_report.py"), "--db", self.target(),
                              "--day", "2026-12-08"], check=True, capture_output=True, text=True).stdout
        self.assertIn("Views and click-throughs on 2026-12-08", out)
        self.assertRegex(out, r"\nNews +2 +1\n")
        self.assertRegex(out, r"\nTotal +4 +1\n")
        self.assertRegex(out, r"\n%s/feeds/health-1.xml +1 +0\n" % ADDRESS)


class SqliteAppTest(_AppTests, unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        super().setUp()

    def tearDown(self):
        super().tearDown()
        self.folder.cleanup()

    def target(self):
        return os.path.join(self.folder.name, "reports.sqlite")

    unwritable = "\ud800"  # a text that is no Unicode: sqlite3 cannot bind it

    def test_without_its_commit_a_report_is_answered_503(self):
        # Another process holds the file's write lock longer than a report may wait.
        self.app.report_wait = 0.5
        other = sqlite3.connect(self.target(), timeout=0)
        other.execute("BEGIN IMMEDIATE")
        try:
            status, headers, _ = call(self.app, REPORTS[0][0])
            self.assertEqual((status, headers.get("Retry-After")), (503, "5"))
            self.assertEqual(call(self.app, "/healthz")[0], 503)
        finally:
            other.rollback()
            other.close()
        self.assertTrue(self.app.store.flush(timeout=30))
        self.assertEqual(call(self.app, REPORTS[0][0])[0], 200)
        self.assertEqual(call(self.app, "/healthz")[0], 200)
        self.assertIn("\nlullcast_reports_dropped_total 1\n", call(self.app, "/metrics")[2].decode())

    def index_names(self, store):
        with sqlite3.connect(self.target()) as db:
            return [row[0] for row in db.execute("SELECT name FROM sqlite_master WHERE type = 'index'")]

    def test_an_existing_file_of_the_embedded_service_is_read_as_it_is(self):
        # As the service wrote it before it had an index.
        path = os.path.join(self.folder.name, "old.sqlite")
        with sqlite3.connect(path) as db:
            db.execute("CREATE TABLE reports (id INTEGER PRIMARY KEY, time TEXT, action TEXT, feed TEXT, url TEXT,"
                       " query TEXT)")
            db.execute("INSERT INTO reports (time, action, feed, url, query) VALUES ('2026-12-01 10:00:00', 'view',"
                       " 'f', NULL, 'action=view&feed=f')")
        store = service_store.open_store(path)
        try:
            store.add("view", "g", None, "action=view&feed=g")
            self.assertEqual([r["feed"] for r in store.reports()], ["f", "g"])
            self.assertEqual(store._read("SELECT version FROM schema_version", ()), [(service_store.SCHEMA_VERSION,)])
            local = datetime.datetime(2026, 12, 1, 10, 0, 0).astimezone()  # as the machine's zone had it then
            self.assertEqual(store._read("SELECT time FROM reports ORDER BY id", ())[0][0],
                             local.astimezone(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M:%S+00:00"))
        finally:
            store.close()


@unittest.skipUnless(pgcluster.available(), "no PostgreSQL: bash tools/setup.sh installs it")
class PostgresAppTest(_AppTests, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.cluster = pgcluster.PgCluster(durable=False).start()

    @classmethod
    def tearDownClass(cls):
        cls.cluster.close()

    def setUp(self):
        import psycopg2
        with psycopg2.connect(self.cluster.dsn) as conn, conn.cursor() as cursor:
            cursor.execute("DROP TABLE IF EXISTS reports")
        conn.close()
        super().setUp()

    def target(self):
        return self.cluster.dsn

    unwritable = "\x00"  # psycopg2 sends no NUL

    def index_names(self, store):
        return [row[0] for row in store._read("SELECT indexname FROM pg_indexes WHERE tablename = 'reports'", ())]

    def test_without_the_database_reports_are_answered_503_and_health_says_so(self):
        self.app.report_wait = 1.0
        self.cluster.stop()
        try:
            status, headers, _ = call(self.app, REPORTS[0][0])
            self.assertEqual((status, headers.get("Retry-After")), (503, "5"))
            self.assertEqual(call(self.app, "/healthz")[0], 503)
        finally:
            self.cluster.start()
        deadline = time.monotonic() + 30
        while call(self.app, "/healthz")[0] != 200 and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertEqual(call(self.app, REPORTS[1][0])[0], 200)
        self.assertEqual([r["feed"] for r in self.app.store.reports()], [REPORTS[1][1]["feed"]],
                         "a report answered 503 was stored after all")
        self.assertIn("\nlullcast_reports_dropped_total 1\n", call(self.app, "/metrics")[2].decode())

    @unittest.skipUnless(os.geteuid() == 0, "runs the command as root")
    def test_the_report_command_run_as_root_connects_as_the_configured_user(self):
        call(self.app, "/clicks.php?action=view&feed=%s/feeds/business-1.xml" % ADDRESS)
        call(self.app, "/clicks.php?action=view&feed=http://mine.example/feeds/business-1.xml")
        owner = self.cluster._user.pw_name  # the role initdb made; root has none
        dsn = " ".join(part for part in self.cluster.dsn.split() if not part.startswith("user="))
        with tempfile.NamedTemporaryFile("w", suffix=".env") as config:
            config.write('LULLCAST_DB="%s"\nLULLCAST_ADDRESS=%s\nLULLCAST_USER=%s\n' % (dsn, ADDRESS, owner))
            config.flush()
            os.chmod(config.name, 0o644)
            result = subprocess.run([sys.executable, os.path.join(SERVICE, "service_report.py"), "--config",
                                     config.name], capture_output=True, text=True, cwd="/")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertRegex(result.stdout, r"\nBusiness & Finance +1 +0\n")
        self.assertRegex(result.stdout, r"\nOther feeds +1 +0\n")

    def test_no_report_is_lost_while_the_database_restarts(self):
        sent = []

        def send():
            for n in range(400):
                target = "/clicks.php?action=view&feed=http://a.example/feeds/news-1.xml?n=%d" % n
                self.assertEqual(call(self.app, target)[0], 200)
                sent.append(n)
                time.sleep(0.004)

        sender = threading.Thread(target=send)
        sender.start()
        time.sleep(0.3)
        self.cluster.restart(down_seconds=1.0)
        sender.join()
        self.assertEqual(len(sent), 400)
        self.assertTrue(self.app.store.flush(timeout=30))
        feeds = [r["feed"] for r in self.app.store.reports()]
        self.assertEqual(feeds, ["http://a.example/feeds/news-1.xml?n=%d" % n for n in range(400)])
        self.assertEqual(self.app.store.dropped, 0)
        self.assertGreaterEqual(self.app.store.failures, 1, "the restart was not noticed")

    def test_a_full_queue_drops_and_counts_and_a_late_database_gets_the_rest(self):
        self.cluster.stop()
        try:
            store = service_store.open_store(self.cluster.dsn, queue_limit=5)  # first start, database away
            accepted = [store.add("view", "f%d" % n, None, "q") for n in range(8)]
            self.assertEqual(accepted, [True] * 5 + [False] * 3)
            self.assertEqual(store.dropped, 3)
        finally:
            self.cluster.start()
        try:
            self.assertTrue(store.flush(timeout=30))
            self.assertEqual([r["feed"] for r in store.reports()], ["f%d" % n for n in range(5)])
        finally:
            store.close()


if __name__ == "__main__":
    unittest.main()
