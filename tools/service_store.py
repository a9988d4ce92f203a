"""The reports store of the reference service: the view and click reports in SQLite (a file, or
memory) or in PostgreSQL, one schema for both:

    reports (id, time TEXT "YYYY-MM-DD HH:MM:SS" local time, action TEXT, feed TEXT, url TEXT, query TEXT)
    index reports_by_time (time, action, feed), for the questions by day or range, feed and action

The table and index are created when the store first reaches its database. Reports are written by
one thread from a bounded queue, in batches: a write that fails (the database restarting, a locked
SQLite file) is retried with a growing pause, and meanwhile new reports wait in the queue. A report
that finds the queue full is dropped and counted (`dropped`); nothing else is ever thrown away.

    store = open_store("reports.sqlite")                 # or ":memory:", or None for memory
    store = open_store("postgresql://lullcast@/lullcast") # or "host=/run/postgresql dbname=lullcast"
    store.add("view", "http://.../feeds/news-1.xml", None, "action=view&feed=...")
    store.flush()      # waits until everything added so far is written
    store.reports()    # dicts of action, feed, url, query, oldest first
    store.close()      # writes what is queued, then ends the writing thread

psycopg2 belongs to Debian's /usr/bin/python3; it is imported only for a PostgreSQL store.
"""
import collections
import sqlite3
import sys
import threading
import time

QUEUE_LIMIT = 10000
BATCH = 500
RETRY_PAUSES = (0.05, 0.1, 0.2, 0.5, 1.0, 2.0)  # seconds between tries; the last one repeats
COLUMNS = ("time", "action", "feed", "url", "query")


def is_postgresql(target):
    """True for a PostgreSQL connection string (a URI or libpq's key=value form)."""
    return bool(target) and (target.startswith(("postgresql://", "postgres://")) or "=" in target)


def open_store(target=None, queue_limit=QUEUE_LIMIT):
    """The store named by target: a PostgreSQL connection string, an SQLite file, or memory."""
    if is_postgresql(target):
        return PostgresStore(target, queue_limit)
    return SqliteStore(target or ":memory:", queue_limit)


class _Store:
    """What both stores share: the queue, the writing thread and the retries."""

    placeholder = "?"

    def __init__(self, queue_limit):
        self.queue_limit = queue_limit
        self.dropped = 0
        self.failures = 0  # writes that failed and were retried
        self._queue = collections.deque()
        self._written = 0  # reports taken from the queue and committed
        self._added = 0
        self._cond = threading.Condition()
        self._closing = False
        self._thread = threading.Thread(target=self._write_loop, name="reports-writer", daemon=True)
        self._thread.start()

    def add(self, action, feed, url, query, when=None):
        """Queues one report; False when the queue was full and the report was dropped."""
        row = (when or time.strftime("%Y-%m-%d %H:%M:%S"), action, feed, url, query)
        with self._cond:
            if len(self._queue) >= self.queue_limit or self._closing:
                self.dropped += 1
                return False
            self._queue.append(row)
            self._added += 1
            self._cond.notify_all()
        return True

    def pending(self):
        with self._cond:
            return len(self._queue)

    def flush(self, timeout=30.0):
        """Waits until every report added so far is written; False if that took longer than timeout."""
        deadline = time.monotonic() + timeout
        with self._cond:
            target = self._added
            while self._written < target:
                left = deadline - time.monotonic()
                if left <= 0:
                    return False
                self._cond.wait(left)
        return True

    def close(self, timeout=30.0):
        """Writes what is queued (for at most timeout seconds) and ends the writing thread."""
        if self._closing:
            return
        self.flush(timeout)
        with self._cond:
            self._closing = True
            self._cond.notify_all()
        self._thread.join(timeout=5)
        self._disconnect()
        if self.dropped or self.pending():
            print("reports store: %d reports dropped (queue full), %d not written" % (self.dropped, self.pending()),
                  file=sys.stderr)

    def reports(self):
        """Every stored report, oldest first, as dicts of action, feed, url and query."""
        self.flush()
        rows = self._read("SELECT action, feed, url, query FROM reports ORDER BY id", ())
        return [dict(zip(("action", "feed", "url", "query"), row)) for row in rows]

    def count(self):
        self.flush()
        return self._read("SELECT count(*) FROM reports", ())[0][0]

    def totals(self, start, end):
        """(feed, action, count) of the reports with start <= time < end (texts as stored)."""
        self.flush()
        p = self.placeholder
        return self._read("SELECT feed, action, count(*) FROM reports WHERE time >= %s AND time < %s"
                          " GROUP BY feed, action ORDER BY feed, action" % (p, p), (start, end))

    def _write_loop(self):
        tries = 0
        while True:
            with self._cond:
                while not self._queue and not self._closing:
                    self._cond.wait()
                if not self._queue:
                    return
                batch = [self._queue[i] for i in range(min(BATCH, len(self._queue)))]
            try:
                self._insert(batch)
            except Exception as error:  # the database is away: keep the batch and try again
                self.failures += 1
                self._disconnect()
                if tries == 0:
                    print("reports store: write failed, retrying: %s" % str(error).strip(), file=sys.stderr)
                pause = RETRY_PAUSES[min(tries, len(RETRY_PAUSES) - 1)]
                tries += 1
                with self._cond:
                    if self._closing and tries > len(RETRY_PAUSES) * 4:
                        return  # closing and the database stays away: give up on the rest
                    self._cond.wait(pause)
                continue
            tries = 0
            with self._cond:
                for _ in batch:
                    self._queue.popleft()
                self._written += len(batch)
                self._cond.notify_all()


class SqliteStore(_Store):
    def __init__(self, path, queue_limit=QUEUE_LIMIT):
        self.path = path
        self._lock = threading.Lock()  # one connection, shared by the writer and the readers
        self._db = sqlite3.connect(path, timeout=5, check_same_thread=False)
        if path != ":memory:":
            self._db.execute("PRAGMA journal_mode=WAL")  # readers and other processes do not block writes
        _create_schema(self._db, "INTEGER PRIMARY KEY")
        super().__init__(queue_limit)

    def _insert(self, rows):
        with self._lock:
            try:
                self._db.executemany("INSERT INTO reports (time, action, feed, url, query) VALUES (?, ?, ?, ?, ?)",
                                     rows)
                self._db.commit()
            except BaseException:
                self._db.rollback()
                raise

    def _read(self, sql, args):
        with self._lock:
            return self._db.execute(sql, args).fetchall()

    def _disconnect(self):
        pass  # the file stays open; a locked database is simply tried again

    def close(self, timeout=30.0):
        super().close(timeout)
        with self._lock:
            self._db.close()


class PostgresStore(_Store):
    placeholder = "%s"

    def __init__(self, dsn, queue_limit=QUEUE_LIMIT):
        import psycopg2  # noqa: F401 (fails early when the interpreter lacks it)
        self.dsn = dsn
        self._conn = None
        self._lock = threading.Lock()
        try:
            self._connect()  # schema on first start; a database still away is retried by the writer
        except psycopg2.OperationalError as error:
            print("reports store: database not reachable yet: %s" % str(error).strip(), file=sys.stderr)
        super().__init__(queue_limit)

    def _connect(self):
        import psycopg2
        if self._conn is None or self._conn.closed:
            conn = psycopg2.connect(self.dsn, connect_timeout=5)
            try:
                _create_schema(conn, "BIGSERIAL PRIMARY KEY")
            except psycopg2.errors.UniqueViolation:
                conn.rollback()  # another process created it at the same moment
            self._conn = conn
        return self._conn

    def _insert(self, rows):
        with self._lock:
            import psycopg2.extras
            conn = self._connect()
            try:
                with conn.cursor() as cursor:  # one statement for the batch
                    psycopg2.extras.execute_values(cursor, "INSERT INTO reports (time, action, feed, url, query)"
                                                   " VALUES %s", rows, page_size=BATCH)
                conn.commit()
            except BaseException:
                if not conn.closed:
                    conn.rollback()
                raise

    def _read(self, sql, args):
        import psycopg2
        with self._lock:
            for attempt in range(2):
                try:
                    conn = self._connect()
                    with conn.cursor() as cursor:
                        cursor.execute(sql, args)
                        rows = cursor.fetchall()
                    conn.rollback()
                    return rows
                except (psycopg2.OperationalError, psycopg2.InterfaceError):
                    self._close_connection()
                    if attempt:
                        raise

    def _disconnect(self):
        with self._lock:
            self._close_connection()

    def _close_connection(self):
        if self._conn is not None:
            try:
                self._conn.close()
            except Exception:
                pass
            self._conn = None


def _create_schema(conn, id_column):
    cursor = conn.cursor()
    cursor.execute("CREATE TABLE IF NOT EXISTS reports (id %s, time TEXT, action TEXT, feed TEXT, url TEXT,"
                   " query TEXT)" % id_column)
    cursor.execute("CREATE INDEX IF NOT EXISTS reports_by_time ON reports (time, action, feed)")
    cursor.close()
    conn.commit()
