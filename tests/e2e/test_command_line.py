"""Single instance and the command line: a second start, "/Uninstall" and "/Install".

Every test gets a desktop of its own, since each one starts and ends copies of the program.
"""
import time
import unittest

import lullcast_e2e as e2e


class CommandLineTest(unittest.TestCase):
    def setUp(self):
        self.desktop = e2e.LullcastDesktop()
        self.addCleanup(self.desktop.close)
        self.driver = self.desktop.driver

    def assertOneRunningCopy(self):
        self.assertEqual(self.driver.count(e2e.POPUP_CAPTION), (1, 1),
                         "(windows, processes) captioned %r" % e2e.POPUP_CAPTION)

    def assertNoPopupComes(self, duration=e2e.GRACE):
        def no_popup():
            popup = self.driver.popup()
            return popup is None, "popup: %s" % (popup,)

        ok, seen = e2e.holds(no_popup, duration)
        self.assertTrue(ok, "a popup appeared: " + seen)

    def assertViewed(self, popup):
        """The popup shown by View right after start: on screen, not topmost, where its template centres it."""
        area = self.driver.work_area()
        expected = (area.left + (area.width - popup.rect.width) // 2, area.top + (area.height - popup.rect.height) // 2)
        self.assertTrue(popup.visible, popup)
        self.assertFalse(popup.topmost, popup)
        self.assertEqual(popup.rect.width, self.desktop.popup_size[0], popup)
        self.assertEqual(popup.rect.height, self.desktop.popup_size[1], popup)
        self.assertLessEqual(abs(popup.rect.left - expected[0]), 1, "%s, centred would be %s" % (popup, expected))
        self.assertLessEqual(abs(popup.rect.top - expected[1]), 1, "%s, centred would be %s" % (popup, expected))

    def test_second_plain_start_shows_the_popup_of_the_running_copy(self):
        first = self.desktop.start_running_copy()
        self.assertTrue(first.out_of_sight(), "the popup is on screen right after start: %s" % (first,))

        self.assertEqual(self.desktop.run(), 0, "exit code of the second start")
        ok, seen = self.desktop.wait_popup_on_screen()
        self.assertTrue(ok, "the running copy did not show its popup: " + seen)
        popup = self.driver.popup()
        self.assertEqual(popup.handle, first.handle, "the popup is not the running copy's")
        self.assertViewed(popup)
        self.assertOneRunningCopy()
        self.assertIsNone(self.desktop.running.poll(), "the running copy ended")

    def test_uninstall_ends_the_running_copy_and_its_hook(self):
        self.desktop.start_running_copy()
        watched = self.driver.create("Copying...", (150, 120, 480, 180))
        ok, seen = self.desktop.wait_docked(watched)
        self.assertTrue(ok, "the running copy's hook does not work: " + seen)
        self.driver.destroy(watched)

        self.assertEqual(self.desktop.run("/Uninstall"), 0, "exit code of the /Uninstall start")
        self.assertEqual(self.desktop.running.wait(timeout=e2e.WAIT), 0, "exit code of the running copy")
        self.assertIsNone(self.driver.popup(), "the popup is still there")

        # With the program gone, a long operation brings no popup and starts nothing.
        self.driver.create("Copying...", (150, 120, 480, 180))
        self.assertNoPopupComes()
        self.assertEqual(self.driver.count(e2e.POPUP_CAPTION), (0, 0))

    def test_uninstall_ends_a_copy_that_is_still_starting(self):
        # What an installer does right after logon, say: the copy has taken its place (the mutex)
        # but may not have its popup yet. The /Uninstall start waits for it, ends it, and returns
        # only once its process has gone.
        starting = self.desktop.start()
        self.assertTrue(e2e.winetest.wait_for(lambda: self.driver.mutex_exists(e2e.RUNNING_COPY_MUTEX), timeout=e2e.WAIT,
                                              interval=0.005), "the copy did not take its place")
        self.assertEqual(self.desktop.run("/Uninstall"), 0)
        self.assertEqual(e2e.winetest.wait_for(lambda: starting.poll() is not None, timeout=1) and starting.returncode,
                         0, "the starting copy still runs once /Uninstall has returned")
        self.assertNoPopupComes()

    def test_uninstall_without_a_running_copy_does_nothing(self):
        self.assertEqual(self.desktop.run("/Uninstall"), 0)
        self.assertNoPopupComes()

    def test_install_without_a_running_copy_starts_one(self):
        self.assertEqual(self.desktop.run("/Install"), 0, "exit code of the /Install start")
        popup = self.desktop.wait_for_popup()
        self.desktop.popup_size = (popup.rect.width, popup.rect.height)
        self.assertOneRunningCopy()
        watched = self.driver.create("Printing", (100, 300, 600, 200))
        ok, seen = self.desktop.wait_docked(watched)
        self.assertTrue(ok, "the copy started by /Install does not watch the desktop: " + seen)

    def test_install_with_a_running_copy_shows_its_popup_and_starts_nothing(self):
        self.desktop.start_running_copy()
        self.assertEqual(self.desktop.run("/Install"), 0)
        ok, seen = self.desktop.wait_popup_on_screen()
        self.assertTrue(ok, "the running copy did not show its popup: " + seen)
        self.assertViewed(self.driver.popup())
        def one_copy():
            counts = self.driver.count(e2e.POPUP_CAPTION)
            return counts == (1, 1), str(counts)

        ok, seen = e2e.holds(one_copy, e2e.GRACE)
        self.assertTrue(ok, "another copy started: (windows, processes) = " + seen)

    def test_starts_at_the_same_moment_make_one_running_copy(self):
        # A copy is found by its popup's caption, which comes a moment after the process started
        # (and never waits for the service, which here never answers). Starts in between wait for
        # the caption and hand it their command.
        service = e2e.standin_service.StandInService(stall_seconds=60).start()
        self.addCleanup(service.stop)
        service.fault("/preset_feeds.xml", "stall")
        self.desktop.wine.env["LULLCAST_SERVICE_URL"] = service.address
        starts = [self.desktop.start() for _ in range(3)]
        popup = self.desktop.wait_for_popup()
        self.desktop.popup_size = (popup.rect.width, popup.rect.height)

        def two_ended():
            ended = [p for p in starts if p.poll() is not None]
            return len(ended) >= 2 and ended

        ended = e2e.winetest.wait_for(two_ended, timeout=60)
        self.assertTrue(ended, "exit codes: %s" % [p.poll() for p in starts])
        self.assertEqual([p.returncode for p in ended], [0] * len(ended))
        self.desktop.running = next(p for p in starts if p not in ended)

        def one_copy():
            counts = self.driver.count(e2e.POPUP_CAPTION)
            return counts == (1, 1), str(counts)

        ok, seen = e2e.holds(one_copy, e2e.GRACE)
        self.assertTrue(ok, "(windows, processes) captioned as the popup: " + seen)
        watched = self.driver.create("Copying...", (150, 120, 480, 180))
        ok, seen = self.desktop.wait_docked(watched)
        self.assertTrue(ok, "the running copy does not watch the desktop: " + seen)
        self.assertEqual(service.count("/preset_feeds.xml"), 1, "more than one copy asked for the preset list")

    def test_uninstall_does_not_hang_on_a_window_that_answers_nothing(self):
        # Some window carries the main caption but its thread answers nothing for a minute.
        self.driver.impostor(60)
        started = time.monotonic()
        self.assertEqual(self.desktop.run("/Uninstall", timeout=50), 0)
        self.assertLess(time.monotonic() - started, 40, "the /Uninstall start waited too long")


if __name__ == "__main__":
    unittest.main()
