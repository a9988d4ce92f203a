"""The popup's desktop pieces under Wine, through DesktopProbe (built by the Windows build named in
LULLCAST_BUILD): the link bar's text measured and drawn in the popup's link font at 96 and 144 DPI,
the monitors and the placement on them, and quiet time with a full-screen window in front.
"""
import os
import re
import subprocess
import unittest

import winetest

HERE = os.path.dirname(os.path.abspath(__file__))
TASKBAR_MAX = 60  # Wine's virtual desktop has a taskbar at the bottom, a few tens of pixels high
POPUP_HEIGHT = 126


def measured_link_bars():
    """{dpi: (previous, next, feed, separator, whole)} as MeasuredLinkBar.h holds them."""
    with open(os.path.join(HERE, "MeasuredLinkBar.h")) as f:
        rows = re.findall(r"\{(\d+), (\d+), (\d+), (\d+), (\d+), (\d+)\}", f.read())
    return {int(row[0]): tuple(int(n) for n in row[1:]) for row in rows}


def runs(text):
    """"1-7 9-12" as [(1, 7), (9, 12)]."""
    return [tuple(int(n) for n in run.split("-")) for run in text.split()]


class ProbeSession(unittest.TestCase):
    DPI = 96

    @classmethod
    def setUpClass(cls):
        cls.session = winetest.WineSession()
        cls.addClassCleanup(cls.session.close)
        if cls.DPI != 96:
            code, output = cls.session.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
                                            "/t", "REG_DWORD", "/d", str(cls.DPI), "/f")
            assert code == 0, output
        folder = cls.session.install([winetest.build_file("tests", "popup", "DesktopProbe.exe")], folder="Tools")
        cls.probe_path = os.path.join(folder, "DesktopProbe.exe")

    def probe(self, *args):
        code, out, err = self.session.run(self.probe_path, *args)
        self.assertEqual(code, 0, "DesktopProbe %s: %s%s" % (" ".join(args), out, err))
        return dict(line.split(" ", 1) for line in out.replace("\r\n", "\n").splitlines() if " " in line)


class LinkBarAt96Dpi(ProbeSession):
    DPI = 96

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        code, out, err = cls.session.run(cls.probe_path, "link-bar")
        cls.output = out.replace("\r\n", "\n")
        cls.lines = dict(line.split(" ", 1) for line in cls.output.splitlines())

    def numbers(self, name):
        self.assertIn(name, self.lines, "DesktopProbe link-bar did not get that far:\n" + self.output)
        return [int(n) for n in self.lines[name].split()]

    def test_the_font_is_made_at_the_screens_dpi(self):
        self.assertEqual(int(self.lines["font"].split()[0]), self.DPI, self.output)

    def test_the_pieces_are_the_widths_the_native_tests_take(self):
        pieces = self.numbers("pieces")
        self.assertEqual(sum(pieces[0:3]) + 3 * pieces[3], pieces[4], "the pieces do not add up to the whole text")
        self.assertEqual(tuple(pieces), measured_link_bars()[self.DPI],
                         "Wine measures the link bar otherwise now (font %s): update MeasuredLinkBar.h"
                         % self.lines["font"])

    def test_the_control_draws_each_word_inside_its_range_on_one_line(self):
        layout = self.numbers("layout")
        width, spans = layout[0], [tuple(layout[i:i + 2]) for i in range(1, 13, 2)]
        words, separators = spans[:3], spans[3:]
        self.assertEqual(width, self.numbers("pieces")[4])
        ink = runs(self.lines["ink"])
        for begin, end in ink:
            self.assertTrue(any(b <= begin and end <= e for b, e in spans),
                            "ink at %d-%d crosses the ranges %s" % (begin, end, spans))
        for name, (begin, end) in zip(("Previous", "Next", "Feed"), words):
            self.assertTrue(any(begin <= b and e <= end for b, e in ink), "no ink of %s in %d-%d" % (name, begin, end))
        for begin, end in separators:
            self.assertTrue(any(begin <= b and e <= end for b, e in ink), "no separator drawn in %d-%d" % (begin, end))
        [(top, bottom)] = runs(self.lines["rows"])
        self.assertLessEqual(bottom, self.numbers("line")[0], "the text wrapped onto a second line")


class LinkBarAt144Dpi(LinkBarAt96Dpi):
    DPI = 144


class MonitorsAndPlacement(ProbeSession):
    def monitors(self):
        code, out, err = self.session.run(self.probe_path, "monitors")
        found = re.findall(r"monitor (-?\d+) (-?\d+) (-?\d+) (-?\d+) work (-?\d+) (-?\d+) (-?\d+) (-?\d+)", out)
        return [tuple(int(n) for n in row) for row in found]

    def place(self, left, top, right, bottom, smallest=0):
        placed = self.probe("place", str(left), str(top), str(right), str(bottom), str(POPUP_HEIGHT), str(smallest))
        return tuple(int(n) for n in placed["placed"].split())

    def test_the_one_monitor_and_its_work_area_above_the_taskbar(self):
        [monitor] = self.monitors()
        self.assertEqual(monitor[:4], (0, 0) + tuple(int(n) for n in winetest.SCREEN.split("x")))
        work = monitor[4:]
        self.assertEqual(work[:3], monitor[:3])
        self.assertTrue(monitor[3] - TASKBAR_MAX <= work[3] < monitor[3], "no taskbar below the work area: %s" % (work,))

    def test_the_popup_goes_below_above_or_inside_as_the_work_area_allows(self):
        [monitor] = self.monitors()
        work_bottom = monitor[7]
        self.assertEqual(self.place(100, 100, 600, 300), (100, 300, 600, 300 + POPUP_HEIGHT))
        # A window whose bottom is 10 pixels above the screen's.
        self.assertEqual(self.place(100, 800, 600, 1014), (100, 800 - POPUP_HEIGHT, 600, 800))
        # Maximised: inside its bottom edge, on the taskbar's top.
        self.assertEqual(self.place(-4, -4, 1284, work_bottom + 4),
                         (0, work_bottom - POPUP_HEIGHT, 1280, work_bottom))
        # Beyond the right edge, and narrower than the popup can be.
        self.assertEqual(self.place(1250, 100, 1300, 200, smallest=120), (1160, 200, 1280, 200 + POPUP_HEIGHT))


class QuietTime(ProbeSession):
    def facts(self):
        line = self.probe("quiet")["facts"]
        return dict(part.split("=", 1) for part in line.split())

    def covered(self, *rect):
        """Facts read from another process while a window of the probe covers rect (the screen)."""
        cover = self.session.spawn(self.probe_path, "cover", *[str(n) for n in rect],
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        try:
            ready = winetest.OutputLines(cover).next(30)
            self.assertTrue(ready and ready.startswith("ready"), "the covering window did not come: %r" % ready)
            return self.facts()
        finally:
            cover.stdin.close()
            cover.wait(timeout=30)

    def test_a_borderless_window_of_another_program_over_the_screen_is_quiet_time(self):
        facts = self.covered()
        self.assertEqual(facts["foreground"], "other-program", facts)
        self.assertEqual(facts["client"], "0,0," + winetest.SCREEN.replace("x", ","))
        self.assertEqual(facts["quiet"], "1", facts)
        # Wine's own answer does not change with it: it always accepts notifications.
        print("SHQueryUserNotificationState under Wine, full-screen window in front: state %s" % facts["state"])

    def test_a_window_that_does_not_cover_the_screen_is_not(self):
        facts = self.covered(100, 100, 700, 500)
        self.assertEqual((facts["foreground"], facts["client"], facts["quiet"]), ("other-program", "100,100,700,500", "0"))

    def test_this_programs_own_window_over_the_screen_is_not(self):
        line = self.probe("cover-and-ask")["facts"]
        facts = dict(part.split("=", 1) for part in line.split())
        self.assertEqual((facts["foreground"], facts["quiet"]), ("this-process", "0"), line)

    def test_the_bare_desktop_is_not(self):
        facts = self.facts()
        self.assertIn(facts["foreground"], ("shell", "none"), facts)
        self.assertEqual(facts["quiet"], "0", facts)


if __name__ == "__main__":
    unittest.main()
