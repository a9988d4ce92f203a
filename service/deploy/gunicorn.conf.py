# gunicorn settings of the reference service (service/lullcast_wsgi.py). Listens on 127.0.0.1:8000
# for the web server in front (service/deploy/nginx-lullcast.conf); set another address with -b.
# The systemd unit (lullcast.service) adds the pid file and the logs.
import os

bind = ["127.0.0.1:8000"]
wsgi_app = "lullcast_wsgi:application"
# gevent, with PostgreSQL waiting in its loop (service/service_worker.py): a report waits for its
# group commit, so many requests are in hand at once, each a greenlet costing little
worker_class = "service_worker.ReportWorker"
workers = len(os.sched_getaffinity(0))  # one a core: more cost more than they wait, and split the group commits
worker_connections = 1000  # connections in hand at once, a worker
backlog = 1024
timeout = 30
graceful_timeout = 30
keepalive = 5
limit_request_line = 8190


def worker_exit(server, worker):
    # Every report answered is stored already; this ends the writer and says what it dropped.
    import lullcast_wsgi
    lullcast_wsgi.application.close()

