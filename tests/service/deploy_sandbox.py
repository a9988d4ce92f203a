"""Runs the README's deployment commands, as written, on this machine as if it were a fresh
Debian 12, without changing it: started by test_readme_deploy.py inside private mount, network and
process namespaces (unshare -m -n -p -f), it lays a writable layer over /etc, /opt, /srv, /var,
/run and /home (the changes go to a folder of the test and vanish with it), brings up loopback, and
ends every process it started when it ends.

systemd does not run here, so `systemctl` is a stand-in on the PATH (tests/service/systemctl_standin.py)
that verifies the unit with systemd-analyze and starts what the unit would, as its user. The
network is not reachable either: `apt-get install` checks that the packages it names are installed
(tools/setup.sh installs them) instead of fetching newer ones.

    python3 deploy_sandbox.py REPOSITORY FOLDER    (prints one JSON object of what it found)
"""
import json
import os
import re
import subprocess
import sys
import time
import urllib.request

LAYERED = ("/etc", "/opt", "/srv", "/var", "/run", "/home")
HERE = os.path.dirname(os.path.abspath(__file__))


def deployment_script(readme):
    """The commands of the README's "Deploying on Debian 12", in order, as one shell script."""
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    section = text.split("### Deploying on Debian 12", 1)[1].split("\n### ", 1)[0]
    blocks, block = [], []
    for line in section.split("\n"):
        if line.startswith("       ") and line.strip():
            block.append(line[7:])
        elif block and not line.strip():
            blocks.append("\n".join(block))
            block = []
    if block:
        blocks.append("\n".join(block))
    return blocks


def layer(folder):
    for top in LAYERED:
        name = top.strip("/")
        upper, work = os.path.join(folder, "upper", name), os.path.join(folder, "work", name)
        os.makedirs(upper)
        os.makedirs(work)
        subprocess.run(["mount", "-t", "overlay", "overlay", "-o",
                        "lowerdir=%s,upperdir=%s,workdir=%s" % (top, upper, work), top], check=True)
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)


def get(url, source=None):
    """(status, body) of a GET from 127.0.0.1 (or another loopback source address)."""
    import http.client
    parts = urllib.parse.urlsplit(url)
    connection = http.client.HTTPConnection(parts.hostname, parts.port or 80, timeout=20,
                                            source_address=(source, 0) if source else None)
    try:
        connection.request("GET", parts.path + ("?" + parts.query if parts.query else ""))
        response = connection.getresponse()
        return response.status, response.read()
    except OSError as error:
        return None, str(error).encode()
    finally:
        connection.close()


def wait_for(check, timeout=60):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if check():
            return True
        time.sleep(0.2)
    return False


def psql(sql):
    result = subprocess.run(["su", "postgres", "-c", "psql -d lullcast -Atc \"%s\"" % sql],
                            capture_output=True, text=True)
    return result.stdout.strip() if result.returncode == 0 else "error: " + result.stderr.strip()


def main():
    import urllib.parse  # noqa: F401 (get() uses it)
    repository, folder = sys.argv[1], sys.argv[2]
    found = {"steps": []}
    layer(folder)
    bin_folder = os.path.join(folder, "bin")
    os.makedirs(bin_folder)
    os.symlink(os.path.join(HERE, "systemctl_standin.py"), os.path.join(bin_folder, "systemctl"))
    with open(os.path.join(bin_folder, "apt-get"), "w") as f:
        f.write('#!/bin/sh\n[ "$1" = install ] || exit 1\nshift\nfor p in "$@"; do case "$p" in -*) ;;'
                ' *) dpkg-query -W -f=\'${Status}\\n\' "$p" | grep -q "install ok installed" || exit 1;; esac; done\n')
    os.chmod(os.path.join(bin_folder, "apt-get"), 0o755)
    env = dict(os.environ, PATH=bin_folder + ":/usr/sbin:/usr/bin:/sbin:/bin", DEBIAN_FRONTEND="noninteractive",
               LULLCAST_STANDIN_LOG=os.path.join(folder, "systemctl.log"))
    env.pop("PYTHONPATH", None)
    for block in deployment_script(os.path.join(repository, "README.md")):
        result = subprocess.run(["bash", "-e", "-c", block], cwd=repository, env=env, capture_output=True, text=True)
        found["steps"].append({"commands": block, "status": result.returncode,
                               "output": (result.stdout + result.stderr)[-3000:]})
        if result.returncode != 0:
            print(json.dumps(found))
            return
    found["healthy"] = wait_for(lambda: get("http://127.0.0.1/healthz")[0] == 200)
    answered = 0
    for n in range(200):
        status, _ = get("http://127.0.0.1/clicks.php?action=view&feed=http://news.example.org/feeds/news-1.xml")
        answered += status == 200
        if n == 100:  # a reload of gunicorn in the middle, as the README says
            subprocess.run(["systemctl", "reload", "lullcast"], env=env, check=True)
    found["answered"] = answered
    found["stored"] = psql("SELECT count(*) FROM reports")
    found["schema_version"] = psql("SELECT version FROM schema_version")
    found["from_elsewhere"] = {path: get("http://127.0.0.1" + path, source="127.0.0.2")[0]
                               for path in ("/healthz", "/metrics", "/preset_feeds.xml")}
    found["limited"] = [get("http://127.0.0.1/clicks.php?action=view&feed=x", source="127.0.0.2")[0]
                        for _ in range(80)]
    found["default_site"] = get("http://127.0.0.1/index.nginx-debian.html")[0]
    found["preset_list"] = get("http://127.0.0.1/preset_feeds.xml")[1].decode(errors="replace")
    report = subprocess.run(["/usr/bin/python3", "/opt/lullcast/service_report.py", "--day",
                             time.strftime("%Y-%m-%d")], capture_output=True, text=True, cwd="/")
    found["report"] = report.stdout + report.stderr
    found["systemctl"] = open(env["LULLCAST_STANDIN_LOG"]).read()
    for name in ("access.log", "error.log"):
        path = os.path.join("/var/log/lullcast", name)
        found[name] = os.path.getsize(path) if os.path.exists(path) else None
    found["pid_file"] = os.path.exists("/run/lullcast/gunicorn.pid")
    found["gunicorn_user"] = subprocess.run(["ps", "-o", "user=", "-C", "gunicorn"], capture_output=True,
                                            text=True).stdout.split()
    print(json.dumps(found))
    subprocess.run(["systemctl", "stop", "lullcast"], env=env)
    subprocess.run(["pg_ctlcluster", "15", "main", "stop"], capture_output=True)


if __name__ == "__main__":
    main()
