"""The reports store of the reference service: the view and click reports in SQLite (a file, or
memory) or in PostgreSQL, one schema for both:

    reports (id, time TEXT "YYYY-MM-DD HH:MM:SS+00:00" in UTC, action TEXT, feed TEXT, url TEXT, query TEXT)
    index reports_by_time (time, action, feed), for the questions by day or range, feed and action
    schema_version (version INTEGER): the schema's version; each start upgrades an older one

The schema is made, or upgraded, when the store first reaches its database (or by
`python3 service/service_store.py upgrade --db ...`). One thread writes the reports, in group
commits: one transaction takes every report that arrived while the previous one committed. A
handler that answers only once its report is stored calls store(), which waits a bounded time for
the commit that holds the report. A batch that fails while the database still answers is written
again row by row, so that a bad row is refused alone; a database that is away (restarting, a
locked SQLite file) is tried again with a growing pause. Every retry and every refusal is logged on
stderr, with its count, when it happens.

    store = open_store("reports.sqlite")                 # or ":memory:", or None for memory
    store = open_store("postgresql://lullcast@/lullcast") # or "host=/run/postgresql dbname=lullcast"
    store.store("view", "http://.../feeds/news-1.xml", None, "action=view&feed=...")
                       # STORED, REFUSED (a row the database does not take) or BUSY (not in time)
    store.add(...)     # queues without waiting; False when the queue was full
    store.flush()      # waits until everything added so far is written
    store.reports()    # dicts of action, feed, url, query, oldest first
    store.close()      # writes what is queued, then ends the writing thread

psycopg2 belongs to Debian's /usr/bin/python3; it is imported only for a PostgreSQL store.
"""
import argparse
import collections
import datetime
import os
import pwd
import sqlite3
import sys
import threading
import time

QUEUE_LIMIT = 10000
BATCH = 1000
RETRY_PAUSES = (0.05, 0.1, 0.2, 0.5, 1.0, 2.0)  # seconds between tries; the last one repeats
COLUMNS = ("time", "action", "feed", "url", "query")
SCHEMA_VERSION = 2
STORED, REFUSED, BUSY = "stored", "refused", "busy"
# Under load the writer waits GATHER seconds before it takes a batch smaller than GATHER_SIZE: fewer,
# larger commits cost the database and the waiting threads less than they add to each report's wait.
# A report that comes alone (the last batch was one report) is written at once.
GATHER = 0.002
GATHER_SIZE = 16
CONFIG = "/etc/lullcast/lullcast.env"  # the service's configuration, as systemd reads it


def is_postgresql(target):
    """True for a PostgreSQL connection string (a URI or libpq's key=value form)."""
    return bool(target) and (target.startswith(("postgresql://", "postgres://")) or "=" in target)


def open_store(target=None, queue_limit=QUEUE_LIMIT):
    """The store named by target: a PostgreSQL connection string, an SQLite file, or memory."""
    if is_postgresql(target):
        return PostgresStore(target, queue_limit)
    return SqliteStore(target or ":memory:", queue_limit)


def time_text(when=None):
    """The stored form of a time: UTC with its offset. when: None (now), an aware datetime, or a
    naive datetime or "YYYY-MM-DD HH:MM:SS" text of the local time."""
    if when is None:
        moment = datetime.datetime.now(datetime.timezone.utc)
    else:
        moment = datetime.datetime.fromisoformat(when) if isinstance(when, str) else when
        if moment.tzinfo is None:
            moment = moment.astimezone()  # local time
    return moment.astimezone(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M:%S+00:00")


def _log(message):
    print("reports store: " + message, file=sys.stderr, flush=True)


class _Ticket:
    """One report on its way: its row, and its fate once the writer has decided it."""

    __slots__ = ("row", "state", "taken", "decided")

    def __init__(self, row):
        self.row = row
        self.state = None  # STORED or REFUSED once decided, BUSY when given up
        self.taken = False  # in the writer's hands: no longer withdrawn by a waiter that gives up
        self.decided = threading.Lock()  # held until the state is decided: its waiter alone waits on it
        self.decided.acquire()


class _Store:
    """What both stores share: the queue, the writing thread, the retries and the figures."""

    placeholder = "?"

    def __init__(self, queue_limit):
        self.queue_limit = queue_limit
        self.dropped = 0  # not taken: the queue was full, or the wait for the commit ran out
        self.failures = 0  # writes that failed and were retried
        self.refused = 0  # rows the database refused
        self.stored = 0
        self.commits = 0
        self.commit_seconds = 0.0  # the time the commits took, together
        self.failing = False  # the last write failed and the database has not answered since
        self._queue = collections.deque()
        self._written = 0  # reports decided (stored or refused)
        self._added = 0
        self._probes = []
        self._cond = threading.Condition()
        self._closing = False
        self._thread = threading.Thread(target=self._write_loop, name="reports-writer", daemon=True)
        self._thread.start()

    def submit(self, action, feed, url, query, when=None):
        """Queues one report: its ticket, or None when the queue is full (counted in dropped)."""
        ticket = _Ticket((time_text(when), action, feed, url, query))
        with self._cond:
            if len(self._queue) >= self.queue_limit or self._closing:
                self.dropped += 1
                return None
            self._queue.append(ticket)
            self._added += 1
            self._cond.notify_all()
        return ticket

    def add(self, action, feed, url, query, when=None):
        """Queues one report without waiting for it; False when the queue was full and it was dropped."""
        return self.submit(action, feed, url, query, when) is not None

    def store(self, action, feed, url, query, timeout=5.0):
        """Stores one report and waits for its commit: STORED, REFUSED (the database does not take
        that row), or BUSY (the queue is full or the commit did not come in time; the report is then
        withdrawn if the writer has not taken it yet, else it may still be stored)."""
        ticket = self.submit(action, feed, url, query)
        if ticket is None:
            return BUSY
        if ticket.decided.acquire(timeout=timeout):
            return ticket.state
        with self._cond:
            if ticket.state is not None:  # decided at this moment
                return ticket.state
            if not ticket.taken:
                ticket.state = BUSY  # the writer skips it
                self._written += 1
                self._cond.notify_all()
            self.dropped += 1
            return BUSY

    def writable(self, timeout=2.0):
        """Whether the store takes writes now: the writer reaches the database within timeout."""
        probe = {"ok": None}
        with self._cond:
            if self.failing or self._closing:
                return False
            self._probes.append(probe)
            self._cond.notify_all()
            deadline = time.monotonic() + timeout
            while probe["ok"] is None and time.monotonic() < deadline:
                self._cond.wait(deadline - time.monotonic())
        return bool(probe["ok"])

    def pending(self):
        with self._cond:
            return sum(1 for t in self._queue if t.state is None)

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
        """Writes what is queued (for at most timeout seconds) and ends the writing thread; what is
        still queued then is given up (its waiters answered BUSY) and counted."""
        if self._closing:
            return
        self.flush(timeout)
        with self._cond:
            self._closing = True
            left = [t for t in self._queue if t.state is None]
            for ticket in left:
                ticket.state = BUSY
                ticket.decided.release()
            self._queue.clear()
            self._cond.notify_all()
        self._thread.join(timeout=10)
        self._disconnect()
        if self.dropped or left:
            _log("closed with %d reports not written, %d dropped in all" % (len(left), self.dropped))

    def reports(self):
        """Every stored report, oldest first, as dicts of action, feed, url and query."""
        self.flush()
        rows = self._read("SELECT action, feed, url, query FROM reports ORDER BY id", ())
        return [dict(zip(("action", "feed", "url", "query"), row)) for row in rows]

    def count(self):
        self.flush()
        return self._read("SELECT count(*) FROM reports", ())[0][0]

    def totals(self, start, end):
        """(feed, action, count) of the reports with start <= time < end (texts as time_text() makes)."""
        self.flush()
        p = self.placeholder
        return self._read("SELECT feed, action, count(*) FROM reports WHERE time >= %s AND time < %s"
                          " GROUP BY feed, action ORDER BY feed, action" % (p, p), (start, end))

    def delete_before(self, when):
        """Deletes the reports older than when (a time_text()); gives how many."""
        return self._delete("DELETE FROM reports WHERE time < %s" % self.placeholder, (when,))

    def _take(self):
        """The next batch, taken from the queue (the caller holds the condition)."""
        batch = []
        while self._queue and len(batch) < BATCH:
            ticket = self._queue.popleft()
            if ticket.state is None:
                ticket.taken = True
                batch.append(ticket)
        return batch

    def _decide(self, tickets, state):
        with self._cond:
            for ticket in tickets:
                ticket.state = state
                ticket.decided.release()
            self._written += len(tickets)
            if state == STORED:
                self.stored += len(tickets)
            else:
                self.refused += len(tickets)
            self._cond.notify_all()

    def _give_back(self, tickets):
        with self._cond:
            for ticket in reversed(tickets):
                ticket.taken = False  # a waiter that gives up may withdraw it again
                self._queue.appendleft(ticket)

    def _answer_probes(self, ok):
        with self._cond:
            for probe in self._probes:
                probe["ok"] = ok
            self._probes = []
            self._cond.notify_all()

    def _write_loop(self):
        tries = 0
        last = 0  # the size of the last batch
        while True:
            with self._cond:
                while not self._queue and not self._probes and not self._closing:
                    self._cond.wait()
                gather = last > 1 and len(self._queue) < GATHER_SIZE and not self._closing
            if gather:
                time.sleep(GATHER)  # no new report wakes it
            with self._cond:
                batch = self._take()
                last = len(batch)
                if not batch and self._closing:
                    self._answer_probes(False)
                    return
            ok = self._write(batch) if batch else self._reachable()
            self._answer_probes(ok)
            if ok:
                if tries:
                    _log("writing again after %d failed tries" % tries)
                tries = 0
                self.failing = False
                continue
            self.failing = True
            self.failures += 1
            pause = RETRY_PAUSES[min(tries, len(RETRY_PAUSES) - 1)]
            tries += 1
            resume = time.monotonic() + pause
            with self._cond:  # (new reports wake the condition: the pause is kept all the same)
                while not self._closing and time.monotonic() < resume:
                    self._cond.wait(resume - time.monotonic())
                if self._closing:
                    return

    def _write(self, batch):
        """Writes a batch (in one transaction, else row by row); False when the database is away
        (what is not written is then back in the queue)."""
        started = time.monotonic()
        try:
            self._insert([t.row for t in batch])
        except Exception as error:
            if not self._reachable():
                self._give_back(batch)
                _log("write of %d reports failed (%d waiting), retrying: %s"
                     % (len(batch), self.pending(), str(error).strip().splitlines()[0] if str(error).strip() else
                        type(error).__name__))
                return False
            return self._write_rows(batch)
        self.commits += 1
        self.commit_seconds += time.monotonic() - started
        self._decide(batch, STORED)
        return True

    def _write_rows(self, batch):
        for n, ticket in enumerate(batch):
            try:
                self._insert([ticket.row])
            except Exception as error:
                if not self._reachable():
                    self._give_back(batch[n:])
                    _log("write failed while retrying row by row (%d waiting): %s" % (self.pending(), error))
                    return False
                self._decide([ticket], REFUSED)
                _log("refused a report (%d refused so far): %s: %.200r"
                     % (self.refused, str(error).strip().splitlines()[0] if str(error).strip() else
                        type(error).__name__, ticket.row[2]))
                continue
            self._decide([ticket], STORED)
        return True


class SqliteStore(_Store):
    def __init__(self, path, queue_limit=QUEUE_LIMIT):
        self.path = path
        self._lock = threading.Lock()  # one connection, shared by the writer and the readers
        self._db = sqlite3.connect(path, timeout=5, check_same_thread=False)
        if path != ":memory:":
            self._db.execute("PRAGMA journal_mode=WAL")  # readers and other processes do not block writes
            # each commit reaches the disk before its reports are answered (NORMAL, which some builds
            # take by default in WAL mode, would sync only at checkpoints)
            self._db.execute("PRAGMA synchronous=FULL")
        _upgrade_schema(self._db, "INTEGER PRIMARY KEY", sqlite=True)
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

    def _reachable(self):
        with self._lock:
            try:
                self._db.execute("BEGIN IMMEDIATE")  # fails while another process holds the write lock
                self._db.rollback()
                return True
            except sqlite3.Error:
                return False

    def _read(self, sql, args):
        with self._lock:
            return self._db.execute(sql, args).fetchall()

    def _delete(self, sql, args):
        with self._lock:
            count = self._db.execute(sql, args).rowcount
            self._db.commit()
            return count

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
            _log("database not reachable yet: %s" % str(error).strip())
        super().__init__(queue_limit)

    def _connect(self):
        import psycopg2
        if self._conn is None or self._conn.closed:
            conn = psycopg2.connect(self.dsn, connect_timeout=5)
            try:
                _upgrade_schema(conn, "BIGSERIAL PRIMARY KEY", sqlite=False)
            except BaseException:
                conn.close()
                raise
            conn.autocommit = True  # a batch is one INSERT, its own transaction: one round trip
            self._conn = conn
        return self._conn

    def _insert(self, rows):
        with self._lock:
            import psycopg2.extras
            try:
                conn = self._connect()
            except Exception:
                self._close_connection()
                raise
            try:
                with conn.cursor() as cursor:  # one statement for the batch, committed as it ends
                    psycopg2.extras.execute_values(cursor, "INSERT INTO reports (time, action, feed, url, query)"
                                                   " VALUES %s", rows, page_size=BATCH)
            except (psycopg2.OperationalError, psycopg2.InterfaceError):
                self._close_connection()
                raise

    def _reachable(self):
        with self._lock:
            try:
                conn = self._connect()
                with conn.cursor() as cursor:
                    cursor.execute("SELECT 1")
                return True
            except Exception:
                self._close_connection()
                return False

    def _read(self, sql, args):
        import psycopg2
        with self._lock:
            for attempt in range(2):
                try:
                    conn = self._connect()
                    with conn.cursor() as cursor:
                        cursor.execute(sql, args)
                        return cursor.fetchall()
                except (psycopg2.OperationalError, psycopg2.InterfaceError):
                    self._close_connection()
                    if attempt:
                        raise

    def _delete(self, sql, args):
        with self._lock:
            conn = self._connect()
            with conn.cursor() as cursor:
                cursor.execute(sql, args)
                return cursor.rowcount

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


# The schema's steps: each brings version n - 1 to n. A database made before versions counted is
# version 1 once its table and index exist.
def _step_2(cursor, sqlite):
    """Times as UTC with their offset; the older ones were local times without one."""
    if sqlite:
        cursor.execute("UPDATE reports SET time = datetime(time, 'utc') || '+00:00' WHERE time NOT LIKE '%+00:00'")
    else:
        cursor.execute("UPDATE reports SET time = to_char(time::timestamp AT TIME ZONE current_setting('TimeZone')"
                       " AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS') || '+00:00' WHERE time NOT LIKE '%%+00:00'")


STEPS = {2: _step_2}


def _upgrade_schema(conn, id_column, sqlite):
    """Makes the schema, or brings it up to SCHEMA_VERSION, in one transaction (PostgreSQL: one
    process at a time, so that workers starting together do it once)."""
    cursor = conn.cursor()
    try:
        if not sqlite:
            cursor.execute("SELECT pg_advisory_xact_lock(4262001)")
        cursor.execute("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)")
        cursor.execute("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'reports'" if sqlite else
                       "SELECT to_regclass('reports')")
        row = cursor.fetchone()
        cursor.execute("SELECT max(version) FROM schema_version")
        version = cursor.fetchone()[0]
        if row is None or row[0] is None:  # a new database
            cursor.execute("CREATE TABLE reports (id %s, time TEXT, action TEXT, feed TEXT, url TEXT, query TEXT)"
                           % id_column)
            version = SCHEMA_VERSION
        cursor.execute("CREATE INDEX IF NOT EXISTS reports_by_time ON reports (time, action, feed)")
        version = version or 1
        cursor.execute("DELETE FROM schema_version")
        cursor.execute("INSERT INTO schema_version (version) VALUES (%d)" % version)
        while version < SCHEMA_VERSION:
            version += 1
            STEPS[version](cursor, sqlite)
            cursor.execute("UPDATE schema_version SET version = %d" % version)
            _log("schema upgraded to version %d" % version)
        conn.commit()
    except BaseException:
        conn.rollback()
        raise
    finally:
        cursor.close()


def read_config(path):
    """The KEY=value lines of an environment file, as a dict (quotes around a value removed)."""
    values = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#") and "=" in line:
                key, _, value = line.partition("=")
                value = value.strip()
                if len(value) >= 2 and value[0] == value[-1] and value[0] in "\"'":
                    value = value[1:-1]
                values[key.strip()] = value
    return values


def become(user):
    """Run as root: goes on as that user (its groups too); anyone else stays who they are."""
    if os.geteuid() != 0 or not user or user == "root":
        return
    entry = pwd.getpwnam(user)
    os.initgroups(user, entry.pw_gid)
    os.setgid(entry.pw_gid)
    os.setuid(entry.pw_uid)
    os.environ.update(HOME=entry.pw_dir, USER=user, LOGNAME=user)


def main(argv=None):
    parser = argparse.ArgumentParser(description="The reports store: make its schema, or bring it up to date."
                                                 " Run as root, it becomes the configuration's LULLCAST_USER.")
    parser.add_argument("command", choices=["upgrade"])
    parser.add_argument("--db", help="SQLite file, or PostgreSQL connection string (default: the configuration's)")
    parser.add_argument("--config", help="the service's environment file (default %s)" % CONFIG)
    args = parser.parse_args(argv)
    config = {}
    if args.config or (not args.db and os.path.isfile(CONFIG)):
        config = read_config(args.config or CONFIG)
    database = args.db or config.get("LULLCAST_DB")
    if not database:
        parser.error("no database: give --db or a configuration with LULLCAST_DB")
    become(config.get("LULLCAST_USER"))
    store = open_store(database)
    try:
        if is_postgresql(database):
            store._connect()
        print("schema version %d" % store._read("SELECT max(version) FROM schema_version", ())[0][0])
    finally:
        store.close()


if __name__ == "__main__":
    sys.exit(main())
