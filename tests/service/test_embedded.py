"""The embedded reference service (service/embedded_service.py): how it holds up against many and
hostile clients; and the tests' stand-in built on it (tests/support/standin_service.py): the
behaviours of real servers that the feed tests ask of it."""
import gzip
import os
import re
import select
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

import embedded_service
import standin_service
import testca
from servicetest import fetch, raw

HOST = "127.0.0.1"
SERVICE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "service")


class HardeningTest(unittest.TestCase):
    def test_a_hundred_clients_connect_at_once_while_the_server_is_busy(self):
        # Not yet serving, the listening socket takes them all into its backlog.
        service = embedded_service.EmbeddedService(catalog=embedded_service.CATALOG)
        sockets = []  # (the service is started before anything can fail, so that it can be stopped)
        try:
            for _ in range(100):
                s = socket.socket()
                s.setblocking(False)
                s.connect_ex((HOST, service.port))
                sockets.append(s)
            deadline = time.monotonic() + 0.8
            pending = list(sockets)
            while pending and time.monotonic() < deadline:
                _, writable, _ = select.select([], pending, [], 0.1)
                pending = [s for s in pending if s not in writable or s.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR)]
            service.start()
            self.assertEqual(len(pending), 0, "connections not established within 0.8 s")
            for s in sockets:
                s.setblocking(True)
                s.settimeout(10)
                s.sendall(b"GET /60x39.jpg HTTP/1.0\r\n\r\n")
            answers = [s.recv(12) for s in sockets]
            self.assertEqual(answers, [b"HTTP/1.0 200"] * 100)
        finally:
            for s in sockets:
                s.close()
            service.stop()

    def test_idle_connections_hold_no_thread_and_do_not_keep_others_waiting(self):
        with embedded_service.EmbeddedService(catalog=embedded_service.CATALOG) as service:
            fetch(service.url("/"))
            before = threading.active_count()
            idle = [socket.create_connection((HOST, service.port)) for _ in range(200)]
            try:
                time.sleep(0.5)
                self.assertLessEqual(threading.active_count() - before, 1, "threads made for idle connections")
                started = time.monotonic()
                status, _, _ = fetch(service.url("/preset_feeds.xml"))
                self.assertEqual(status, 200)
                self.assertLess(time.monotonic() - started, 2.0)
            finally:
                for s in idle:
                    s.close()

    def test_connections_that_send_nothing_or_stop_half_way_are_closed_after_the_time_out(self):
        with embedded_service.EmbeddedService(catalog=embedded_service.CATALOG, connection_timeout=1.0) as service:
            for start in (b"", b"GET /preset_feeds.xml HTTP/1.0\r\nHost: x"):
                with self.subTest(sent=start):
                    began = time.monotonic()
                    answer = raw(HOST, service.port, start, timeout=10)
                    self.assertEqual(answer, b"", "an answer to an unfinished request")
                    self.assertLess(time.monotonic() - began, 5.0)
            self.assertEqual(fetch(service.url("/60x39.jpg"))[0], 200)

    def test_beyond_the_threads_and_the_queue_connections_are_refused_with_a_503(self):
        with standin_service.StandInService(catalog=standin_service.CATALOG, threads=2, queue_limit=4) as service:
            held = []
            try:
                for path in (b"/stall/a", b"/stall/b", b"/preset_feeds.xml", b"/60x39.jpg"):
                    s = socket.create_connection((HOST, service.port), timeout=10)
                    s.sendall(b"GET " + path + b" HTTP/1.0\r\n\r\n")
                    held.append(s)
                    time.sleep(0.2)
                status, headers, _ = fetch(service.url("/"))
                self.assertEqual((status, headers["Retry-After"]), (503, "1"))
                self.assertEqual(service.busy_refusals, 1)
                service.release_stalls()
                self.assertEqual([s.recv(12) for s in held[2:]], [b"HTTP/1.0 200"] * 2,
                                 "the queued requests were served once threads were free")
            finally:
                for s in held:
                    s.close()

    def test_the_command_serves_no_stalling_or_slow_paths(self):
        # They belong to the tests' stand-in: on a --bind host anyone could hold every thread with them.
        with tempfile.TemporaryDirectory() as folder:
            command = [sys.executable, os.path.join(SERVICE, "embedded_service.py"), "--port", "0",
                       "--db", os.path.join(folder, "reports.sqlite")]
            server = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
            try:
                address = re.search(r"on (http://\S+) ", server.stdout.readline()).group(1)
                for path in ("/stall/x", "/stall-body/feeds/news-1.xml", "/slow/feeds/news-1.xml"):
                    with self.subTest(path=path):
                        self.assertEqual(fetch(address + path, timeout=5)[0], 404)
                self.assertEqual(fetch(address + "/feeds/news-1.xml", timeout=5)[0], 200)
            finally:
                server.terminate()
                server.wait(timeout=30)
                server.stdout.close()

    def test_reports_answered_are_stored_and_health_figures_and_methods_are_the_applications(self):
        with tempfile.TemporaryDirectory() as folder:
            with embedded_service.EmbeddedService(catalog=embedded_service.CATALOG,
                                                  database=os.path.join(folder, "reports.sqlite")) as service:
                for n in range(20):
                    self.assertEqual(fetch(service.url("/clicks.php?action=view&feed=f%d" % n))[0], 200)
                    self.assertEqual(service.app.store.stored, n + 1, "answered before it was stored")
                self.assertEqual(fetch(service.url("/clicks.php?action=view&feed=f"), method="HEAD")[0], 200)
                self.assertEqual(fetch(service.url("/clicks.php?action=view&feed=" + "x" * 2049))[0], 400)
                for method in ("POST", "PUT", "DELETE", "PATCH"):
                    with self.subTest(method=method):
                        status, headers, _ = fetch(service.url("/preset_feeds.xml"), method=method)
                        self.assertEqual((status, headers["Allow"]), (405, "GET, HEAD"))
                self.assertEqual(fetch(service.url("/healthz"))[:3:2], (200, b"ok\n"))
                figures = fetch(service.url("/metrics"))[2].decode()
                self.assertIn("\nlullcast_reports_stored_total 20\n", figures)
                self.assertIn('\nlullcast_reports_refused_total{reason="field"} 1\n', figures)
                self.assertEqual(len(service.reports()), 20)

    def test_malformed_paths_are_answered_400(self):
        catalog = standin_service.CATALOG
        with standin_service.StandInService(catalog=catalog, root=catalog) as service:
            for path in ("/feeds/%00", "/feeds/news-1.xml%00.txt", "/%ff%fe", "/a%0d%0aSet-Cookie:%20x", "/%7f"):
                with self.subTest(path=path):
                    status, _, body = fetch(service.url(path))
                    self.assertEqual(status, 400)
                    self.assertIn(b"Bad Request", body)
            self.assertEqual(service.statuses("/feeds/%00"), [400])
            self.assertEqual(fetch(service.url("/feeds/news%2D1.xml"))[0], 200, "escaped but sound")

    def test_the_request_record_and_the_log_are_bounded(self):
        with tempfile.TemporaryDirectory() as folder:
            log = os.path.join(folder, "requests.log")
            with embedded_service.EmbeddedService(record_limit=50, log_path=log, log_limit=2000) as service:
                for n in range(120):
                    fetch(service.url("/n%d" % n))
                self.assertEqual(service.requests(), [("GET", "/n%d" % n) for n in range(70, 120)])
                self.assertEqual(len(service.responses()), 50)
            sizes = [os.path.getsize(log), os.path.getsize(log + ".1")]
            self.assertTrue(all(size < 2100 for size in sizes), sizes)
            with open(log) as f:
                self.assertTrue(f.read().endswith(" GET /n119\n"))
            self.assertEqual(sorted(os.listdir(folder)), ["requests.log", "requests.log.1"])


class ConditionalTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.service = standin_service.StandInService(catalog=standin_service.CATALOG).start()

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()

    def test_documents_and_catalog_feeds_answer_304_to_a_matching_etag(self):
        self.service.put("/cond/feed.xml", "<rss>one</rss>")
        for path in ("/cond/feed.xml", "/feeds/news-1.xml", "/preset_feeds.xml", "/60x39.jpg"):
            with self.subTest(path=path):
                url = self.service.url(path)
                status, headers, body = fetch(url)
                self.assertEqual(status, 200)
                etag, modified = headers["ETag"], headers["Last-Modified"]
                self.assertTrue(etag.startswith('"') and modified.endswith("GMT"), (etag, modified))
                status, again, body = fetch(url, {"If-None-Match": etag})
                self.assertEqual((status, body, again["ETag"]), (304, b"", etag))
                self.assertEqual(fetch(url, {"If-None-Match": '"other", ' + etag})[0], 304)
                self.assertEqual(fetch(url, {"If-None-Match": '"other"'})[0], 200)
                self.assertEqual(fetch(url, {"If-Modified-Since": modified})[0], 304)
                self.assertEqual(fetch(url, {"If-Modified-Since": "Thu, 01 Jan 2015 00:00:00 GMT"})[0], 200)
                self.assertEqual(fetch(url, {"If-None-Match": '"other"', "If-Modified-Since": modified})[0], 200,
                                 "If-None-Match decides when both are given")
                self.assertEqual(self.service.statuses(path)[-7:], [200, 304, 304, 200, 304, 200, 200])

    def test_a_changed_document_is_newer_and_has_another_etag(self):
        self.service.put("/cond/changing.xml", "<rss>old</rss>")
        _, first, _ = fetch(self.service.url("/cond/changing.xml"))
        self.service.put("/cond/changing.xml", "<rss>new</rss>")  # within the same second
        status, second, body = fetch(self.service.url("/cond/changing.xml"),
                                     {"If-Modified-Since": first["Last-Modified"]})
        self.assertEqual((status, body), (200, b"<rss>new</rss>"))
        self.assertNotEqual(second["ETag"], first["ETag"])
        self.assertEqual(fetch(self.service.url("/cond/changing.xml"), {"If-None-Match": first["ETag"]})[0], 200)

    def test_put_headers_are_sent_and_a_given_etag_is_the_one_compared(self):
        self.service.put("/cond/own.xml", "<rss/>", "application/rss+xml",
                         headers={"ETag": '"v7"', "X-Feed-Test": "yes", "Cache-Control": "max-age=60"})
        status, headers, _ = fetch(self.service.url("/cond/own.xml"))
        self.assertEqual((status, headers["ETag"], headers["X-Feed-Test"], headers["Content-Type"]),
                         (200, '"v7"', "yes", "application/rss+xml"))
        self.assertEqual(headers.get_all("Cache-Control"), ["max-age=60"])
        self.assertEqual(fetch(self.service.url("/cond/own.xml"), {"If-None-Match": '"v7"'})[0], 304)

    def test_responses_record_method_path_status_and_request_headers(self):
        self.service.put("/cond/seen.xml", "<rss/>")
        fetch(self.service.url("/cond/seen.xml?x=1"), {"User-Agent": "probe/1"}, method="HEAD")
        last = self.service.responses()[-1]
        self.assertEqual((last.method, last.path, last.status), ("HEAD", "/cond/seen.xml?x=1", 200))
        self.assertEqual(last.headers.get("user-agent"), "probe/1")


class BehaviourTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.service = standin_service.StandInService(catalog=standin_service.CATALOG).start()
        cls.body = ("<rss>" + "the same words again " * 200 + "</rss>").encode()
        cls.service.put("/b/feed.xml", cls.body)

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()

    def tearDown(self):
        self.service.fault("/b/feed.xml", None)

    def test_429_and_503_carry_retry_after(self):
        for mode, retry_after, expected in (("503", 120, "120"), ("429", 7, "7"),
                                            ("503", "Wed, 21 Oct 2026 07:28:00 GMT", "Wed, 21 Oct 2026 07:28:00 GMT")):
            with self.subTest(mode=mode, retry_after=retry_after):
                self.service.fault("/b/feed.xml", mode, retry_after=retry_after)
                status, headers, _ = fetch(self.service.url("/b/feed.xml"))
                self.assertEqual((status, headers["Retry-After"]), (int(mode), expected))
        self.service.fault("/b/feed.xml", "503")
        self.assertEqual(fetch(self.service.url("/b/feed.xml"))[1]["Retry-After"], "120", "the default")

    def test_gzip_and_deflate_are_sent_when_accepted(self):
        decoders = {"gzip": gzip.decompress, "deflate": zlib.decompress}
        for coding, decode in decoders.items():
            self.service.fault("/b/feed.xml", coding)
            for accept, encoded in ((coding, True), ("br, %s;q=0.5" % coding, True), ("*", True), ("", False),
                                    ("%s;q=0" % coding, False), ("identity", False)):
                with self.subTest(coding=coding, accept=accept):
                    status, headers, body = fetch(self.service.url("/b/feed.xml"), {"Accept-Encoding": accept})
                    self.assertEqual(status, 200)
                    self.assertEqual(headers["Vary"], "Accept-Encoding")
                    self.assertEqual(headers["Content-Encoding"], coding if encoded else None)
                    self.assertEqual(decode(body) if encoded else body, self.body)
                    self.assertEqual(int(headers["Content-Length"]), len(body))
                    if encoded:
                        self.assertLess(len(body), len(self.body) // 4)
                        self.assertTrue(headers["ETag"].startswith("W/"))
        self.service.put("/b/already.xml", gzip.compress(self.body), headers={"Content-Encoding": "gzip"})
        self.service.fault("/b/already.xml", "gzip")
        try:
            _, headers, body = fetch(self.service.url("/b/already.xml"), {"Accept-Encoding": "gzip"})
            self.assertEqual(gzip.decompress(body), self.body, "a body put encoded is not encoded twice")
        finally:
            self.service.fault("/b/already.xml", None)

    def test_redirects(self):
        self.service.redirect("/b/old.xml", "/b/feed.xml")
        self.service.redirect("/b/elsewhere.xml", "https://localhost:1/feed.xml", status=307)
        try:
            status, headers, _ = fetch(self.service.url("/b/old.xml"))
            self.assertEqual((status, headers["Location"]), (301, self.service.url("/b/feed.xml")))
            status, headers, _ = fetch(self.service.url("/b/elsewhere.xml"))
            self.assertEqual((status, headers["Location"]), (307, "https://localhost:1/feed.xml"))
            with self.assertRaises(ValueError):
                self.service.redirect("/b/x", "/y", status=200)
        finally:
            self.service.redirect("/b/old.xml", None)
            self.service.redirect("/b/elsewhere.xml", None)
        self.assertEqual(fetch(self.service.url("/b/old.xml"))[0], 404)


class TlsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.ca = testca.make(cls.folder.name)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def trusting(self):
        return ssl.create_default_context(cafile=self.ca.ca)

    def test_https_on_localhost_with_the_test_ca(self):
        with embedded_service.EmbeddedService(catalog=embedded_service.CATALOG, tls=self.ca.localhost) as service:
            self.assertEqual(service.address, "https://localhost:%d" % service.port)
            self.assertEqual(service._server.server_address[0], HOST, "still bound to the loopback address")
            status, _, body = fetch(service.url("/preset_feeds.xml"), context=self.trusting())
            self.assertEqual(status, 200)
            self.assertIn(("https://localhost:%d/feeds/news-1.xml" % service.port).encode(), body)
            with self.assertRaises(ssl.SSLCertVerificationError):
                fetch(service.url("/"), context=ssl.create_default_context(cafile=self.ca.localhost[0]))
            self.assertEqual(service.statuses("/preset_feeds.xml"), [200])

    def test_expired_foreign_and_self_signed_certificates_fail(self):
        for pair, reason in ((self.ca.expired, "expired"), (self.ca.other_host, "Hostname mismatch"),
                             (self.ca.self_signed, "self-signed")):
            with self.subTest(certificate=os.path.basename(pair[0])):
                with standin_service.StandInService(tls=pair) as service:
                    service.put("/x.xml", "<rss/>")
                    with self.assertRaises(ssl.SSLCertVerificationError) as caught:
                        fetch(service.url("/x.xml"), context=self.trusting())
                    self.assertIn(reason, str(caught.exception))

    def test_installing_the_ca_trusts_it_and_removing_it_ends_that(self):
        with tempfile.TemporaryDirectory() as store:
            testca.install_ca(self.ca.ca, store=store, update=None)
            self.assertEqual(os.listdir(store), [testca.CA_NAME])
            self.assertTrue(testca.remove_ca(store=store, update=None))
            self.assertEqual(os.listdir(store), [])
            self.assertFalse(testca.remove_ca(store=store, update=None))

    @unittest.skipUnless(os.geteuid() == 0 and os.path.exists("/usr/sbin/update-ca-certificates"),
                         "changes the host's store: as root only")
    def test_installing_into_the_host_store(self):
        with standin_service.StandInService(tls=self.ca.localhost) as service:
            service.put("/x.xml", "<rss/>")
            # A name of its own: the Wine tests of the same run may trust the run's CA meanwhile.
            try:
                testca.install_ca(self.ca.ca, name=SELF_TEST_CA)
                self.assertEqual(fetch(service.url("/x.xml"), context=ssl.create_default_context())[0], 200)
            finally:
                testca.remove_ca(name=SELF_TEST_CA)
            with self.assertRaises(ssl.SSLCertVerificationError):
                fetch(service.url("/x.xml"), context=ssl.create_default_context())


SELF_TEST_CA = "lullcast-service-test-ca.crt"


if __name__ == "__main__":
    unittest.main()
