#!/usr/bin/python3
"""Benchmark of the reference service's reports under load, on loopback: wrk with 64 connections
for 30 s sending view and click reports (unescaped, as the program sends them), against

  1. the deployed form: gunicorn (tools/service/deploy/gunicorn.conf.py) with the reports in
     PostgreSQL (a private cluster, fsync on, as an operator runs it), and
  2. the embedded default: tools/demo_service.py with the reports in an SQLite file.

Prints the reports per second, latency percentiles, and the count of reports stored against the
count of requests answered: by wrk (which does not count the answers still on their way when it
stops) and by the server (gunicorn's access log, the embedded server's record), which must equal
the stored count. Figures, not a test. Needs Debian's /usr/bin/python3 (psycopg2), gunicorn, wrk
and postgresql (bash tools/setup.sh installs them).

    /usr/bin/python3 tools/bench_service.py [--seconds 30] [--connections 64] [--only deployed|embedded]
"""
import argparse
import os
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import demo_service  # noqa: E402
import pgcluster  # noqa: E402

WRK_SCRIPT = """
counter = 0
request = function()
  counter = counter + 1
  if counter % 10 == 0 then
    return wrk.format("GET", "/clicks.php?action=browse&feed=http://127.0.0.1/feeds/news-1.xml?n=" .. counter ..
                      "&url=http://127.0.0.1/articles/a.html?x=1&y=2")
  end
  return wrk.format("GET", "/clicks.php?action=view&feed=http://127.0.0.1/feeds/news-1.xml?n=" .. counter)
end
"""


def run_wrk(port, folder, seconds, connections):
    script = os.path.join(folder, "reports.lua")
    with open(script, "w") as f:
        f.write(WRK_SCRIPT)
    out = subprocess.run(["wrk", "-t2", "-c%d" % connections, "-d%ds" % seconds, "--timeout", "10s", "--latency",
                          "-s", script, "http://127.0.0.1:%d" % port], check=True, capture_output=True,
                         text=True).stdout
    figures = {"output": out}
    figures["rate"] = float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))
    figures["requests"] = int(re.search(r"(\d+) requests in", out).group(1))
    figures["latency"] = dict(re.findall(r"^\s+(\d+%)\s+([\d.]+\w+)\s*$", out, re.M))
    non2xx = re.search(r"Non-2xx or 3xx responses: (\d+)", out)
    figures["non2xx"] = int(non2xx.group(1)) if non2xx else 0
    errors = re.search(r"Socket errors: (.*)", out)
    figures["errors"] = errors.group(1).strip() if errors else "none"
    return figures


def deployed(folder, seconds, connections):
    with pgcluster.PgCluster(durable=True) as cluster:
        port = demo_service.unused_port()
        access = os.path.join(folder, "access.log")
        env = dict(os.environ, LULLCAST_DB=cluster.dsn, LULLCAST_ADDRESS="http://127.0.0.1:%d" % port)
        gunicorn = subprocess.Popen(["/usr/bin/gunicorn", "--chdir", HERE, "-c",
                                     os.path.join(HERE, "service", "deploy", "gunicorn.conf.py"),
                                     "-b", "127.0.0.1:%d" % port, "--access-logfile", access,
                                     "--access-logformat", "%(s)s %(U)s"], env=env,
                                    stdout=subprocess.DEVNULL, stderr=open(os.path.join(folder, "gunicorn.log"), "w"))
        try:
            demo_service.wait_for_port(port, gunicorn)
            figures = run_wrk(port, folder, seconds, connections)
        finally:
            gunicorn.send_signal(signal.SIGTERM)  # its workers write what they hold, then end
            gunicorn.wait(timeout=120)
        with open(access) as f:
            figures["answered"] = sum(1 for line in f if line.startswith("200 /clicks.php"))
        with open(os.path.join(folder, "gunicorn.log")) as f:
            figures["dropped"] = sum(int(n) for n in re.findall(r"reports store: (\d+) reports dropped", f.read()))
        import psycopg2
        with psycopg2.connect(cluster.dsn) as conn, conn.cursor() as cursor:
            cursor.execute("SELECT count(*) FROM reports")
            figures["stored"] = cursor.fetchone()[0]
        conn.close()
    return figures


def embedded(folder, seconds, connections):
    database = os.path.join(folder, "reports.sqlite")
    service = demo_service.DemoService(catalog=demo_service.CATALOG, database=database, record_limit=10 ** 8).start()
    try:
        figures = run_wrk(service.port, folder, seconds, connections)
    finally:
        service.stop()
    figures["dropped"] = service.app.store.dropped
    figures["answered"] = sum(1 for r in service.responses() if r.status == 200 and r.path.startswith("/clicks.php"))
    with sqlite3.connect(database) as db:
        figures["stored"] = db.execute("SELECT count(*) FROM reports").fetchone()[0]
    return figures


def show(name, figures, seconds, connections):
    latency = figures["latency"]
    print("%s, %d connections, %d s:" % (name, connections, seconds))
    print("  reports per second: %.0f" % figures["rate"])
    print("  latency: p50 %s, p75 %s, p90 %s, p99 %s" % tuple(latency.get(p, "?") for p in ("50%", "75%", "90%", "99%")))
    print("  answered as wrk counts: %d (non-2xx: %d; socket errors: %s)" % (figures["requests"], figures["non2xx"],
                                                                              figures["errors"]))
    print("  answered as the server counts: %d; reports stored: %d -> %s (dropped from a full queue: %d)" % (
        figures["answered"], figures["stored"], "equal" if figures["answered"] == figures["stored"] else "NOT EQUAL",
        figures["dropped"]))
    print("  (answers on their way when wrk stopped: %d)" % (figures["answered"] - figures["requests"]), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=int, default=30)
    parser.add_argument("--connections", type=int, default=64)
    parser.add_argument("--only", choices=("deployed", "embedded"))
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        os.chmod(folder, 0o755)
        if args.only in (None, "deployed"):
            show("gunicorn with PostgreSQL", deployed(folder, args.seconds, args.connections), args.seconds,
                 args.connections)
        if args.only in (None, "embedded"):
            show("embedded (demo_service.py) with SQLite", embedded(folder, args.seconds, args.connections),
                 args.seconds, args.connections)


if __name__ == "__main__":
    main()
