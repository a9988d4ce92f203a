"""Windows programs under Wine on a desktop of their own: what the run command and the tests share.

A WineSession is a private Xvfb display (or the one given), a private Wine prefix copied from one
template prefix, and a virtual Windows desktop (taskbar and notification area included), so that
every process of the session shares one desktop and sees the others' windows and hooks. Processes
the session starts are ended by their own ids when it closes. A Driver speaks to lcdriver.exe (the
program of tests/driver) on that desktop: it opens and closes windows and reports what others do.

Not every machine runs 32-bit programs: on some the kernel refuses any 32-bit executable, and
Debian's wine, wineboot and wineserver wrappers then fail even for 64-bit programs, since they
start the 32-bit loader whenever it is installed. Making the template finds out, by trying the
32-bit loader, and records the answer in the template; from then on every Wine call goes through
the 64-bit loader by its full path where 32-bit programs cannot run. LULLCAST_WINE64_ONLY=1 forces
that path. Where 32-bit programs run under an emulator instead (LULLCAST_WINE32_EMULATED is set; the
test harness, tests/support/winetest.py, sets that up), the template is one of its own and every
time limit is EMULATED_PATIENCE times longer.

    python3 tools/wine_desktop.py probe     find out whether 32-bit programs run (exit 1 if not,
                                            printing why)
"""
import collections
import os
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
_RECORD = "wine32"  # the template's record of whether this machine runs 32-bit programs
EMULATED = "LULLCAST_WINE32_EMULATED"  # set inside the namespace where 32-bit programs are emulated
EMULATED_PATIENCE = 8  # how many times longer the tests wait for anything under the emulator


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


SCREEN_WIDTH, SCREEN_HEIGHT = (int(n) for n in SCREEN.split("x"))


class Rect(collections.namedtuple("Rect", "left top right bottom")):
    @property
    def width(self):
        return self.right - self.left

    @property
    def height(self):
        return self.bottom - self.top

    def intersects_screen(self):
        return self.left < SCREEN_WIDTH and self.right > 0 and self.top < SCREEN_HEIGHT and self.bottom > 0

    def centre(self):
        return (self.left + self.right) // 2, (self.top + self.bottom) // 2

    def moved(self, dx, dy):
        return Rect(self.left + dx, self.top + dy, self.right + dx, self.bottom + dy)


class WindowInfo(collections.namedtuple("WindowInfo", "handle visible topmost iconic rect process")):
    def out_of_sight(self):
        return not self.visible or not self.rect.intersects_screen()

    def __str__(self):
        return "window %d: %s%s%s at %s, process %d" % (
            self.handle, "visible" if self.visible else "hidden", ", topmost" if self.topmost else "",
            ", minimised" if self.iconic else "", tuple(self.rect), self.process)


Child = collections.namedtuple("Child", "handle id class_name text")
HookWindow = collections.namedtuple("HookWindow", "handle process thread")


class DriverError(Exception):
    pass


class Driver:
    """lcdriver.exe, spoken to one line at a time."""

    def __init__(self, session, program):
        self.process = session.spawn(program, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self._output = OutputLines(self.process, encoding="latin-1")
        ready = self._read_line(60).split()
        if ready[:2] != ["ok", "ready"]:
            raise DriverError("driver did not start: %r" % ready)
        self.bits = int(ready[2])

    def _read_line(self, timeout):
        line = self._output.next(timeout)
        if line is not None:
            return line
        if self._output.ended:
            raise DriverError("the driver ended (exit code %s)" % self.process.poll())
        raise DriverError("no answer from the driver within %.0f s" % timeout)

    def command(self, line, timeout=60):
        """Sends one command and returns the text after "ok"; raises DriverError on "error"."""
        self.process.stdin.write((line + "\n").encode("latin-1"))
        self.process.stdin.flush()
        answer = self._read_line(timeout)
        if answer == "ok":
            return ""
        if answer.startswith("ok "):
            return answer[3:]
        raise DriverError("%s -> %s" % (line, answer))

    def close(self):
        if self.process.poll() is None:
            try:
                self.command("quit", timeout=10)
            except (DriverError, OSError):
                pass
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self.process.stdin.close()
        self.process.stdout.close()

    # The driver's own windows
    def create(self, title, rect):
        return int(self.command("create %d %d %d %d %s" % (rect[0], rect[1], rect[2], rect[3], title)))

    def destroy(self, window):
        self.command("destroy %d" % window)

    def destroy_all(self):
        return int(self.command("destroyall"))

    def minimize(self, window):
        self.command("minimize %d" % window)

    def restore(self, window):
        self.command("restore %d" % window)

    # Any window
    def info(self, window):
        """The window's state; None once it is gone."""
        return self._parse_info(self.command("info %d" % window))

    def popup(self):
        """The popup's state, found by its caption as any program would; None while there is none."""
        return self._parse_info(self.command("popup"))

    @staticmethod
    def _parse_info(answer):
        if answer in ("none", "gone"):
            return None
        window, visible, topmost, iconic, left, top, right, bottom, process = (int(f) for f in answer.split())
        return WindowInfo(window, bool(visible), bool(topmost), bool(iconic), Rect(left, top, right, bottom),
                          process)

    def client(self, window):
        """The client area in screen coordinates."""
        return Rect(*(int(n) for n in self.command("client %d" % window).split()))

    def style(self, window):
        """(style, extended style)."""
        style, ex_style = self.command("style %d" % window).split()
        return int(style), int(ex_style)

    def find(self, title):
        return int(self.command("find " + title))

    def count(self, title):
        """(windows, processes): the top-level windows with exactly this title, and their owners."""
        windows, processes = self.command("count " + title).split()
        return int(windows), int(processes)

    def text(self, dialog, control_id):
        return unescape(self.command("text %d %d" % (dialog, control_id)))

    def children(self, window):
        """[Child(handle, id, class name, text)] of a window's children."""
        answer = self.command("children %d" % window)
        result = []
        for entry in answer.split("\t") if answer else []:
            handle, control_id, class_name, text = (entry.split(" ", 3) + [""])[:4]
            result.append(Child(int(handle), int(control_id), unescape(class_name), unescape(text)))
        return result

    def post(self, window, message, wparam=0, lparam=0):
        return self.command("post %d %d %d %d" % (window, message, wparam, lparam)) == "1"

    def send(self, window, message, wparam=0, lparam=0):
        return int(self.command("send %d %d %d %d" % (window, message, wparam, lparam)))

    def send_rect(self, window, message, wparam, rect):
        """Sends the message with a pointer to the rectangle, placed in the window's own process."""
        return int(self.command("sendrect %d %d %d %d %d %d %d" % ((window, message, wparam) + tuple(rect))))

    def proc_address(self, module, function):
        """The address of a function of a loaded system library, the same in every process."""
        return int(self.command("procaddress %s %s" % (module, function)))

    def foreground(self, window):
        return int(self.command("foreground %d" % window))

    def hit_test(self, window, x, y):
        return int(self.command("hittest %d %d %d" % (window, x, y)))

    def hit_point(self, window, code):
        x, y = self.command("hitpoint %d %d" % (window, code)).split()
        return int(x), int(y)

    def set_text(self, window, text):
        return self.command("settext %d %s" % (window, escape(text))) == "1"

    def focus(self, window):
        """The window with the keyboard focus in the thread that owns `window`; 0 when none."""
        return int(self.command("focus %d" % window))

    def list_items(self, list_box):
        answer = self.command("listitems %d" % list_box)
        return [unescape(item) for item in answer.split("\t")] if answer else []

    def menu(self):
        """The rectangle of the open popup menu; None while none is open."""
        answer = self.command("menu")
        return None if answer == "none" else Rect(*(int(n) for n in answer.split()))

    def begin_drag_text(self, text, terminated=True):
        """Starts a drag of the text in the driver, as a browser does with a link, while the left button
        is held; finish_drag gives (DoDragDrop's result, the drop effect) once the button is let go."""
        self._begin_drag("dragtext %s %s" % ("z" if terminated else "bare", escape(text)))

    def begin_drag_files(self, paths):
        """Starts a drag of files (Windows paths) in the driver, as a file manager does; see begin_drag_text."""
        self._begin_drag("dragfiles " + escape("\n".join(paths)))

    def _begin_drag(self, command):
        answer = self.command(command)
        if answer != "dragging":
            raise DriverError("%s -> %s" % (command.split()[0], answer))

    def finish_drag(self, timeout=30):
        answer = self._read_line(timeout)
        if not answer.startswith("ok "):
            raise DriverError("dragtext -> %s" % answer)
        result, effect = answer[3:].split()
        return int(result, 16), int(effect)
    def wide_text(self, window, control_id=0):
        """A window's (or a dialog control's) text, read in UTF-16 so that any script survives."""
        return _utf8(unescape(self.command("wtext %d %d" % (window, control_id))))

    def colours(self, window):
        """How many different colours the window shows on the screen."""
        return int(self.command("colours %d" % window))

    def ink(self, window):
        """[(begin, end)]: the column ranges where the window shows anything but its background."""
        answer = self.command("ink %d" % window)
        return [tuple(int(n) for n in run.split("-")) for run in answer.split()]

    def palette(self, window):
        """{0xRRGGBB: pixels}: the most frequent colours the window shows on the screen."""
        answer = self.command("palette %d" % window)
        return {int(colour, 16): int(count) for colour, count in (entry.split(":") for entry in answer.split())}

    def high_contrast(self, on):
        """Turns high contrast on or off through SystemParametersInfo, which tells every window."""
        return self.command("highcontrast %d" % (1 if on else 0)) == ""

    def set_system_colours(self, colours):
        """Sets system colours, {COLOR_ index: 0xRRGGBB}, as the control panel does."""
        return self.command("syscolours " + " ".join("%d %06X" % item for item in colours.items())) == ""

    def tooltips(self):
        """The texts of the visible tooltip windows, the shell's balloons among them."""
        answer = self.command("tooltips")
        return [_utf8(unescape(t)) for t in answer.split("\t")] if answer else []

    def work_area(self):
        return Rect(*(int(n) for n in self.command("workarea").split()))

    # Window watching
    def create_quiet(self, title, rect):
        """A window shown without being activated."""
        return int(self.command("createquiet %d %d %d %d %s" % (rect[0], rect[1], rect[2], rect[3], title)))

    def cover(self, rect=None):
        """A borderless window of the driver over rect (left, top, width, height; the whole screen by
        default) in the foreground, as a full-screen program shows itself; destroy() ends it."""
        return int(self.command("cover" + ("" if rect is None else " %d %d %d %d" % tuple(rect))))

    def set_title(self, window, title):
        # The driver reads the title as UTF-8; the line itself travels as Latin-1.
        self.command("settitle %d %s" % (window, title.encode("utf-8").decode("latin-1")))

    def thread(self, window):
        return int(self.command("thread %d" % window))

    def hook_windows(self):
        """[HookWindow(handle, process, thread)]: the windows of the threads that own watch hooks."""
        answer = self.command("hookwindows")
        return [HookWindow(*(int(n) for n in entry.split())) for entry in answer.split("\t") if entry]

    def suspend(self, window):
        """Stops the thread that owns the window until resume()."""
        self.command("suspend %d" % window)

    def resume(self, window):
        self.command("resume %d" % window)

    def processes(self, name):
        """How many processes run the executable of that name."""
        return int(self.command("processes " + name))

    def terminate(self, process):
        """Ends a process at once, by its Windows process id."""
        self.command("terminate %d" % process)

    def crash(self, process):
        """Makes the process meet an access violation that none of its code handles."""
        self.command("crash %d" % process)

    def restart_settings(self, process):
        """(flags, command line) the process registered to be restarted with; DriverError when none."""
        flags, _, command_line = self.command("restartsettings %d" % process).partition(" ")
        return int(flags), command_line

    def mutex_exists(self, name):
        return self.command("mutex " + name) == "1"

    def impostor(self, seconds):
        """A window captioned as the popup whose thread answers nothing for that long."""
        return int(self.command("impostor %d" % seconds))


def escape(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t")


def _utf8(text):
    return text.encode("latin-1").decode("utf-8", "replace")


def unescape(text):
    out = []
    chars = iter(text)
    for c in chars:
        if c == "\\":
            c = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(next(chars, ""), "")
        out.append(c)
    return "".join(out)


if __name__ == "__main__":
    if len(sys.argv) == 2 and sys.argv[1] == "probe":
        missing = probe(template_dir())
        print(missing)
        sys.exit(1 if missing else 0)
    sys.exit(__doc__)
