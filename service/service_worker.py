"""gunicorn's gevent worker, with PostgreSQL made to wait as gevent does. A report is answered
only once its group commit is done, so each worker has many requests in hand at once, most of them
waiting: one thread serves them all, each request a greenlet, and a wait (for the commit, for the
database's answer, for the next request of a keep-alive connection) costs no thread switch. The
threaded worker spent most of its time handing the interpreter from thread to thread as each
commit woke its reports' waiters.

gunicorn's gevent worker patches the standard library (threading, socket, time.sleep) before it
loads the application, so the store's writing thread is a greenlet too and its locks are gevent's.
psycopg2 is a C library that waits in libpq: its wait callback hands each wait to gevent's loop.
libpq then makes its connections in steps, and leaves their time limit (connect_timeout) to the
caller: the callback keeps it, so that a database that takes the connection and never answers
fails the attempt like any database that is away, and the store tries again later.
An SQLite store (only when LULLCAST_DB names none) still waits inside SQLite, and holds up the
worker's other requests while it commits. The connections, the keep-alive and the graceful stop
(the requests in hand are finished, up to graceful_timeout) are the gevent worker's.

    worker_class = "service_worker.ReportWorker"   (service/deploy/gunicorn.conf.py)
"""
import time

from gunicorn.workers.ggevent import GeventWorker

CONNECT_TIMEOUT = 5.0  # seconds, as the store's connect_timeout
CONNECTION_OK = 0  # libpq's PQstatus once connected; the steps before it count against CONNECT_TIMEOUT


def wait_in_loop(connection):
    """psycopg2's wait callback: polls the connection, and waits for its socket in gevent's loop."""
    import psycopg2.extensions
    from gevent.socket import wait_read, wait_write
    connecting = connection.info.status != CONNECTION_OK
    deadline = time.monotonic() + CONNECT_TIMEOUT
    while True:
        state = connection.poll()
        if state == psycopg2.extensions.POLL_OK:
            return
        if state not in (psycopg2.extensions.POLL_READ, psycopg2.extensions.POLL_WRITE):
            raise psycopg2.OperationalError("unexpected state of the connection: %r" % state)
        wait = wait_read if state == psycopg2.extensions.POLL_READ else wait_write
        try:
            wait(connection.fileno(), timeout=max(deadline - time.monotonic(), 0.001) if connecting else None,
                 timeout_exc=TimeoutError)
        except TimeoutError:
            raise psycopg2.OperationalError("timeout expired: no connection within %g s" % CONNECT_TIMEOUT) from None


class ReportWorker(GeventWorker):

    def patch(self):
        super().patch()
        try:
            import psycopg2.extensions
        except ImportError:  # an interpreter without psycopg2 has SQLite stores only
            return
        psycopg2.extensions.set_wait_callback(wait_in_loop)
