#!/usr/bin/python3
"""Benchmark of the reference service's reports under load, on loopback: wrk with 64 connections
for 30 s sending view and click reports (unescaped, as the program sends them), against

  1. nginx serving the preset list itself (the yardstick: a static file),
  2. the deployed form through nginx: the shipped site (service/deploy/nginx-lullcast.conf)
     in front of gunicorn (service/deploy/gunicorn.conf.py), the reports in PostgreSQL (a
     private cluster, fsync on, as an operator runs it),
  3. the same gunicorn alone, and
  4. the embedded default: service/embedded_service.py with the reports in an SQLite file.

Prints the requests per second, latency percentiles, the ratio to the static file of the same run,
and the reports answered 2xx as the server counts them against the reports stored. Figures, not a
test. --service measures another copy of service/ (the code of another version, with the same
yardstick in the same run). Needs Debian's /usr/bin/python3 (psycopg2), gunicorn, nginx, wrk and postgresql
(bash tools/setup.sh installs them).

    /usr/bin/python3 bench/bench_service.py [--seconds 30] [--connections 64] [--service DIR]
"""
import argparse
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SERVICE = os.path.join(HERE, "..", "service")
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))

import servicetest  # noqa: E402

WRK_SCRIPT = """
counter = 0
request = function()
  counter = counter + 1
  if counter %% 10 == 0 then
    return wrk.format("GET", "/clicks.php?action=browse&feed=http://127.0.0.1/feeds/news-1.xml?phase=%(phase)s&n=" ..
                      counter .. "&url=http://127.0.0.1/articles/a.html?x=1&y=2")
  end
  return wrk.format("GET", "/clicks.php?action=view&feed=http://127.0.0.1/feeds/news-1.xml?phase=%(phase)s&n=" .. counter)
end
"""


def run_wrk(url, folder, seconds, connections, phase=None):
    command = ["nice", "-n", "5", "wrk", "-t2", "-c%d" % connections, "-d%ds" % seconds, "--timeout", "10s",
               "--latency"]
    if phase:
        script = os.path.join(folder, "reports-%s.lua" % phase)
        with open(script, "w") as f:
            f.write(WRK_SCRIPT % {"phase": phase})
        command += ["-s", script]
    out = subprocess.run(command + [url], check=True, capture_output=True, text=True).stdout
    figures = {"output": out}
    figures["rate"] = float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))
    figures["requests"] = int(re.search(r"(\d+) requests in", out).group(1))
    figures["latency"] = dict(re.findall(r"^\s+(\d+%)\s+([\d.]+\w+)\s*$", out, re.M))
    non2xx = re.search(r"Non-2xx or 3xx responses: (\d+)", out)
    figures["non2xx"] = int(non2xx.group(1)) if non2xx else 0
    errors = re.search(r"Socket errors: (.*)", out)
    figures["errors"] = errors.group(1).strip() if errors else "none"
    return figures


def deployed(folder, service, seconds, connections):
    """{phase: figures} of the static file, the reports through nginx and gunicorn alone."""
    import pgcluster
    results = {}
    with pgcluster.PgCluster(durable=True) as cluster:
        app_port, web_port = servicetest.unused_port(), servicetest.unused_port()
        address = "http://127.0.0.1:%d" % web_port
        www = os.path.join(folder, "www")
        subprocess.run(["/usr/bin/python3", os.path.join(service, "service_app.py"), "export", "--address", address, www],
                       check=True, stdout=subprocess.DEVNULL)
        for top, folders, _ in os.walk(folder):
            for name in folders:
                os.chmod(os.path.join(top, name), 0o755)
        access = os.path.join(folder, "access.log")
        env = dict(os.environ, LULLCAST_DB=cluster.dsn, LULLCAST_ADDRESS=address)
        env.pop("PYTHONPATH", None)
        log = open(os.path.join(folder, "gunicorn.log"), "w")
        gunicorn = subprocess.Popen(["/usr/bin/gunicorn", "--chdir", service, "-c",
                                     os.path.join(service, "deploy", "gunicorn.conf.py"),
                                     "-b", "127.0.0.1:%d" % app_port, "--access-logfile", access,
                                     "--access-logformat", "%(s)s %(r)s"], env=env, stdout=log, stderr=log)
        nginx = None
        try:
            servicetest.wait_for_port(app_port, gunicorn)
            nginx = servicetest.start_nginx(folder, web_port, app_port, www, os.path.join(service, "deploy"),
                                            workers="auto", connections=1024)
            servicetest.wait_for_port(web_port, nginx)
            results["static"] = run_wrk(address + "/preset_feeds.xml", folder, seconds, connections)
            results["nginx"] = run_wrk(address, folder, seconds, connections, "nginx")
            results["direct"] = run_wrk("http://127.0.0.1:%d" % app_port, folder, seconds, connections, "direct")
        finally:
            if nginx:
                nginx.send_signal(signal.SIGQUIT)
                nginx.wait(timeout=60)
            gunicorn.send_signal(signal.SIGTERM)
            gunicorn.wait(timeout=120)
            log.close()
        import psycopg2
        with psycopg2.connect(cluster.dsn) as conn, conn.cursor() as cursor:
            for phase in ("nginx", "direct"):
                cursor.execute("SELECT count(*) FROM reports WHERE feed LIKE %s", ("%%phase=%s&%%" % phase,))
                results[phase]["stored"] = cursor.fetchone()[0]
        conn.close()
        with open(access) as f:
            lines = f.read().splitlines()
        for phase in ("nginx", "direct"):
            results[phase]["answered"] = sum(1 for line in lines if line.startswith("2") and "phase=%s&" % phase in line)
    return results


def embedded(folder, seconds, connections):
    import embedded_service
    database = os.path.join(folder, "reports.sqlite")
    service = embedded_service.EmbeddedService(catalog=embedded_service.CATALOG, database=database,
                                               record_limit=10 ** 8).start()
    try:
        figures = run_wrk(service.url(""), folder, seconds, connections, "embedded")
    finally:
        service.stop()
    figures["answered"] = sum(1 for r in service.responses()
                              if r.status is not None and 200 <= r.status < 300 and r.path.startswith("/clicks.php"))
    with sqlite3.connect(database) as db:
        figures["stored"] = db.execute("SELECT count(*) FROM reports").fetchone()[0]
    return figures


def show(name, figures, static_rate):
    latency = figures["latency"]
    print("  %-34s %8.0f/s  p50 %-8s p99 %-8s  %5.1f %% of static" % (
        name, figures["rate"], latency.get("50%", "?"), latency.get("99%", "?"), 100.0 * figures["rate"] / static_rate))
    if "answered" in figures:
        lost = figures["answered"] - figures["stored"]
        print("  %-34s answered 2xx %d, stored %d, lost %d (wrk: non-2xx %d, socket errors: %s)" % (
            "", figures["answered"], figures["stored"], max(lost, 0), figures["non2xx"], figures["errors"]))
    sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=int, default=30)
    parser.add_argument("--connections", type=int, default=64)
    parser.add_argument("--service", default=SERVICE, help="the service/ folder whose code is measured")
    parser.add_argument("--skip-embedded", action="store_true")
    args = parser.parse_args()
    service = os.path.abspath(args.service)
    sys.path.insert(0, service)
    print("%s, wrk %d connections, %d s each" % (service, args.connections, args.seconds), flush=True)
    folder = tempfile.mkdtemp(prefix="lullcast-bench-")
    try:
        os.chmod(folder, 0o755)
        results = deployed(folder, service, args.seconds, args.connections)
        static = results["static"]["rate"]
        show("nginx, the preset list (static)", results["static"], static)
        show("reports through nginx to gunicorn", results["nginx"], static)
        show("reports to gunicorn alone", results["direct"], static)
        if not args.skip_embedded:
            show("reports to the embedded server", embedded(folder, args.seconds, args.connections), static)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
