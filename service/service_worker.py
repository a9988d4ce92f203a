"""gunicorn's gevent worker, with PostgreSQL made to wait as gevent does. A report is answered
only once its group commit is done, so each worker has many requests in hand at once, most of them
waiting: one thread serves them all, each request a greenlet, and a wait (for the commit, for the
database's answer, for the next request of a keep-alive connection) costs no thread switch. The
threaded worker spent most of its time handing the interpreter from thread to thread as each
commit woke its reports' waiters.

gunicorn's gevent worker patches the standard library (threading, socket, time.sleep) before it
loads the application, so the store's writing thread is a greenlet too and its locks are gevent's.
psycopg2 is a C library that waits in libpq: its wait callback hands each wait to gevent's loop.
An SQLite store (only when LULLCAST_DB names none) still waits inside SQLite, and holds up the
worker's other requests while it commits. The connections, the keep-alive and the graceful stop
(the requests in hand are finished, up to graceful_timeout) are the gevent worker's.

    worker_class = "service_worker.ReportWorker"   (service/deploy/gunicorn.conf.py)
"""
from gunicorn.workers.ggevent import GeventWorker


def wait_in_loop(connection, timeout=None):
    """psycopg2's wait callback: polls the connection, and waits for its socket in gevent's loop."""
    import psycopg2.extensions
    from gevent.socket import wait_read, wait_write
    while True:
        state = connection.poll()
        if state == psycopg2.extensions.POLL_OK:
            return
        if state == psycopg2.extensions.POLL_READ:
            wait_read(connection.fileno(), timeout=timeout)
        elif state == psycopg2.extensions.POLL_WRITE:
            wait_write(connection.fileno(), timeout=timeout)
        else:
            raise psycopg2.OperationalError("unexpected state of the connection: %r" % state)


class ReportWorker(GeventWorker):

    def patch(self):
        super().patch()
        try:
            import psycopg2.extensions
        except ImportError:  # an interpreter without psycopg2 has SQLite stores only
            return
        psycopg2.extensions.set_wait_callback(wait_in_loop)
