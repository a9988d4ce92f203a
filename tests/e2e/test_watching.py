"""How Lullcast watches the desktop: the thread that owns the hook, and titles that come late.

One Lullcast runs for the whole class; every test starts from a desktop without driver windows and
with the popup out of sight.
"""
import time
import unittest

import lullcast_e2e as e2e

WM_NULL = 0x0000
WM_CLOSE = 0x0010


class WatchingTest(e2e.RunningCopyTest):
    def assertStaysOutOfSight(self, message=""):
        ok, seen = self.desktop.popup_stays_out_of_sight()
        self.assertTrue(ok, "%s the popup came: %s" % (message, seen))

    def test_hook_is_owned_by_a_thread_that_keeps_answering_while_the_popup_is_stalled(self):
        popup = self.driver.popup()
        hooks = [h for h in self.driver.hook_windows() if h.process == popup.process]
        self.assertEqual(len(hooks), 1, "hook threads of the program: %s" % (hooks,))
        hook = hooks[0]
        self.assertNotEqual(hook.thread, self.driver.thread(popup.handle), "the hook is on the popup's thread")
        self.assertEqual(self.driver.send(hook.handle, e2e.WM_HOOK_INSTALLED), 1, "the thread holds no hook")

        # The popup's thread stops (as in a download that stalls): the hook's thread answers all the same.
        self.driver.suspend(popup.handle)
        try:
            with self.assertRaises(e2e.DriverError, msg="the stopped popup still answered"):
                self.driver.send(popup.handle, WM_NULL)
            for _ in range(3):
                self.assertEqual(self.driver.send(hook.handle, e2e.WM_HOOK_INSTALLED), 1)
        finally:
            self.driver.resume(popup.handle)

        # The windows created meanwhile are reported once the popup goes on.
        window = self.driver.create("Copying...", (120, 140, 460, 180))
        self.assertDocked(window, "after the popup went on:")

    def test_a_title_that_comes_to_announce_a_long_operation_brings_the_popup(self):
        window = self.driver.create("Preparing...", (100, 120, 480, 170))
        self.assertStaysOutOfSight("with a neutral title")
        changed = time.monotonic()
        self.driver.set_title(window, "42% complete")
        self.assertDocked(window, "after the title changed:")
        print("popup docked %.2f s after the title change" % (time.monotonic() - changed))
        self.driver.destroy(window)
        ok, seen = self.desktop.wait_popup_hidden()
        self.assertTrue(ok, "the popup did not hide with the window: " + seen)

        # A change to a title that announces nothing leaves the popup away.
        other = self.driver.create("Notepad", (200, 300, 400, 150))
        self.driver.set_title(other, "copying files")
        self.assertStaysOutOfSight("for 'copying files':")

    def test_a_late_title_is_noticed_while_other_windows_keep_coming(self):
        window = self.driver.create("Preparing...", (100, 120, 480, 170))
        self.driver.set_title(window, "Copying 3 files")
        deadline = time.monotonic() + e2e.WAIT
        docked, seen = self.desktop.docked_below(window)
        for i in range(1000):
            if docked or time.monotonic() > deadline:
                break
            self.driver.create("Busy %d" % i, (700 + i % 20, 500 + i % 20, 200, 100))
            time.sleep(0.05)
            docked, seen = self.desktop.docked_below(window)
        self.assertTrue(docked, "the popup is not below the window: " + seen)

    def test_titles_count_characters(self):
        for i, title in enumerate(["\u00fc5% done", "\u4e2d\u6587% \u5b8c\u6210", "\U0001F4C4% copied"]):
            with self.subTest(title=title):
                window = self.driver.create("", (80 + 60 * i, 100 + 50 * i, 420, 160))
                self.driver.set_title(window, title)
                self.assertDocked(window, "%r:" % title)
                self.driver.destroy(window)
                self.desktop.wait_popup_hidden()
        window = self.driver.create("", (80, 100, 420, 160))
        self.driver.set_title(window, "\u00fc\u00fc5% done")
        self.assertStaysOutOfSight("for a '%' in fourth place:")

    def test_a_window_that_is_never_activated_gets_the_popup(self):
        window = self.driver.create_quiet("Copying...", (150, 200, 500, 180))
        self.assertDocked(window, "window shown without activation:")

    def test_a_popup_the_user_hid_stays_hidden_when_its_window_changes_title(self):
        window = self.driver.create("10% complete", (150, 200, 500, 180))
        self.assertDocked(window)
        self.driver.post(self.driver.popup().handle, WM_CLOSE)
        ok, seen = self.desktop.wait_popup_hidden()
        self.assertTrue(ok, "the popup did not hide: " + seen)
        self.driver.set_title(window, "20% complete")
        ok, seen = e2e.holds(self.desktop.popup_hidden, e2e.GRACE)
        self.assertTrue(ok, "the popup came back: " + seen)


if __name__ == "__main__":
    unittest.main()
