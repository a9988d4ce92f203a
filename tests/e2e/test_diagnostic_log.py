"""The diagnostic log in %LOCALAPPDATA%\\Lullcast\\Lullcast.log, as a user reads it after asking "why
did no popup come?": one line for each window seen and why it got the popup or not, where the
popup docked, each service request, each feed load and each setting saved; and nothing of other
programs but the titles that announced a long operation, no feed text, no query of an address.
"""
import glob
import os
import re
import time
import unittest

import lullcast_e2e as e2e

MENU_ICON = 1013
NEWEST_TITLE = "Market square reopens after repairs"


class DiagnosticLogTest(e2e.NewsCase):
    def log_text(self):
        found = glob.glob(self.desktop.wine.drive_c("users", "*", "AppData", "Local", "Lullcast", "Lullcast.log"))
        if not found:
            return ""
        with open(found[0], "rb") as f:
            return f.read().decode("utf-8")

    def wait_line(self, pattern):
        """The first line of the log that matches the pattern, once there is one."""
        regex = re.compile(pattern)
        line = e2e.winetest.wait_for(
            lambda: next((l for l in self.log_text().splitlines() if regex.search(l)), None), timeout=60)
        self.assertIsNotNone(line, "no line matches %r in the log:\n%s" % (pattern, self.log_text()))
        self.assertRegex(line, r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} ")
        return line

    def test_each_kind_of_decision_gets_a_line_and_nothing_private(self):
        address = re.escape(self.news.service.address)
        # The first refresh: the preset list from the service, then the channel's first feed.
        self.wait_line(r"service request %s/preset_feeds\.xml: ok after \d+ ms" % address)
        self.wait_line(r"feed %s/feeds/news-1\.xml: status 200, [1-9]\d* items" % address)
        self.assertIsNotNone(e2e.winetest.wait_for(self.news.shown_title, timeout=40), "no item after the first refresh")

        # A window of another program that announces nothing: seen, its title not written.
        other = self.driver.create("Quarterly figures - Private notes", (100, 100, 400, 200))
        self.wait_line(r"window 0x%x seen: its title announces no long operation, no popup" % other)
        # A copy: the popup comes, and docks below it.
        copy = self.driver.create("Copying 45% of holiday photos", (150, 120, 480, 180))
        ok, seen = self.desktop.wait_docked(copy)
        self.assertTrue(ok, seen)
        self.wait_line(r'window 0x%x "Copying 45%% of holiday photos": a long operation: the popup comes' % copy)
        self.wait_line(r"popup docked below it at -?\d+,-?\d+ \d+x\d+")
        self.driver.destroy(copy)
        # A copy while the user is busy: the popup waits.
        cover = self.driver.cover()
        self.assertEqual(self.driver.foreground(cover), cover, "the full-screen window is not in front")
        busy = self.driver.create_quiet("Copying 2 files", (150, 120, 480, 180))
        self.wait_line(r'window 0x%x "Copying 2 files": a long operation, but the user is busy \(quiet time\): '
                       r'the popup waits' % busy)
        self.driver.destroy(busy)
        self.driver.destroy(cover)

        # A setting saved: the channel chosen in the channel menu.
        self.driver.post(self.news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)
        self.desktop.wait_popup_on_screen()
        self.news.idle()
        rect = self.driver.info(self.desktop.control(self.news.popup, MENU_ICON)).rect
        self.desktop.click(*rect.centre())
        self.assertIsNotNone(e2e.winetest.wait_for(self.driver.menu, timeout=e2e.WAIT), "no channel menu")
        for key in ("Down", "Down", "Return"):
            self.desktop.key(key)
            time.sleep(0.1)
        self.wait_line(r"settings saved: channel \d+ chosen")

        text = self.log_text()
        for private in ("Private notes", "Quarterly", NEWEST_TITLE, "cobblestones", "?"):
            self.assertNotIn(private, text)
        self.assertLess(len(text), 256 * 1024)


if __name__ == "__main__":
    unittest.main()
