"""Lullcast under Wine, seen from the desktop: the pieces the end-to-end tests are made of.

A LullcastDesktop is one Wine session (private display, prefix and virtual desktop) with Lullcast
installed in C:\\Lullcast and the test driver lcdriver.exe in C:\\Tools. The driver plays the other
programs on the desktop: it opens and closes the windows whose titles Lullcast watches, and reports
what the popup does. Mouse and keyboard input is real X input from xdotool on the session's display,
which Wine's virtual desktop covers one to one (screen and Windows coordinates are the same).

The build under test is named by the environment: LULLCAST_BUILD (the Windows build folder holding
Lullcast.exe, Lullcast.dll, lcdriver.exe and the other test programs) and LULLCAST_ARCH.
"""
import collections
import os
import re
import subprocess
import time
import unittest

import demo_service

import winetest

POPUP_CAPTION = "Lullcast - Idlewaven"
SETTINGS_CAPTION = "Lullcast Settings"
SETTINGS_KEY = r"HKCU\Software\Kestrova\Lullcast\Lullcast\Settings"
SEEN_KEY = r"HKCU\Software\Kestrova\Lullcast\Lullcast\Seen"
ABOUT_CAPTION = "About Nimbrel"
PROGRAM = "Lullcast.exe"
HOOK_LIBRARY = "Lullcast.dll"
COMPANION = "Lullcast32.exe"
COMPANION_LIBRARY = "Lullcast32.dll"
# Asked of a hook thread's window: whether its hook is installed; install it anew, in front of the others.
WM_HOOK_INSTALLED = 0x8000 + 1
WM_HOOK_TO_FRONT = 0x8000 + 2

WM_CLOSE = 0x0010
WM_KEYDOWN = 0x0100
VK_ESCAPE = 0x1B
WM_COMMAND = 0x0111
WM_SYSCOMMAND = 0x0112
IDM_ABOUTBOX = 0x0010
ID_TRAY_VIEW = 32774
ID_TRAY_SETTINGS = 32776
ID_TRAY_EXIT = 32772
TRAY_ICON_ID = 129
# Held by the running copy from the moment it starts, before its popup exists.
RUNNING_COPY_MUTEX = r"Local\Lullcast.Idlewaven.RunningCopy"
WM_TIMER = 0x0113
WM_WATCH_PLACE = 0x0402
# The popup's controls
ITEM_VIEW, SPONSOR, LINK_BAR, STATUS_LINE = 1000, 1001, 1002, 1003
LINK_WORDS = ("Previous", "Next", "Feed")


def link_bar_spans(dpi=96):
    """Where the link bar draws its pieces at that DPI, from its left edge: ({word: (begin, end)},
    [(begin, end) of each separator], the whole width), from the widths that
    tests/popup/MeasuredLinkBar.h holds (desktop_wine.py checks them against Wine's own)."""
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "popup", "MeasuredLinkBar.h")) as f:
        rows = [[int(n) for n in row] for row in re.findall(r"\{(\d+), (\d+), (\d+), (\d+), (\d+), (\d+)\}", f.read())]
    row = next(row for row in rows if row[0] == dpi)
    words, separators, x = {}, [], 0
    for name, width in zip(LINK_WORDS, row[1:4]):
        words[name] = (x, x + width)
        separators.append((x + width, x + width + row[4]))
        x += width + row[4]
    return words, separators, x


def middle(span):
    return (span[0] + span[1]) // 2


# Points of the link bar, from its left edge, at 96 DPI: the middle of each word.
PREVIOUS_X, NEXT_X, FEED_X = (middle(link_bar_spans()[0][word]) for word in LINK_WORDS)
HTCAPTION = 2
HTBOTTOMRIGHT = 17
HTCLOSE = 20
SETTINGS_KEY = r"HKCU\Software\Kestrova\Lullcast\Lullcast\Settings"

SCREEN_WIDTH, SCREEN_HEIGHT = (int(n) for n in winetest.SCREEN.split("x"))

# How long the tests wait for something that should happen, and how long they watch for something
# that should not.
WAIT = 15.0
GRACE = 1.5


build_dir = winetest.build_dir
arch = winetest.arch
build_file = winetest.build_file


def companion_file(name):
    """A file of the 32-bit build that goes with the 64-bit program."""
    path = os.path.join(os.environ["LULLCAST_BUILD32"], name)
    if not os.path.exists(path):
        raise AssertionError("not built: %s is missing" % path)
    return path


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
        self._output = winetest.OutputLines(self.process, encoding="latin-1")
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


class LullcastDesktop:
    """A Wine session with Lullcast installed and the driver running on its desktop."""

    def __init__(self, with_hook_library=True, registry=(), service=None, companion=False, server_trace=None):
        """registry: (key, name, type, value) entries written before any program starts; service:
        the base address of the service web server Lullcast is to use; companion: the 32-bit
        companion and its hook library (from the build named by LULLCAST_BUILD32) are installed
        beside the program; server_trace: where the Wine server writes its trace of requests (see
        winetest.WineSession)."""
        self.wine = winetest.WineSession(server_trace=server_trace)
        if service:
            self.wine.env["LULLCAST_SERVICE_URL"] = service
        try:
            for key, name, kind, value in registry:
                self.wine.wine("reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f")
            files = [build_file(PROGRAM)]
            self.with_hook_library = with_hook_library
            if with_hook_library:
                files.append(build_file(HOOK_LIBRARY))
            if companion:
                files += [companion_file(COMPANION), companion_file(COMPANION_LIBRARY)]
            self.folder = self.wine.install(files)
            tools = self.wine.install([build_file("lcdriver.exe")], folder="Tools")
            self.driver = Driver(self.wine, os.path.join(tools, "lcdriver.exe"))
            self.running = None
            self.popup_size = None
            self.error_files = []
        except BaseException:
            self.wine.close()
            raise

    def close(self):
        self.driver.close()
        self.wine.close()

    @property
    def program(self):
        return os.path.join(self.folder, PROGRAM)

    def start(self, *args, cwd=None):
        """Starts Lullcast.exe with the arguments, in cwd (default: its own folder); returns the process.
        What Wine writes to its error output is kept for error_output()."""
        errors = os.path.join(self.wine.root, "Lullcast-%d.err" % len(self.wine.processes))
        with open(errors, "wb") as err:
            process = subprocess.Popen(winetest.wine_command(self.program, *args), env=self.wine.env,
                                       cwd=cwd or self.folder, stdout=subprocess.DEVNULL, stderr=err,
                                       start_new_session=True)
        self.wine.processes.append(process)
        self.error_files.append(errors)
        return process

    def error_output(self):
        """What the Lullcast processes started so far wrote to their error output."""
        text = []
        for name in self.error_files:
            with open(name, encoding="utf-8", errors="replace") as f:
                text.append(f.read())
        return "".join(text)

    def run(self, *args, timeout=60, cwd=None):
        """Runs Lullcast.exe to its end (a second start); returns its exit code."""
        process = self.start(*args, cwd=cwd)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("Lullcast.exe %s did not end within %d s" % (" ".join(args), timeout))

    def start_running_copy(self, cwd=None):
        """Starts the running copy and waits until its popup is set up; returns the popup's state."""
        self.running = self.start(cwd=cwd)
        popup = self.wait_for_popup()
        self.popup_size = (popup.rect.width, popup.rect.height)
        return popup

    def wait_for_popup(self, timeout=60):
        """The popup's state once it is found by its caption and, with the hook library, once its
        watch hook is installed too (which comes right after the caption)."""
        popup = winetest.wait_for(self.driver.popup, timeout=timeout)
        if popup is None:
            fault = winetest.emulator_fault(self.error_output())
            raise AssertionError("no window captioned %r appeared within %d s (Lullcast exit code: %s)%s"
                                 % (POPUP_CAPTION, winetest.patience(timeout),
                                    self.running.poll() if self.running else None,
                                    "; the emulator failed, not Lullcast: " + fault if fault else ""))
        if self.with_hook_library and not winetest.wait_for(lambda: self.hook_installed(popup.process),
                                                            timeout=timeout):
            raise AssertionError("Lullcast installed no watch hook within %d s of its popup" % timeout)
        return popup

    def hook_installed(self, process):
        """Whether the watch hook of that process is installed."""
        return any(self.driver.send(hook.handle, WM_HOOK_INSTALLED) == 1
                   for hook in self.driver.hook_windows() if hook.process == process)

    def settings(self):
        """The values stored under the program's settings key: {name: (type, data)}."""
        return self.registry(SETTINGS_KEY)

    def registry(self, key):
        """The values stored under a key: {name: (type, data)}."""
        code, output = self.wine.wine("reg", "query", key)
        return winetest.parse_reg_query(output) if code == 0 else {}

    def open_links_with_recorder(self):
        """Makes linkrecorder.exe the program that opens http and https links."""
        tools = self.wine.install([build_file("linkrecorder.exe")], folder="Tools")
        self._links = os.path.join(tools, "links.txt")
        for scheme in ("http", "https"):
            self.wine.wine("reg", "add", r"HKLM\Software\Classes\%s\shell\open\command" % scheme, "/ve", "/d",
                           r'"C:\Tools\linkrecorder.exe" "%1"', "/f")

    def opened_links(self):
        """[[argument, ...]] of every start of the link recorder so far."""
        if not os.path.exists(self._links):
            return []
        with open(self._links, encoding="utf-8") as f:
            return [line.rstrip("\n").split("\t")[1:] for line in f if line.strip()]

    def tray_icon_present(self, popup):
        """Whether the shell holds the popup's notification icon (asked by TrayHost.exe)."""
        if not getattr(self, "_tray_host", None):
            tools = self.wine.install([build_file("tests", "tray", "TrayHost.exe")], folder="Tools")
            self._tray_host = os.path.join(tools, "TrayHost.exe")
        code, out, _ = self.wine.run(self._tray_host, "present", str(popup), str(TRAY_ICON_ID), timeout=60)
        return code == 0 and out.strip() == "present"

    def unix_process(self):
        """The Linux process that runs Lullcast.exe in this session's prefix; None when there is none.
        Its command line names the program first, or under the emulator after the emulator and loader."""
        for name in os.listdir("/proc"):
            if not name.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % name, "rb") as f:
                    command = [arg.decode("utf-8", "replace") for arg in f.read().split(b"\0")[:3]]
                with open("/proc/%s/environ" % name, "rb") as f:
                    environment = f.read().split(b"\0")
            except OSError:
                continue
            if any(arg.lower().endswith("lullcast.exe") for arg in command) and \
                    ("WINEPREFIX=" + self.wine.prefix).encode() in environment:
                return int(name)
        return None

    def peak_memory(self):
        """The most memory Lullcast's Linux process has held resident so far, in bytes."""
        with open("/proc/%d/status" % self.unix_process()) as f:
            status = dict(line.split(":", 1) for line in f if ":" in line)
        return int(status["VmHWM"].split()[0]) * 1024

    def control(self, window, control_id):
        """The handle of a control of the popup."""
        return next(c.handle for c in self.driver.children(window) if c.id == control_id)

    # Real input on the session's display
    def xdotool(self, *args):
        subprocess.run(["xdotool", *[str(a) for a in args]], env=self.wine.env, check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def click(self, x, y):
        self.xdotool("mousemove", x, y, "click", 1)

    def drag(self, start, end, steps=10, while_held=None):
        """Presses the left button at start, moves to end in steps and lets go, as a user drags;
        while_held() runs once the button is down (it may start an OLE drag)."""
        self.xdotool("mousemove", start[0], start[1], "mousedown", 1)
        if while_held:
            time.sleep(0.1)
            while_held()
        for i in range(1, steps + 1):
            time.sleep(0.02)
            self.xdotool("mousemove", start[0] + (end[0] - start[0]) * i // steps,
                         start[1] + (end[1] - start[1]) * i // steps)
        # Under load Wine can take the release before the last motion; dwell at the end point
        # and move there once more so the move loop has seen it before the button goes up.
        time.sleep(0.3)
        self.xdotool("mousemove", end[0], end[1])
        time.sleep(0.1)
        self.xdotool("mouseup", 1)

    def drag_text(self, start, end, text, terminated=True):
        """Drags text from the driver's window at start to end with real input, the way a link is
        dragged out of a browser; returns (DoDragDrop's result, the drop effect)."""
        self.drag(start, end, while_held=lambda: self.driver.begin_drag_text(text, terminated))
        return self.driver.finish_drag()

    def press_escape(self, control_id=ITEM_VIEW):
        """Clicks into a control of the popup (by default its item view, where a click without a
        link does nothing), as a user does before typing into the popup, then presses Esc. (A
        click on free client space would start a window drag, which Esc cancels.)

        Under load, Wine's virtual desktop now and then loses a key from xdotool: traced, no
        keyboard message reaches the popup's thread although the popup is in front. After two
        such real presses the key is posted to the popup instead, which still goes through the
        popup's own message loop and dialog manager; a popup that Esc does not hide fails."""
        for attempt in range(3):
            popup = self.driver.popup()
            if attempt == 2:
                self.driver.post(popup.handle, WM_KEYDOWN, VK_ESCAPE, 0x00010001)
                return
            self.driver.foreground(popup.handle)
            spot = self.driver.info(self.control(popup.handle, control_id)).rect.centre()
            self.click(*spot)
            self.key("Escape", over=spot)
            if self.wait_popup_hidden(timeout=3)[0]:
                return

    def drag_files(self, start, end, paths):
        """Drags files (Windows paths) from the driver's window at start to end, the way files are
        dragged out of a file manager; returns (DoDragDrop's result, the drop effect)."""
        self.drag(start, end, while_held=lambda: self.driver.begin_drag_files(paths))
        return self.driver.finish_drag()

    def key(self, name, over=None):
        """Presses a key; the mouse goes first over the point `over` so the display's focus follows it."""
        if over is not None:
            self.xdotool("mousemove", over[0], over[1])
        self.xdotool("key", name)

    # What the popup is doing
    def rect_when_settled(self, window, expected, timeout=3):
        """The window's rectangle once it equals `expected`, or as it is after the timeout: a drag's
        last motion can reach the window a moment after the button is up."""
        settled = winetest.wait_for(lambda: self.driver.info(window).rect == expected, timeout=timeout)
        return expected if settled else self.driver.info(window).rect

    def docked_rect(self, window_rect):
        """Where the popup belongs below a watched window: flush left, as wide, its own height."""
        return Rect(window_rect.left, window_rect.bottom, window_rect.right,
                    window_rect.bottom + self.popup_size[1])

    def docked_below(self, window):
        """(whether the popup stands below the window, topmost and visible; what was seen)."""
        target = self.driver.info(window)
        popup = self.driver.popup()
        ok = (target is not None and popup is not None and popup.visible and popup.topmost
              and popup.rect == self.docked_rect(target.rect))
        return ok, "popup: %s; window: %s; expected popup rect %s" % (
            popup, target, tuple(self.docked_rect(target.rect)) if target else "?")

    def wait_docked(self, window, timeout=WAIT):
        """Waits until the popup stands below the window; returns (ok, what was last seen)."""
        return wait_check(lambda: self.docked_below(window), timeout)

    def stays_docked(self, window, duration=GRACE):
        """Watches the popup for a while; returns (ok, the first state in which it was not docked)."""
        return holds(lambda: self.docked_below(window), duration)

    def popup_hidden(self):
        popup = self.driver.popup()
        return popup is not None and not popup.visible, "popup: %s" % (popup,)

    def popup_out_of_sight(self):
        popup = self.driver.popup()
        return popup is None or popup.out_of_sight(), "popup: %s" % (popup,)

    def popup_on_screen(self):
        popup = self.driver.popup()
        return popup is not None and not popup.out_of_sight(), "popup: %s" % (popup,)

    def wait_popup_on_screen(self, timeout=WAIT):
        return wait_check(self.popup_on_screen, timeout)

    def wait_popup_hidden(self, timeout=WAIT):
        """Waits until the popup is hidden; returns (ok, what was last seen)."""
        return wait_check(self.popup_hidden, timeout)

    def popup_stays_out_of_sight(self, duration=GRACE):
        """Watches the popup for a while; returns (ok, the first state in which it was on screen)."""
        return holds(self.popup_out_of_sight, duration)

    def reset(self):
        """Closes every window of the driver and waits for the popup to go out of sight."""
        self.driver.destroy_all()
        ok, seen = wait_check(self.popup_out_of_sight, WAIT)
        if not ok:
            raise AssertionError("the popup stayed on screen after the driver closed its windows: " + seen)


class RunningCopyTest(unittest.TestCase):
    """Test cases that share one running Lullcast for the whole class; every test starts from a
    desktop without driver windows and with the popup out of sight."""

    @classmethod
    def setUpClass(cls):
        cls.desktop = LullcastDesktop()
        try:
            cls.desktop.start_running_copy()
        except BaseException:
            cls.desktop.close()
            raise
        cls.driver = cls.desktop.driver

    @classmethod
    def tearDownClass(cls):
        cls.desktop.close()

    def setUp(self):
        self.assertIsNone(self.desktop.running.poll(), "Lullcast is no longer running")
        self.desktop.reset()

    def assertDocked(self, window, message=""):
        ok, seen = self.desktop.wait_docked(window)
        self.assertTrue(ok, "%s the popup is not below the window: %s" % (message, seen))


class NewsSession:
    """The reference service, Lullcast pointed at it, and what a test reads of the popup."""

    def __init__(self, registry=(), faults=(), documents=(), **service_options):
        """faults: (path, mode) pairs of the service, in force from the start; documents: (path,
        body) pairs it serves from the start, "{{service}}" in a body standing for its address."""
        self.service = demo_service.DemoService(catalog=demo_service.CATALOG, test_endpoints=True,
                                               **service_options).start()
        for path, mode in faults:
            self.service.fault(path, mode)
        for path, body in documents:
            self.service.put(path, body.replace("{{service}}", self.service.address))
        try:
            self.desktop = LullcastDesktop(service=self.service.address, registry=registry)
        except BaseException:
            self.service.stop()
            raise
        self.driver = self.desktop.driver
        self.started = time.monotonic()
        self.popup = self.desktop.start_running_copy().handle

    def close(self):
        self.desktop.close()
        self.service.stop()

    def catalog_feed(self, name):
        with open(os.path.join(demo_service.CATALOG, "feeds", name), encoding="utf-8") as f:
            return f.read().replace("{{service}}", self.service.address)

    def feed_url(self, name):
        return self.service.url("/feeds/" + name)

    def item_lines(self):
        return [line for line in re.split(r"[\r\n]+", self.driver.wide_text(self.popup, ITEM_VIEW)) if line]

    def shown_title(self):
        lines = self.item_lines()
        return lines[0] if lines else ""

    def status(self):
        return self.driver.wide_text(self.popup, STATUS_LINE)

    def views(self):
        return [r["feed"] for r in self.service.reports() if r["action"] == "view"]

    def clicks(self):
        return [(r["feed"], r["url"]) for r in self.service.reports() if r["action"] == "browse"]

    def refresh(self, feed="news-1.xml"):
        """Fires the refresh timer and waits until the popup has loaded the feed and is idle again."""
        before = self.service.count("/feeds/" + feed)
        self.driver.post(self.popup, WM_TIMER, 1, 0)
        if not winetest.wait_for(lambda: self.service.count("/feeds/" + feed) > before, timeout=30):
            raise AssertionError("the refresh did not load %s" % feed)
        self.idle()

    def idle(self, quiet=0.4):
        """Waits until the popup has handled everything posted to it so far and the requests it
        made of the service meanwhile have come back: the popup's requests run in the background,
        so the service must have seen no new request for a while (longer under the emulator, where
        the popup may take its time to read a click from the display)."""
        quiet = winetest.patience(quiet)
        self.driver.post(self.popup, 0, 0, 0)  # WM_NULL, after whatever is queued
        self.driver.wide_text(self.popup)
        deadline = time.monotonic() + winetest.patience(WAIT)
        seen, since = len(self.service.requests()), time.monotonic()
        while time.monotonic() < deadline:
            time.sleep(0.05)
            now = len(self.service.requests())
            if now != seen:
                seen, since = now, time.monotonic()
            elif time.monotonic() - since >= quiet:
                break
        time.sleep(0.1)

    def click_link_bar(self, x):
        bar = self.driver.info(self.desktop.control(self.popup, LINK_BAR)).rect
        # Two clicks close together would make a double click, which the link bar ignores.
        time.sleep(0.6)
        self.desktop.click(bar.left + x, (bar.top + bar.bottom) // 2)
        self.idle()

    def click_item(self):
        view = self.driver.info(self.desktop.control(self.popup, ITEM_VIEW)).rect
        self.desktop.click(*view.centre())

    def wait_title(self, title, timeout=WAIT):
        winetest.wait_for(lambda: self.shown_title() == title, timeout=timeout)
        return self.shown_title()

    def sponsor_colours(self):
        return self.driver.colours(self.desktop.control(self.popup, SPONSOR))


def wait_check(check, timeout):
    """Polls check() -> (ok, description) until ok or the timeout; returns the last result."""
    last = [None]

    def ok():
        last[0] = check()
        return last[0][0]

    winetest.wait_for(ok, timeout=timeout)
    return last[0]


def holds(check, duration):
    """Polls check() -> (ok, description) for a while; returns the first failing result, else (True, "")."""
    deadline = time.monotonic() + duration
    while time.monotonic() < deadline:
        result = check()
        if not result[0]:
            return result
        time.sleep(0.05)
    return True, ""
