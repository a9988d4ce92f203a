#!/usr/bin/python3
"""`systemctl` where systemd does not run (the deployment test's sandbox): what the deployment asks
of it, done as systemd would. daemon-reload verifies the units in /etc/systemd/system with
systemd-analyze; start (enable --now, restart) of lullcast runs the unit's ExecStart as its User
and Group, with its EnvironmentFile, RuntimeDirectory, LogsDirectory and WorkingDirectory; reload
sends it HUP, stop TERM; nginx is started, reloaded and stopped with its own command. Every call is
appended to $LULLCAST_STANDIN_LOG."""
import configparser
import os
import pwd
import signal
import subprocess
import sys
import time

UNITS = "/etc/systemd/system"


def log(line):
    with open(os.environ["LULLCAST_STANDIN_LOG"], "a") as f:
        f.write(line + "\n")


def unit(name):
    parser = configparser.ConfigParser(interpolation=None, strict=False)
    parser.optionxform = str
    parser.read(os.path.join(UNITS, name + ".service"))
    return parser["Service"]


def environment(path):
    values = {}
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#") and "=" in line:
                key, _, value = line.partition("=")
                if len(value) >= 2 and value[0] == value[-1] and value[0] in "\"'":
                    value = value[1:-1]
                values[key] = value
    return values


def start(name):
    service = unit(name)
    user = pwd.getpwnam(service["User"])
    for key, top in (("RuntimeDirectory", "/run"), ("LogsDirectory", "/var/log")):
        if key in service:
            path = os.path.join(top, service[key])
            os.makedirs(path, exist_ok=True)
            os.chown(path, user.pw_uid, user.pw_gid)
    env = {"PATH": "/usr/local/bin:/usr/bin:/bin", "HOME": user.pw_dir, "USER": user.pw_name, "LANG": "C.UTF-8"}
    env.update(environment(service["EnvironmentFile"]))
    pid = os.fork()
    if pid == 0:
        os.setsid()
        os.initgroups(user.pw_name, user.pw_gid)
        os.setgid(user.pw_gid)
        os.setuid(user.pw_uid)
        os.chdir(service.get("WorkingDirectory", "/"))
        null = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(null, fd)
        command = service["ExecStart"].split()
        os.execve(command[0], command, env)
    pid_file = "/run/%s/gunicorn.pid" % service["RuntimeDirectory"]
    deadline = time.monotonic() + 60
    while not os.path.exists(pid_file) and time.monotonic() < deadline:
        time.sleep(0.1)


def main_pid(name):
    with open("/run/%s/gunicorn.pid" % unit(name)["RuntimeDirectory"]) as f:
        return int(f.read().strip())


def main(argv):
    log(" ".join(argv))
    words = [a for a in argv if not a.startswith("-")]
    verb, names = words[0], [n.replace(".service", "") for n in words[1:]]
    if verb == "daemon-reload":
        for entry in sorted(os.listdir(UNITS)):
            if entry.startswith("lullcast") and entry.endswith(".service"):
                result = subprocess.run(["systemd-analyze", "verify", os.path.join(UNITS, entry)],
                                        capture_output=True, text=True)
                log("verify %s: %d %s" % (entry, result.returncode, result.stdout + result.stderr))
                if result.returncode != 0:
                    return 1
        return 0
    for name in names:
        if name == "nginx":
            if verb in ("restart", "start") or (verb == "enable" and "--now" in argv):
                subprocess.run(["nginx", "-s", "quit"], capture_output=True)
                time.sleep(0.5)
                return subprocess.run(["nginx"]).returncode
            if verb == "reload":
                return subprocess.run(["nginx", "-s", "reload"]).returncode
            if verb == "stop":
                return subprocess.run(["nginx", "-s", "quit"]).returncode
            continue
        if verb in ("start", "restart") or (verb == "enable" and "--now" in argv):
            if verb == "restart":
                stop(name)
            start(name)
        elif verb == "reload":
            os.kill(main_pid(name), signal.SIGHUP)
        elif verb == "stop":
            stop(name)
    return 0


def stop(name):
    try:
        pid = main_pid(name)
    except OSError:
        return
    os.kill(pid, signal.SIGTERM)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return
        time.sleep(0.1)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
