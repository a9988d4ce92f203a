"""The reference service for gunicorn: the WSGI application of service/service_app.py, set up from
the environment.

    LULLCAST_DB        the reports store: a PostgreSQL connection string ("postgresql://lullcast@/lullcast",
                       "host=/run/postgresql dbname=lullcast") or an SQLite file (default reports.sqlite)
    LULLCAST_ADDRESS   the service's public base address, e.g. http://news.example.org, written into
                       the preset list and the feeds (default: each request's own Host)
    LULLCAST_CATALOG   the folder of the sample feeds and the sponsor picture (default service/catalog)

    gunicorn --chdir service -c service/deploy/gunicorn.conf.py

Each gunicorn worker has its own store and writing thread, and answers a report only once it is
committed; /metrics gives the figures of the worker that answers.
"""
import atexit
import os
import sys

import service_app

_database = os.environ.get("LULLCAST_DB") or "reports.sqlite"
if not os.environ.get("LULLCAST_DB"):
    print("lullcast: LULLCAST_DB is not set: the reports go to the SQLite file %s"
          % os.path.abspath(_database), file=sys.stderr, flush=True)
application = service_app.ServiceApp(os.environ.get("LULLCAST_CATALOG") or service_app.CATALOG, _database,
                                      os.environ.get("LULLCAST_ADDRESS") or None)
atexit.register(application.close)
