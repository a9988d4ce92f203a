"""What the tray tests need of a Wine desktop: TrayHost, screenshots of the notification area, and
real mouse and keyboard input from xdotool on the session's display (Wine's virtual desktop covers
the display one to one, so screen and Windows coordinates are the same).

LULLCAST_BUILD names the Windows build folder under test, LULLCAST_ARCH its architecture.
"""
import os
import subprocess
import time

import winetest

ICON_ID = 129
POPUP_CAPTION = "Lullcast - Idlewaven"
WM_TRAY_NOTIFY = 0x800A
ID_TRAY_EXIT = 32772
ID_TRAY_VIEW = 32774
MAGENTA = (255, 0, 255)


arch = winetest.arch
build_file = winetest.build_file


class Lines(winetest.OutputLines):
    """TrayHost's reports, awaited by what they start with."""

    def wait_for(self, prefix, timeout=15.0):
        """The first line from now on that starts with prefix, or None."""
        deadline = time.monotonic() + timeout
        while True:
            line = self.next(max(0.0, deadline - time.monotonic()))
            if line is None:
                return None
            if line.startswith(prefix):
                return line

    def lines_within(self, seconds):
        """Every line that comes in the next few seconds."""
        lines = []
        deadline = time.monotonic() + seconds
        while True:
            line = self.next(max(0.0, deadline - time.monotonic()))
            if line is None:
                return lines
            lines.append(line)


class TrayHost:
    """TrayHost.exe of this build, installed in the session."""

    def __init__(self, session):
        self.session = session
        folder = session.install([build_file("tests", "tray", "TrayHost.exe")], folder="Tools")
        self.path = os.path.join(folder, "TrayHost.exe")
        self._idle = None

    def keep_desktop(self, shots):
        """Keeps the virtual desktop up (it closes with the last program) and waits for its taskbar."""
        if self._idle is None:
            self._idle = self.session.spawn(self.path, "idle", stdin=subprocess.DEVNULL)
        shot = os.path.join(shots, "desktop.ppm")
        if not wait_for(lambda: Screenshot(self.session, shot).pixel(0, 0) != (0, 0, 0)):
            raise AssertionError("the virtual desktop did not come up")
        time.sleep(0.5)  # the taskbar is drawn just after the desktop

    def ask(self, *args):
        code, out, err = self.session.run(self.path, *args, timeout=60)
        if code != 0:
            raise AssertionError("TrayHost %s ended with %d: %s" % (" ".join(args), code, err))
        return out.strip()

    def start(self, *args):
        process = self.session.spawn(self.path, *args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
        return Lines(process)

    def find(self, caption):
        return int(self.ask("find", caption))

    def icon_present(self, window, icon_id=ICON_ID):
        return self.ask("present", str(window), str(icon_id)) == "present"

    def remove_icon(self, window, icon_id=ICON_ID):
        return self.ask("remove", str(window), str(icon_id)) == "removed"

    def broadcast_taskbar_created(self):
        self.ask("taskbar-created")

    def visibility(self, window):
        return self.ask("visible", str(window))

    def menu_window(self):
        """(left, top, right, bottom) of the popup menu on the screen, or None."""
        answer = self.ask("menu-window")
        return None if answer == "none" else tuple(int(n) for n in answer.split())


class Screenshot:
    """The whole display, as rows of RGB pixels."""

    def __init__(self, session, path):
        session.screenshot(path)
        with open(path, "rb") as f:
            data = f.read()
        magic, width, height, maximum, pixels = data.split(maxsplit=4)
        if magic != b"P6" or int(maximum) not in (255, 65535):
            raise AssertionError("not a PPM screenshot: %s" % path)
        self.width, self.height = int(width), int(height)
        # 16-bit samples are big-endian: their first byte is the 8-bit value.
        self.step = 1 if int(maximum) == 255 else 2
        self.pixels = pixels

    def pixel(self, x, y):
        offset = 3 * self.step * (y * self.width + x)
        return tuple(self.pixels[offset:offset + 3 * self.step:self.step])

    def box_of(self, colour, region):
        """The bounding box (left, top, right, bottom) of the pixels of one colour in region, or None."""
        left, top, right, bottom = region
        found = [(x, y) for y in range(top, bottom) for x in range(left, right) if self.pixel(x, y) == colour]
        if not found:
            return None
        xs, ys = [p[0] for p in found], [p[1] for p in found]
        return min(xs), min(ys), max(xs) + 1, max(ys) + 1

    def changed_box(self, other, region):
        """The bounding box of the pixels in region that differ from the other screenshot, or None."""
        left, top, right, bottom = region
        xs, ys = [], []
        for y in range(top, bottom):
            for x in range(left, right):
                if self.pixel(x, y) != other.pixel(x, y):
                    xs.append(x)
                    ys.append(y)
        if not xs:
            return None
        return min(xs), min(ys), max(xs) + 1, max(ys) + 1


def notification_area(screenshot):
    """Where the notification area lies: the right end of the taskbar along the bottom edge."""
    return screenshot.width - 240, screenshot.height - 40, screenshot.width, screenshot.height


def centre(box):
    return (box[0] + box[2]) // 2, (box[1] + box[3]) // 2


def xdotool(session, *args):
    subprocess.run(["xdotool", *[str(a) for a in args]], env=dict(session.env), check=True, timeout=30)


def double_click(session, point):
    xdotool(session, "mousemove", point[0], point[1], "click", "--repeat", 2, "--delay", 120, 1)


def right_click(session, point):
    xdotool(session, "mousemove", point[0], point[1], "click", 3)


def left_click(session, point):
    xdotool(session, "mousemove", point[0], point[1], "click", 1)


def wait_for(predicate, timeout=15.0):
    return winetest.wait_for(predicate, timeout=timeout, interval=0.2)
