"""A private PostgreSQL cluster in a folder of its own, for the tests and the benchmark of the
reference service: made with Debian's initdb, run with pg_ctl on a Unix socket in that folder (no
TCP port), and removed with the folder. PostgreSQL refuses to run as root, so as root the cluster
belongs to the unprivileged user "postgres" (Debian's postgresql package makes it), or "nobody".

    with PgCluster() as cluster:
        store = service_store.open_store(cluster.dsn)
        cluster.restart()
"""
import glob
import os
import pwd
import shutil
import subprocess
import tempfile


def _bin(name):
    found = sorted(glob.glob("/usr/lib/postgresql/*/bin/" + name), key=lambda p: int(p.split("/")[4]))
    if not found:
        raise FileNotFoundError("no %s: install Debian's postgresql (bash tools/setup.sh)" % name)
    return found[-1]


def available():
    try:
        _bin("initdb")
        return True
    except FileNotFoundError:
        return False


class PgCluster:
    PORT = 5432  # only names the socket file, in the cluster's own folder

    def __init__(self, durable=True):
        """durable=False turns fsync off: faster, for tests that never crash the machine."""
        self.durable = durable
        self.folder = tempfile.mkdtemp(prefix="lullcast-pg-")
        self.data = os.path.join(self.folder, "data")
        self.log = os.path.join(self.folder, "server.log")
        self._user = None
        if os.geteuid() == 0:
            for name in ("postgres", "nobody"):
                try:
                    self._user = pwd.getpwnam(name)
                    break
                except KeyError:
                    pass
            os.chown(self.folder, self._user.pw_uid, self._user.pw_gid)
        os.chmod(self.folder, 0o755)

    @property
    def dsn(self):
        user = self._user.pw_name if self._user else pwd.getpwuid(os.geteuid()).pw_name
        return "host=%s port=%d user=%s dbname=postgres" % (self.folder, self.PORT, user)

    def _run(self, *command, check=True):
        kwargs = {}
        if self._user is not None:
            kwargs = {"user": self._user.pw_uid, "group": self._user.pw_gid, "extra_groups": []}
        return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, cwd=self.folder,
                              check=check, **kwargs)

    def start(self):
        if not os.path.isdir(self.data):
            self._run(_bin("initdb"), "-D", self.data, "--auth=trust", "--no-sync", "-E", "UTF8",
                      "--locale=C.UTF-8", "-U", self._user.pw_name if self._user else
                      pwd.getpwuid(os.geteuid()).pw_name)
        options = "-k %s -p %d -c listen_addresses='' -c max_connections=200" % (self.folder, self.PORT)
        if not self.durable:
            options += " -c fsync=off -c synchronous_commit=off"
        result = self._run(_bin("pg_ctl"), "-D", self.data, "-l", self.log, "-o", options, "-w", "-t", "60",
                           "start", check=False)
        if result.returncode != 0:
            raise RuntimeError("PostgreSQL did not start: %s\n%s" % (result.stdout.decode(errors="replace"),
                                                                     self.server_log()))
        return self

    def stop(self, mode="fast"):
        if os.path.isfile(os.path.join(self.data, "postmaster.pid")):
            self._run(_bin("pg_ctl"), "-D", self.data, "-m", mode, "-w", "-t", "60", "stop", check=False)

    def restart(self, down_seconds=0.0):
        """Stops the server (ending its connections), stays down a while, and starts it again."""
        import time
        self.stop()
        time.sleep(down_seconds)
        self.start()

    def server_log(self):
        try:
            with open(self.log, errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def close(self):
        self.stop("immediate")
        shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.close()
