"""Runs Windows programs under Wine the way the tests need them.

A test gets a WineSession: a private Xvfb display, a private Wine prefix copied from one
template per test run, and a virtual Windows desktop (taskbar and notification area
included), so that every process of the test shares one desktop and sees the others'
windows and hooks. Processes the session starts are ended by their own ids when it closes.

Not every machine runs 32-bit programs: on some the kernel refuses any 32-bit executable, and
Debian's wine, wineboot and wineserver wrappers then fail even for 64-bit programs, since they
start the 32-bit loader whenever it is installed. Making the template finds out, by trying the
32-bit loader, and records the answer in the template; from then on every Wine call of the run
goes through the 64-bit loader by its full path where 32-bit programs cannot run, and the tests
of the i686 build are reported as skipped. LULLCAST_WINE64_ONLY=1 forces that path.

Such a machine may still run them through an emulator: Debian's qemu-user runs 32-bit Linux programs,
and a private user namespace (Linux 6.7 or later) may register it for 32-bit executables without
the rest of the machine seeing it. `emulate COMMAND` runs a command so: in a namespace of its own,
with the 32-bit loader under qemu-i386 and everything else native (the 64-bit loader for Wine's
own programs, the 64-bit wineserver), a template prefix of its own, and every time limit of the
tests multiplied by EMULATED_PATIENCE. There, 32-bit programs take about a minute to start.

Used as a library by the end-to-end tests, and from the command line:
    python3 tools/winetest.py template DIR    make the template prefix (once per test run)
    python3 tools/winetest.py probe           find out whether 32-bit programs run (exit 1 if not,
                                              printing why)
    python3 tools/winetest.py unittest MODULE run a test module of the build under test,
                                              or skip it (exit 77) where its build cannot run
    python3 tools/winetest.py emulate [--only-where-needed] COMMAND...
                                              run a command with 32-bit programs emulated (exit 77
                                              where that cannot be had, printing why); with the
                                              option, only where the kernel refuses 32-bit programs
                                              (LULLCAST_EMULATE_32BIT=always: everywhere)
"""
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCREEN = "1280x1024"
# Raised whenever make_template changes what it sets up, so that old templates are made anew.
TEMPLATE_VERSION = "3"

WINE32_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"
WINESERVER64 = "/usr/lib/wine/wineserver64"
FORCE_64_ONLY = "LULLCAST_WINE64_ONLY"
SKIPPED = 77  # the exit code by which ctest knows a skipped test
_RECORD = "wine32"  # the template's record of whether this machine runs 32-bit programs
QEMU_I386 = "/usr/bin/qemu-i386"
EMULATED = "LULLCAST_WINE32_EMULATED"  # set inside the namespace where 32-bit programs are emulated
EMULATE_WHEN = "LULLCAST_EMULATE_32BIT"
EMULATED_PATIENCE = 8  # how many times longer the tests wait for anything under the emulator
# binfmt_misc's record for 32-bit x86 ELF executables and shared objects; F: qemu-i386 is opened
# now, so that it is found from any mount namespace and root.
_BINFMT_I386 = (r":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
                r":\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"
                ":" + QEMU_I386 + ":F")


def emulated():
    """Whether 32-bit programs run under the emulator in this process's namespace."""
    return os.environ.get(EMULATED, "") not in ("", "0")


def patience(seconds):
    """A time limit for something the tests wait for, made longer under the emulator."""
    return seconds * EMULATED_PATIENCE if emulated() else seconds


def _explicit_loaders():
    """Whether every Wine call names its loader (the 64-bit one) instead of Debian's wrappers,
    which would start the 32-bit wineserver too, or fail where 32-bit programs cannot run."""
    return bool(wine32_missing()) or emulated()


def _try_32bit():
    """Whether the 32-bit Wine loader runs here: (True, "") or (False, why not)."""
    try:
        result = subprocess.run([WINE32_LOADER, "--version"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, timeout=60)
    except OSError as error:
        return False, "%s cannot be started: %s" % (WINE32_LOADER, error.strerror)
    except subprocess.TimeoutExpired:
        return False, "%s --version did not answer within 60 s" % WINE32_LOADER
    if result.returncode != 0:
        return False, "%s --version exited with %d" % (WINE32_LOADER, result.returncode)
    return True, ""


def _record_32bit(template):
    runs, why = _try_32bit()
    with open(os.path.join(template, _RECORD), "w") as f:
        f.write("yes" if runs else "no: " + why)


_wine32_missing = None  # read once per process from the template's record


def wine32_missing(template=None):
    """Why this run does not run 32-bit programs, or "" when it does."""
    global _wine32_missing
    if os.environ.get(FORCE_64_ONLY, "") not in ("", "0"):
        return "%s is set: Wine runs only through its 64-bit loader" % FORCE_64_ONLY
    if _wine32_missing is None:
        template = template or template_dir()
        record = os.path.join(template, _RECORD)
        if not os.path.exists(record):
            os.makedirs(template, exist_ok=True)
            _record_32bit(template)
        with open(record) as f:
            answer = f.read()
        _wine32_missing = "" if answer == "yes" else \
            "this machine cannot run 32-bit programs (%s)" % answer[len("no: "):]
    return _wine32_missing


def wine_command(*args):
    """The command line that runs a Windows program or Wine built-in."""
    return [WINE64_LOADER, *args] if _explicit_loaders() else ["wine", *args]


def wineserver_command(*args):
    return [WINESERVER64, *args] if _explicit_loaders() else ["wineserver", *args]


def _base_env(prefix, display=None):
    env = dict(os.environ)
    env["WINEPREFIX"] = prefix
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml,winemenubuilder.exe="
    env.pop("WINEARCH", None)
    if _explicit_loaders():
        env["WINELOADER"] = WINE64_LOADER
    # Nothing leaves the machine: no proxy, and a Lullcast started without a service of the
    # test's own asks a loopback port where nothing listens.
    for name in ("http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
        env.pop(name, None)
    env["LULLCAST_SERVICE_URL"] = os.environ.get("LULLCAST_SERVICE_URL_FOR_TESTS", "http://127.0.0.1:9")
    if display is not None:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    return env


def _read(file):
    file.seek(0)
    return file.read().decode("utf-8", "replace")


def probe(template):
    """Finds out, by trying, whether this machine runs 32-bit programs, and records it for the run."""
    global _wine32_missing
    os.makedirs(template, exist_ok=True)
    _record_32bit(template)
    _wine32_missing = None
    return wine32_missing(template)


def make_template(prefix, probe_first=False):
    """Boots a fresh prefix with fonts and a virtual desktop that every process uses."""
    marker = os.path.join(prefix, "ready")
    if probe_first or not os.path.exists(os.path.join(prefix, _RECORD)):
        probe(prefix)
    if os.path.exists(marker):
        with open(marker) as f:
            if f.read() == TEMPLATE_VERSION:
                return
    for name in os.listdir(prefix):
        if name != _RECORD:
            path = os.path.join(prefix, name)
            shutil.rmtree(path) if os.path.isdir(path) and not os.path.islink(path) else os.unlink(path)
    env = _base_env(prefix)
    # Under the emulator, the prefix's 32-bit half takes minutes.
    subprocess.run(wine_command("wineboot", "-i"), env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=patience(300))
    fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
    os.makedirs(fonts, exist_ok=True)
    for name in os.listdir("/usr/share/wine/fonts"):
        if name.endswith(".ttf"):
            shutil.copy(os.path.join("/usr/share/wine/fonts", name), fonts)
    # The desktop "Default" with its shell: a taskbar with a notification area.
    for key, name, kind, value in [
        (r"HKCU\Software\Wine\Explorer", "Desktop", "REG_SZ", "Default"),
        (r"HKCU\Software\Wine\Explorer\Desktops", "Default", "REG_SZ", SCREEN),
        (r"HKCU\Software\Wine\Explorer\Desktops\Default", "EnableShell", "REG_DWORD", "1"),
        (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N"),
        (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
    ]:
        subprocess.run(wine_command("reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"), env=env,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=patience(120))
    subprocess.run(wineserver_command("-w"), env=env, timeout=patience(120))
    with open(marker, "w") as f:
        f.write(TEMPLATE_VERSION)


def copy_prefix(template, target):
    """Copies the template: files Wine rewrites are copied, the rest hard-linked."""
    subprocess.run(["cp", "-al", template, target], check=True)
    for name in os.listdir(template):
        if name.endswith(".reg"):
            os.unlink(os.path.join(target, name))
            shutil.copy2(os.path.join(template, name), os.path.join(target, name))
    users = os.path.join(target, "drive_c", "users")
    shutil.rmtree(users)
    shutil.copytree(os.path.join(template, "drive_c", "users"), users, symlinks=True)


class Xvfb:
    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN + "x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        self.display = ":" + number.decode().strip()

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def template_dir(path=None):
    """The template prefix of the run; under the emulator one of its own beside it."""
    path = path or os.environ.get("LULLCAST_WINE_TEMPLATE") or \
        os.path.join(tempfile.gettempdir(), "lullcast-wine-template")
    path = path.rstrip("/")
    return path + "-emulated" if emulated() and not path.endswith("-emulated") else path


class WineSession:
    """One test's private display, prefix and processes."""

    def __init__(self, template=None, display=None, server_trace=None):
        """server_trace: a file (or file descriptor) open for writing, which then receives the Wine
        server's trace of every request it serves (wineserver -d1): a line for each request, named,
        after the id of the thread that made it, and one for its reply."""
        template = template or template_dir()
        make_template(template)
        self.root = tempfile.mkdtemp(prefix="lullcast-test-")
        self.prefix = os.path.join(self.root, "prefix")
        copy_prefix(template, self.prefix)
        self.xvfb = None if display else Xvfb()
        self.display = display or self.xvfb.display
        self.env = _base_env(self.prefix, self.display)
        self.processes = []
        server = wineserver_command("-p", "-d1") if server_trace is not None else wineserver_command("-p")
        subprocess.Popen(server, env=self.env, stderr=server_trace).wait()

    # Windows paths of the prefix
    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def install(self, files, folder="Lullcast"):
        """Copies files into C:\\<folder> and returns that folder's Unix path."""
        target = self.drive_c(folder)
        os.makedirs(target, exist_ok=True)
        for f in files:
            shutil.copy(f, target)
        return target

    def spawn(self, program, *args, stdin=None, stdout=None, stderr=None):
        process = subprocess.Popen(wine_command(program, *args), env=self.env, cwd=os.path.dirname(program) or None,
                                   stdin=stdin, stdout=stdout, stderr=stderr, start_new_session=True)
        self.processes.append(process)
        return process

    def run(self, program, *args, timeout=60):
        """Runs a program to its end; returns (exit code, stdout, stderr)."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            # Files, not pipes: Wine's desktop process may inherit the handles and outlive the program.
            process = self.spawn(program, *args, stdout=out, stderr=err)
            try:
                process.wait(timeout=patience(timeout))
            except subprocess.TimeoutExpired:
                self.stop_process(process)
                raise
            return process.returncode, _read(out), _read(err)

    def wine(self, *args, timeout=120):
        """Runs a Wine built-in such as reg, returning (exit code, output)."""
        with tempfile.TemporaryFile() as out:
            process = subprocess.Popen(wine_command(*args), env=self.env, stdout=out, stderr=subprocess.DEVNULL)
            process.wait(timeout=patience(timeout))
            return process.returncode, _read(out)

    def screenshot(self, path):
        subprocess.run(["/usr/bin/import", "-display", self.display, "-window", "root", path],
                       check=True, timeout=60)

    def stop_process(self, process, timeout=10):
        if process.poll() is not None:
            return process.returncode
        try:
            os.killpg(process.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            return process.wait()

    def close(self):
        for process in reversed(self.processes):
            self.stop_process(process)
        subprocess.run(wineserver_command("-k"), env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        if self.xvfb:
            self.xvfb.close()
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def build_dir():
    """The Windows build under test, as the test registration names it."""
    return os.environ["LULLCAST_BUILD"]


def arch():
    return os.environ.get("LULLCAST_ARCH", "x86_64")


def build_file(*parts):
    """A file of the build under test; fails the test when it was not built."""
    path = os.path.join(build_dir(), *parts)
    if not os.path.exists(path):
        raise AssertionError("not built: %s is missing" % path)
    return path


def add_build_arguments(parser):
    """The --arch and --build options of the benchmarks."""
    parser.add_argument("--arch", default="x86_64", choices=["x86_64", "i686"])
    parser.add_argument("--build", help="Windows build folder (default: $LULLCAST_BUILD, else build/windows-ARCH)")


def choose_build(args):
    """Names the build that the options chose as the build under test; returns its folder."""
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    build = os.path.abspath(args.build or os.environ.get("LULLCAST_BUILD") or
                            os.path.join(root, "build", "windows-" + args.arch))
    os.environ["LULLCAST_BUILD"] = build
    os.environ["LULLCAST_ARCH"] = args.arch
    return build


def build_version():
    """The release version that the build under test was made with."""
    with open(build_file("generated", "Version.h")) as f:
        for line in f:
            if line.startswith("#define LULLCAST_VERSION_TEXT "):
                return line.split('"')[1]
    raise AssertionError("no version in the build's Version.h")


class OutputLines:
    """A spawned process's standard output, read one line at a time with a time limit."""

    def __init__(self, process, encoding="utf-8"):
        self.process = process
        self.encoding = encoding
        self.ended = False
        self.seen = []
        self._pending = b""

    def next(self, timeout):
        """The next line, or None when none came within the timeout (longer under the emulator)
        or the output ended."""
        deadline = time.monotonic() + patience(timeout)
        fd = self.process.stdout.fileno()
        while b"\n" not in self._pending:
            left = deadline - time.monotonic()
            if self.ended or left <= 0 or not select.select([fd], [], [], left)[0]:
                return None
            chunk = os.read(fd, 4096)
            if not chunk:
                self.ended = True
                return None
            self._pending += chunk
        line, self._pending = self._pending.split(b"\n", 1)
        line = line.decode(self.encoding, "replace").rstrip("\r")
        self.seen.append(line)
        return line


def parse_reg_query(output):
    """`reg query` output as {value name: (type, data)}."""
    values = {}
    for line in output.splitlines():
        match = re.match(r"^\s+(\S+)\s+(REG_\w+)\s*(.*?)\s*$", line)
        if match:
            values[match.group(1)] = (match.group(2), match.group(3))
    return values


def wait_for(predicate, timeout=10.0, interval=0.05):
    """Polls until predicate() gives a true value, which it returns; None after the timeout
    (longer under the emulator)."""
    deadline = time.monotonic() + patience(timeout)
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


def run_test_module(module):
    """Runs a test module of the build under test; a module of a build that cannot run here is skipped."""
    needs_32bit = arch() == "i686" or os.environ.get("LULLCAST_NEEDS_WINE32", "") not in ("", "0")
    why = wine32_missing() if needs_32bit else ""
    if why:
        print("SKIPPED: %s: %s" % ("the i686 build is not tested" if arch() == "i686" else
                                   "32-bit programs are needed", why), flush=True)
        if not os.environ.get(FORCE_64_ONLY):
            print("(the e2e.emulated tests run a smoke set of it under the emulator; the whole suite: "
                  "python3 tools/winetest.py emulate ctest ...)", flush=True)
        return SKIPPED
    return subprocess.call([sys.executable, "-m", "unittest", "-v", module])


def _emulation_missing():
    """Why 32-bit programs cannot be emulated here, or ""."""
    for path, package in [(QEMU_I386, "qemu-user"), (WINE32_LOADER, "wine32:i386")]:
        if not os.path.exists(path):
            return "%s is not installed (no %s)" % (package, path)
    if not shutil.which("unshare"):
        return "unshare is not installed"
    return ""


def emulate(command, only_where_needed=False):
    """Runs the command with 32-bit programs under the emulator, in a user namespace of its own
    (see the top of this file); returns its exit code, or SKIPPED with the reason printed."""
    if emulated():
        return subprocess.call(command)
    if only_where_needed and os.environ.get(EMULATE_WHEN, "") != "always":
        runs, _ = _try_32bit()
        if runs:
            print("SKIPPED: this machine runs 32-bit programs itself, so the whole i686 suite runs without "
                  "the emulator (%s=always emulates anyway)" % EMULATE_WHEN, flush=True)
            return SKIPPED
    why = _emulation_missing()
    if why:
        print("SKIPPED: 32-bit programs cannot be emulated: %s" % why, flush=True)
        return SKIPPED
    return subprocess.call(["unshare", "--user", "--map-root-user", "--mount", "--",
                            sys.executable, os.path.abspath(__file__), "_in_namespace", *command])


def _in_namespace(command):
    """Inside the namespace: registers the emulator for 32-bit executables, then runs the command."""
    register = "/proc/sys/fs/binfmt_misc/register"
    try:
        subprocess.run(["mount", "-t", "binfmt_misc", "binfmt_misc", os.path.dirname(register)],
                       check=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
        with open(register, "w") as f:
            f.write(_BINFMT_I386)
    except subprocess.CalledProcessError as error:
        print("SKIPPED: 32-bit programs cannot be emulated: no binfmt_misc of a private user namespace "
              "(Linux 6.7 or later): %s" % error.stdout.decode(errors="replace").strip(), flush=True)
        return SKIPPED
    except OSError as error:
        print("SKIPPED: 32-bit programs cannot be emulated: the emulator cannot be registered in a private "
              "user namespace: %s" % error, flush=True)
        return SKIPPED
    os.environ[EMULATED] = "1"
    return subprocess.call(command)


# What the emulator writes when it, not the program, fails; and what Wine writes when its 32-bit
# exception dispatch did not survive the emulator (Lullcast raises and catches no exceptions).
_EMULATOR_FAULTS = re.compile(r"^(qemu: .*|qemu-i386: .*|wine: Unhandled illegal instruction.*)$", re.M)


def emulator_fault(text):
    """The emulator's own complaint in a program's error output, or ""."""
    found = _EMULATOR_FAULTS.search(text or "")
    return found.group(0) if found and emulated() else ""


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "template":
        make_template(template_dir(sys.argv[2]), probe_first=True)
    elif len(sys.argv) >= 3 and sys.argv[1] == "emulate":
        only = sys.argv[2] == "--only-where-needed"
        if len(sys.argv) < 3 + only:
            sys.exit(__doc__)
        sys.exit(emulate(sys.argv[2 + only:], only_where_needed=only))
    elif len(sys.argv) >= 3 and sys.argv[1] == "_in_namespace":
        sys.exit(_in_namespace(sys.argv[2:]))
    elif len(sys.argv) == 2 and sys.argv[1] == "probe":
        missing = probe(template_dir())
        print(missing)
        sys.exit(1 if missing else 0)
    elif len(sys.argv) == 3 and sys.argv[1] == "unittest":
        sys.exit(run_test_module(sys.argv[2]))
    else:
        sys.exit(__doc__)
