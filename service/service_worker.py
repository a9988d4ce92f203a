"""gunicorn's threaded worker (gthread) for requests that wait: a report is answered only once its
group commit is done, so each worker has many requests in hand at once. gthread's own loop asks
every request in hand whether it has finished, at each turn (concurrent.futures.wait over all of
them: two lock operations per request in hand, at every request that arrives); here a request that
finishes takes itself off the list, and the loop only serves the sockets. Otherwise the same
worker: the connections, the keep-alive, the graceful stop (the requests in hand are finished, up
to graceful_timeout) are gthread's.

    worker_class = "service_worker.ReportWorker"   (service/deploy/gunicorn.conf.py)
"""
import concurrent.futures
import selectors
import threading
from functools import partial

from gunicorn.workers import gthread


class ReportWorker(gthread.ThreadWorker):

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.futures = set()  # the requests in hand
        self._finished = threading.Condition(threading.Lock())

    def _wrap_future(self, fs, conn):
        fs.conn = conn
        with self._finished:
            self.futures.add(fs)
        fs.add_done_callback(self._finish)  # in the request's own thread, as it ends

    def _finish(self, fs):
        try:
            self.finish_request(fs)
        finally:
            with self._finished:
                self.futures.discard(fs)
                self._finished.notify_all()

    def run(self):
        for sock in self.sockets:
            sock.setblocking(False)
            # the listener's name, taken once: a graceful stop may make it unavailable later
            self.poller.register(sock, selectors.EVENT_READ, partial(self.accept, sock.getsockname()))

        while self.alive:
            self.notify()  # alive, for the arbiter
            if self.nr_conns < self.worker_connections:
                for key, _ in self.poller.select(1.0):
                    key.data(key.fileobj)
            else:  # no more connections until a request ends
                with self._finished:
                    self._finished.wait(1.0)
            if not self.is_parent_alive():
                break
            self.murder_keepalived()

        self.tpool.shutdown(False)
        self.poller.close()
        for sock in self.sockets:
            sock.close()
        with self._finished:
            in_hand = list(self.futures)
        concurrent.futures.wait(in_hand, timeout=self.cfg.graceful_timeout)
