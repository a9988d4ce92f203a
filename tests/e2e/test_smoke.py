"""One session of the program through what a build of the other word size breaks alone: it starts
and installs its watch hook, docks below a window titled like a copy, shows an item from the
service, takes a WM_DPICHANGED that any program may post, and ends on Exit.

Under the 32-bit emulator (`tests/support/winetest.py emulate`) this is the i686 build's smoke test. The
emulator can fail by itself (it does not carry Wine's 32-bit exception dispatch, for one): a failure
whose program wrote the emulator's own complaints says so, and the same test on the x86_64 build
tells whether the scenario itself holds.
"""
import subprocess
import unittest

import lullcast_e2e as e2e
import winetest
from test_news import NEWEST

WM_DPICHANGED = 0x02E0


class SmokeTest(unittest.TestCase):
    def setUp(self):
        self.news = e2e.NewsSession()
        self.addCleanup(self.news.close)
        self.desktop = self.news.desktop
        self.driver = self.news.driver

    def fail_why(self, message):
        """The message, naming the emulator when the program's error output shows that it failed."""
        fault = winetest.emulator_fault(self.desktop.error_output())
        return message + ("; the emulator failed, not Lullcast: " + fault if fault else "")

    def test_starts_docks_shows_news_takes_a_dpi_change_and_exits(self):
        popup = self.news.popup
        window = self.driver.create("Copying 3 items - 10% complete", (200, 150, 560, 200))
        ok, seen = self.desktop.wait_docked(window)
        self.assertTrue(ok, self.fail_why("the popup did not come below a copy window: " + seen))

        self.news.refresh()
        self.assertEqual(self.news.wait_title(NEWEST), NEWEST, self.fail_why("the feed's newest item is not shown"))

        # Any program may post it: a DPI no monitor has is ignored, a rectangle pointer into
        # nowhere is not read.
        docked = self.driver.info(popup).rect
        self.driver.post(popup, WM_DPICHANGED, 20000 | (20000 << 16), 0x10)
        self.news.idle()
        self.assertEqual(self.driver.info(popup).rect, docked, self.fail_why("a DPI of 20000 was taken"))
        self.driver.post(popup, WM_DPICHANGED, 144 | (144 << 16), 0x10)
        self.news.idle()
        self.assertIsNone(self.desktop.running.poll(), self.fail_why("Lullcast ended at a posted WM_DPICHANGED"))
        target = self.driver.info(window).rect
        ok, seen = e2e.wait_check(lambda: self._below(popup, target), e2e.WAIT)
        self.assertTrue(ok, self.fail_why("after the DPI change the popup left the window: " + seen))

        self.driver.post(popup, e2e.WM_COMMAND, e2e.ID_TRAY_EXIT)
        try:
            code = self.desktop.running.wait(timeout=winetest.patience(e2e.WAIT))
        except subprocess.TimeoutExpired:
            self.fail(self.fail_why("Lullcast did not end on Exit"))
        self.assertEqual(code, 0, self.fail_why("Lullcast's exit code on Exit"))

    def _below(self, popup, target):
        """Whether the popup stands right below the window, as wide; its height is the DPI's."""
        info = self.driver.info(popup)
        ok = info.visible and (info.rect.left, info.rect.top, info.rect.right) == (target.left, target.bottom, target.right)
        return ok, "popup: %s; window: %s" % (info, target)


if __name__ == "__main__":
    unittest.main()
