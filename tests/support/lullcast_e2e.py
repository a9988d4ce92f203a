"""Lullcast under Wine, seen from the desktop: the pieces the end-to-end tests are made of.

A LullcastDesktop is one Wine session (private display, prefix and virtual desktop) with Lullcast
installed in C:\\Lullcast and the test driver lcdriver.exe in C:\\Tools. The driver plays the other
programs on the desktop: it opens and closes the windows whose titles Lullcast watches, and reports
what the popup does. Mouse and keyboard input is real X input from xdotool on the session's display,
which Wine's virtual desktop covers one to one (screen and Windows coordinates are the same).

The build under test is named by the environment: LULLCAST_BUILD (the Windows build folder holding
Lullcast.exe, Lullcast.dll, lcdriver.exe and the other test programs) and LULLCAST_ARCH.
"""
import os
import re
import subprocess
import time
import unittest

import standin_service

import winetest
from wine_desktop import (SCREEN_HEIGHT, SCREEN_WIDTH, Child, Driver, DriverError, HookWindow,  # noqa: F401
                          Rect, WindowInfo, escape, unescape)

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
            errors = self.error_output()
            fault = winetest.emulator_fault(errors)
            code = self.running.poll() if self.running else None
            raise AssertionError("no window captioned %r appeared within %d s (Lullcast exit code: %s)%s%s"
                                 % (POPUP_CAPTION, winetest.patience(timeout), code,
                                    "; the emulator failed, not Lullcast: " + fault if fault else "",
                                    "; it wrote:\n" + errors[-3000:] if code is not None and errors.strip() else ""))
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
        self.service = standin_service.StandInService(catalog=standin_service.CATALOG, **service_options).start()
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
        with open(os.path.join(standin_service.CATALOG, "feeds", name), encoding="utf-8") as f:
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


class NewsCase(unittest.TestCase):
    """Test cases that share one NewsSession for the whole class, closed once the class is done or
    its set-up failed: cls.news, with its desktop, driver and service. news_options() gives the
    session's options (registry, faults, documents and the service's own)."""

    @classmethod
    def news_options(cls):
        return {}

    @classmethod
    def setUpClass(cls):
        cls.news = NewsSession(**cls.news_options())
        cls.addClassCleanup(cls.news.close)
        cls.desktop, cls.driver, cls.service = cls.news.desktop, cls.news.driver, cls.news.service


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
