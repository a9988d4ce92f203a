"""The reference service for gunicorn: the WSGI application of tools/service_app.py, set up from
the environment.

    LULLCAST_DB        the reports store: a PostgreSQL connection string ("postgresql://lullcast@/lullcast",
                       "host=/run/postgresql dbname=lullcast") or an SQLite file (default reports.sqlite)
    LULLCAST_ADDRESS   the service's public base address, e.g. http://news.example.org, written into
                       the preset list and the feeds (default: each request's own Host)
    LULLCAST_CATALOG   the folder of the sample feeds and the sponsor picture (default tools/service)

    gunicorn --chdir tools -c tools/service/deploy/gunicorn.conf.py

Each gunicorn worker has its own store and writing thread; the configuration file writes what a
worker still holds when it ends.
"""
import atexit
import os

import service_app

application = service_app.ServiceApp(os.environ.get("LULLCAST_CATALOG") or service_app.CATALOG,
                                      os.environ.get("LULLCAST_DB") or "reports.sqlite",
                                      os.environ.get("LULLCAST_ADDRESS") or None)
atexit.register(application.close)
