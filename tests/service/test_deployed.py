"""The reference service as an operator deploys it: the static parts exported for nginx with the
shipped site file, the reports passed on to gunicorn (with the shipped settings) and stored in
PostgreSQL, everything on 127.0.0.1 and a private cluster's socket."""
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest

import pgcluster
import service_app
from servicetest import DEPLOY, NGINX, REPORTS, fetch, raw, start_nginx, unused_port, wait_for_port

SERVICE = os.path.dirname(DEPLOY)
GUNICORN = "/usr/bin/gunicorn"


@unittest.skipUnless(pgcluster.available() and os.path.exists(GUNICORN) and os.path.exists(NGINX),
                     "needs postgresql, gunicorn and nginx: bash tools/setup.sh installs them")
class DeployedServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="lullcast-deploy-")
        os.chmod(cls.folder, 0o755)  # nginx's workers run as nobody
        cls.cluster = pgcluster.PgCluster(durable=False).start()
        cls.app_port, cls.web_port = unused_port(), unused_port()
        cls.address = "http://127.0.0.1:%d" % cls.web_port
        www = os.path.join(cls.folder, "www")
        subprocess.run(["/usr/bin/python3", os.path.join(SERVICE, "service_app.py"), "export", "--address", cls.address,
                        www], check=True, stdout=subprocess.DEVNULL)
        for top, folders, _ in os.walk(cls.folder):
            for name in folders:
                os.chmod(os.path.join(top, name), 0o755)
        cls.gunicorn_log = open(os.path.join(cls.folder, "gunicorn.log"), "w+")
        cls.nginx = None
        cls.start_gunicorn()
        try:
            cls.nginx = start_nginx(cls.folder, cls.web_port, cls.app_port, www)
            wait_for_port(cls.web_port, cls.nginx)
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def start_gunicorn(cls):
        env = dict(os.environ, LULLCAST_DB=cls.cluster.dsn, LULLCAST_ADDRESS=cls.address)
        cls.gunicorn = subprocess.Popen([GUNICORN, "--chdir", SERVICE, "-c", os.path.join(DEPLOY, "gunicorn.conf.py"),
                                         "-b", "127.0.0.1:%d" % cls.app_port], env=env,
                                        stdout=cls.gunicorn_log, stderr=subprocess.STDOUT)
        wait_for_port(cls.app_port, cls.gunicorn)
        deadline = time.monotonic() + 60  # its workers have reached the database (and made the schema)
        while fetch("http://127.0.0.1:%d/healthz" % cls.app_port)[0] != 200 and time.monotonic() < deadline:
            time.sleep(0.1)

    @classmethod
    def tearDownClass(cls):
        if cls.nginx:
            cls.nginx.send_signal(signal.SIGQUIT)
            cls.nginx.wait(timeout=30)
        if cls.gunicorn.poll() is None:
            cls.gunicorn.terminate()
            cls.gunicorn.wait(timeout=60)
        cls.gunicorn_log.close()
        if cls.nginx and os.environ.get("LULLCAST_KEEP_LOGS"):
            shutil.copy(os.path.join(cls.folder, "gunicorn.log"), os.environ["LULLCAST_KEEP_LOGS"])
        cls.cluster.close()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def stored(self, count, timeout=30):
        """The stored reports once there are count of them (gunicorn's workers write them shortly after)."""
        import psycopg2
        deadline = time.monotonic() + timeout
        while True:
            try:
                with psycopg2.connect(self.cluster.dsn) as conn, conn.cursor() as cursor:
                    cursor.execute("SELECT action, feed, url, query FROM reports ORDER BY id")
                    rows = cursor.fetchall()
                conn.close()
            except psycopg2.OperationalError:
                rows = []
            if len(rows) >= count or time.monotonic() > deadline:
                return [dict(zip(("action", "feed", "url", "query"), row)) for row in rows]
            time.sleep(0.1)

    def clear(self):
        import psycopg2
        with psycopg2.connect(self.cluster.dsn) as conn, conn.cursor() as cursor:
            cursor.execute("DELETE FROM reports")
        conn.close()

    def test_nginx_serves_the_static_parts_as_the_application_would(self):
        app = service_app.ServiceApp(service_app.CATALOG, None, self.address)
        try:
            for path in ("/preset_feeds.xml", "/feeds/news-1.xml", "/feeds/travel-1.xml", "/60x39.jpg",
                         "/articles/ferry-timetable.html", "/"):
                with self.subTest(path=path):
                    status, headers, body = fetch(self.address + path)
                    self.assertEqual((status, body), (200, app.static(path, self.address)[0]))
                    if path == "/preset_feeds.xml":
                        self.assertEqual(headers["Content-Type"], "text/plain")
                    again = fetch(self.address + path, {"If-None-Match": headers["ETag"]})
                    self.assertEqual(again[0], 304)
        finally:
            app.close()
        self.assertIn(b"<h1>not-exported.html</h1>", fetch(self.address + "/articles/not-exported.html")[2],
                      "what is not exported comes from gunicorn")
        self.assertEqual(fetch(self.address + "/feeds/none.xml")[0], 404)
        self.assertEqual(fetch(self.address + "/feeds/%00")[0], 400)

    def test_gunicorn_alone_serves_the_whole_protocol(self):
        direct = "http://127.0.0.1:%d" % self.app_port
        status, _, body = fetch(direct + "/preset_feeds.xml")
        self.assertEqual(status, 200)
        self.assertIn((self.address + "/feeds/news-1.xml\n").encode(), body)
        self.assertEqual(fetch(direct + "/feeds/%00")[0], 400)
        status, headers, _ = fetch(direct + "/feeds/news-2.xml")
        self.assertEqual(fetch(direct + "/feeds/news-2.xml", {"If-None-Match": headers["ETag"]})[0], 304)

    def test_reports_pass_through_nginx_and_gunicorn_unchanged_into_postgresql(self):
        # (An HTTP client sends no "#" and what follows it, so that report is left out here.)
        reports = [r for r in REPORTS if "#" not in r[0]]
        for front in (self.address, "http://127.0.0.1:%d" % self.app_port):
            with self.subTest(front=front):
                self.clear()
                for target, _ in reports:
                    self.assertEqual(fetch(front + target)[0], 200)
                expected = [dict(report, query=target.split("?", 1)[1]) for target, report in reports]
                by_query = lambda r: r["query"]  # noqa: E731 (each worker writes its own, so in no set order)
                self.assertEqual(sorted(self.stored(len(expected)), key=by_query), sorted(expected, key=by_query))

    def test_no_report_is_lost_while_the_database_restarts(self):
        self.clear()
        answered = []

        def send(first):
            for n in range(first, first + 150):
                status = fetch(self.address + "/clicks.php?action=view&feed=http://a.example/f.xml?n=%d" % n)[0]
                answered.append((n, status))

        senders = [threading.Thread(target=send, args=(first,)) for first in (0, 1000)]
        for sender in senders:
            sender.start()
        time.sleep(0.3)
        self.cluster.restart(down_seconds=1.0)
        for sender in senders:
            sender.join()
        self.assertEqual(sorted(status for _, status in answered), [200] * 300)
        stored = sorted(int(r["feed"].rsplit("=", 1)[1]) for r in self.stored(300))
        self.assertEqual(stored, sorted(n for n, _ in answered))


    def under_load(self, fault, seconds, senders=4, front=None):
        """Sends reports from a few clients while fault() runs, for at least `seconds` and until
        fault() has returned; gives (numbers answered 2xx, numbers sent)."""
        front = front or self.address
        answered, sent = set(), []
        done = threading.Event()
        lock = threading.Lock()

        def send(first):
            n = first
            deadline = time.monotonic() + seconds
            while time.monotonic() < deadline or not done.is_set():
                try:
                    status = fetch(front + "/clicks.php?action=view&feed=http://a.example/f.xml?n=%d" % n,
                                   timeout=30)[0]
                except OSError:
                    status = None
                with lock:
                    sent.append(n)
                    if status is not None and 200 <= status < 300:
                        answered.add(n)
                if status is None or status >= 500:
                    time.sleep(0.05)  # as a client that retries later would
                n += 1

        threads = [threading.Thread(target=send, args=(k * 1000000,)) for k in range(senders)]
        for thread in threads:
            thread.start()
        try:
            fault()
        finally:
            done.set()
            for thread in threads:
                thread.join()
        return answered, sent

    def assert_none_lost(self, answered, sent_again_by_nginx=False):
        """sent_again_by_nginx: a worker was killed after it stored a report and before it answered;
        nginx then sends that GET again on a new connection (the kept-alive one closed without an
        answer), so the report may be stored twice. Nothing may be lost either way."""
        stored = [int(r["feed"].rsplit("=", 1)[1]) for r in self.stored(len(answered))]
        lost = answered - set(stored)
        self.assertEqual(len(lost), 0, "%d answered 2xx and not stored (of %d answered, %d stored)"
                         % (len(lost), len(answered), len(stored)))
        twice = len(stored) - len(set(stored))
        self.assertLessEqual(twice, 4 if sent_again_by_nginx else 0, "stored twice")
        return stored

    def workers(self):
        out = subprocess.run(["ps", "-o", "pid=", "--ppid", str(self.gunicorn.pid)], capture_output=True, text=True)
        return [int(pid) for pid in out.stdout.split()]

    def test_a_database_stopped_for_30_seconds_loses_no_answered_report(self):
        self.clear()

        def outage():
            time.sleep(1)
            self.cluster.stop()
            time.sleep(30)
            self.cluster.start()
            time.sleep(2)

        answered, sent = self.under_load(outage, 1, senders=6)
        stored = self.assert_none_lost(answered)
        self.assertGreater(len(stored), 20)
        self.assertLess(len(answered), len(sent), "every report during the outage was answered 2xx")

    def test_a_worker_killed_loses_no_answered_report(self):
        self.clear()

        def kill():
            time.sleep(1.5)
            os.kill(self.workers()[0], signal.SIGKILL)
            time.sleep(3)

        answered, _ = self.under_load(kill, 1)
        self.assertGreater(len(answered), 50)
        self.assert_none_lost(answered, sent_again_by_nginx=True)

    def test_gunicorn_stopped_with_term_and_started_again_loses_no_answered_report(self):
        self.clear()

        def stop_and_start():
            time.sleep(1.5)
            self.gunicorn.terminate()
            self.assertEqual(self.gunicorn.wait(timeout=60), 0)
            type(self).start_gunicorn()
            time.sleep(1.5)

        answered, _ = self.under_load(stop_and_start, 1)
        self.assertGreater(len(answered), 50)
        self.assert_none_lost(answered)

    def test_reports_waiting_for_their_commit_at_a_graceful_stop_are_answered_and_stored(self):
        import psycopg2
        self.clear()
        count = 40
        answers = {}
        lock = psycopg2.connect(self.cluster.dsn)
        try:
            with lock.cursor() as cursor:
                cursor.execute("LOCK TABLE reports IN EXCLUSIVE MODE")  # commits wait, the database answers

            def send(n):
                answers[n] = fetch("http://127.0.0.1:%d/clicks.php?action=view&feed=http://a.example/f.xml?n=%d"
                                   % (self.app_port, n), timeout=60)[0]

            senders = [threading.Thread(target=send, args=(n,)) for n in range(count)]
            for sender in senders:
                sender.start()
            deadline = time.monotonic() + 30
            while not self.requests_read(count) and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertTrue(self.requests_read(count), "the reports did not all reach gunicorn")
            self.gunicorn.terminate()
            deadline = time.monotonic() + 30  # the commits are held until gunicorn no longer listens
            while self.listening() and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertFalse(self.listening())
            lock.rollback()
            for sender in senders:
                sender.join()
            self.assertEqual(self.gunicorn.wait(timeout=60), 0)
        finally:
            lock.close()
            if self.gunicorn.poll() is not None:
                type(self).start_gunicorn()
        self.assertEqual(answers, {n: 200 for n in range(count)})
        self.assertEqual(sorted(self.assert_none_lost(set(answers))), list(range(count)))

    def test_a_commit_waiting_for_the_database_holds_up_no_other_request(self):
        # Every worker has reports waiting inside an INSERT that the database holds; the worker
        # still serves its other requests in the meantime, and the reports are stored after.
        import psycopg2
        self.clear()
        direct = "http://127.0.0.1:%d" % self.app_port
        count = 24
        answers = {}
        lock = psycopg2.connect(self.cluster.dsn)
        try:
            with lock.cursor() as cursor:
                cursor.execute("LOCK TABLE reports IN EXCLUSIVE MODE")
            senders = [threading.Thread(target=lambda n=n: answers.__setitem__(n, fetch(
                direct + "/clicks.php?action=view&feed=http://a.example/f.xml?n=%d" % n, timeout=30)[0]))
                for n in range(count)]
            for sender in senders:
                sender.start()
            deadline = time.monotonic() + 10
            while not self.requests_read(count) and time.monotonic() < deadline:
                time.sleep(0.05)
            waits = []
            for _ in range(8):  # on new connections, to whichever worker takes them
                started = time.monotonic()
                try:
                    status = fetch(direct + "/preset_feeds.xml", timeout=3)[0]
                except OSError:
                    status = None
                waits.append((status, round(time.monotonic() - started, 2)))
            self.assertEqual(answers, {}, "the reports were answered while their commit could not happen")
        finally:
            lock.rollback()
            lock.close()
        for sender in senders:
            sender.join()
        self.assertTrue(all(status == 200 and wait < 1.0 for status, wait in waits), waits)
        self.assertEqual(answers, {n: 200 for n in range(count)})
        self.assertEqual(sorted(self.assert_none_lost(set(answers))), list(range(count)))

    def listening(self):
        return bool(subprocess.run(["ss", "-Htln", "( sport = :%d )" % self.app_port], capture_output=True,
                                   text=True).stdout.strip())

    def requests_read(self, count):
        """Whether gunicorn holds count connections and has read every request sent on them."""
        out = subprocess.run(["ss", "-Htn", "state", "established", "( sport = :%d )" % self.app_port],
                             capture_output=True, text=True).stdout.splitlines()
        return len(out) >= count and all(line.split()[0] == "0" for line in out)

    def test_a_long_address_and_a_nul_are_refused_and_block_no_later_report(self):
        self.clear()
        direct = "http://127.0.0.1:%d" % self.app_port
        self.assertEqual(fetch(self.address + "/clicks.php?action=view&feed=http://a.example/" + "x" * 5983)[0], 400)
        answer = raw("127.0.0.1", self.app_port, b"GET /clicks.php?action=view&feed=http://a.example/\x00.xml HTTP/1.0"
                                                 b"\r\nHost: x\r\n\r\n")
        self.assertTrue(answer.startswith(b"HTTP/1.0 400") or answer.startswith(b"HTTP/1.1 400"), answer[:100])
        sent = []
        for n in range(1000):
            front = direct if n % 2 else self.address
            self.assertEqual(fetch(front + "/clicks.php?action=view&feed=http://a.example/f.xml?n=%d" % n)[0], 200)
            sent.append(n)
        self.assertEqual(sorted(self.assert_none_lost(set(sent))), sent)

    def test_health_and_figures_are_for_the_machine_only(self):
        self.assertEqual(fetch(self.address + "/healthz")[:3:2], (200, b"ok\n"))
        self.assertIn(b"lullcast_reports_stored_total", fetch(self.address + "/metrics")[2])
        for path in ("/healthz", "/metrics"):
            self.assertEqual(fetch_from("127.0.0.2", self.address + path)[0], 403)
        statuses = [fetch_from("127.0.0.2", self.address + "/clicks.php?action=view&feed=y")[0] for _ in range(70)]
        self.assertIn(429, statuses)
        self.assertEqual(fetch(self.address + "/clicks.php?action=view&feed=y", method="HEAD")[0], 200)
        self.assertEqual(fetch(self.address + "/clicks.php?action=view&feed=y", method="POST")[0], 405)


def fetch_from(source, url):
    """(status, body) of a GET sent from another loopback address."""
    import http.client
    import urllib.parse
    parts = urllib.parse.urlsplit(url)
    connection = http.client.HTTPConnection(parts.hostname, parts.port, timeout=10, source_address=(source, 0))
    try:
        connection.request("GET", parts.path + ("?" + parts.query if parts.query else ""))
        response = connection.getresponse()
        return response.status, response.read()
    finally:
        connection.close()


@unittest.skipUnless(os.path.exists(GUNICORN), "needs gunicorn: bash tools/setup.sh installs it")
class DatabaseThatNeverAnswersTest(unittest.TestCase):
    """A database address where the connection is taken and nothing ever answers (a machine that
    hangs, a firewall that swallows the packets): gunicorn still starts, says it cannot store, and
    turns reports away for later."""

    def test_the_service_answers_503_while_the_database_never_answers(self):
        import socket
        silent = socket.socket()
        silent.bind(("127.0.0.1", 0))
        silent.listen(64)  # the kernel completes the connections; nothing reads from them
        app_port = unused_port()
        folder = tempfile.mkdtemp(prefix="lullcast-silent-db-")
        env = dict(os.environ, LULLCAST_DB="host=127.0.0.1 port=%d dbname=lullcast user=lullcast"
                   % silent.getsockname()[1])
        with open(os.path.join(folder, "gunicorn.log"), "w+") as log:
            gunicorn = subprocess.Popen([GUNICORN, "--chdir", SERVICE, "-c", os.path.join(DEPLOY, "gunicorn.conf.py"),
                                         "-b", "127.0.0.1:%d" % app_port], env=env, stdout=log, stderr=subprocess.STDOUT)
            try:
                wait_for_port(app_port, gunicorn)
                started = time.monotonic()
                health = report = None
                while time.monotonic() - started < 20 and (health, report) != (503, 503):
                    try:
                        health = fetch("http://127.0.0.1:%d/healthz" % app_port, timeout=5)[0]
                        status, headers, _ = fetch("http://127.0.0.1:%d/clicks.php?action=view&feed=http://a.example/"
                                                   "f.xml" % app_port, timeout=10)
                        report = status
                    except OSError:
                        pass
                log.seek(0)
                self.assertEqual((health, report), (503, 503), log.read()[-2000:])
                self.assertEqual(headers["Retry-After"], "5")
                self.assertLess(time.monotonic() - started, 20)
            finally:
                gunicorn.terminate()
                gunicorn.wait(timeout=60)
                silent.close()
                shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
