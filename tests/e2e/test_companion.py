"""The 64-bit program with its 32-bit companion: windows of programs of both kinds get the popup,
and the companion lives exactly as long as the program.

Runs with the 64-bit build (LULLCAST_BUILD) and the companion files of the 32-bit build
(LULLCAST_BUILD32); skipped where this machine runs no 32-bit programs. Every test gets a desktop
of its own, with a driver of each bitness.

Wine ends a hook chain in a process that cannot load the library of the chain's first hook, where
Windows runs that hook through its owner's thread and goes on. So under Wine only the hook in front
sees windows of the other bitness's processes, and the tests put the hook they need in front
before each window (on Windows the order does not matter).
"""
import os
import unittest

import lullcast_e2e as e2e


class CompanionTest(unittest.TestCase):
    def setUp(self):
        self.desktop = e2e.LullcastDesktop(companion=True)
        self.addCleanup(self.desktop.close)
        self.driver = self.desktop.driver
        tools32 = self.desktop.wine.install([e2e.companion_file("lcdriver.exe")], folder="Tools32")
        self.driver32 = e2e.Driver(self.desktop.wine, os.path.join(tools32, "lcdriver.exe"))
        self.addCleanup(self.driver32.close)
        self.assertEqual((self.driver.bits, self.driver32.bits), (64, 32))

    def companions(self):
        return self.driver.processes(e2e.COMPANION)

    def wait_companions(self, count):
        return e2e.winetest.wait_for(lambda: self.companions() == count, timeout=e2e.WAIT)

    def wait_hooks(self, program):
        """Waits until the program's and a companion's threads own a hook each; returns their windows."""
        def two_processes():
            hooks = self.driver.hook_windows()
            return hooks if len(hooks) == 2 and program.process in {h.process for h in hooks} else None

        hooks = e2e.winetest.wait_for(two_processes, timeout=e2e.WAIT)
        self.assertIsNotNone(hooks, "hook threads: %s" % (self.driver.hook_windows(),))
        return hooks

    def test_windows_of_both_kinds_get_the_popup(self):
        popup = self.desktop.start_running_copy()
        self.assertTrue(self.wait_companions(1), "companions running: %d" % self.companions())
        hooks = self.wait_hooks(popup)
        for hook in hooks:
            self.assertEqual(self.driver.send(hook.handle, e2e.WM_HOOK_INSTALLED), 1, "a thread holds no hook")

        program_hook = next(h for h in hooks if h.process == popup.process)
        companion_hook = next(h for h in hooks if h.process != popup.process)
        for front, driver, title in [(companion_hook, self.driver32, "Copying..."),
                                     (program_hook, self.driver, "42% complete"),
                                     (companion_hook, self.driver32, "7% of report.pdf"),
                                     (program_hook, self.driver, "Printing")]:
            with self.subTest(bits=driver.bits, title=title):
                self.assertEqual(self.driver.send(front.handle, e2e.WM_HOOK_TO_FRONT), 1)
                window = driver.create(title, (100 + 40 * driver.bits // 32, 150, 460, 170))
                ok, seen = e2e.wait_check(lambda: self._docked(driver, window), e2e.WAIT)
                self.assertTrue(ok, "the popup is not below the %d-bit window: %s" % (driver.bits, seen))
                driver.destroy(window)
                ok, seen = self.desktop.wait_popup_hidden()
                self.assertTrue(ok, "the popup did not hide with the %d-bit window: %s" % (driver.bits, seen))

        # A second companion for the same program ends at once; the first one stays.
        code, _, _ = self.desktop.wine.run(os.path.join(self.desktop.folder, e2e.COMPANION), str(popup.process),
                                           timeout=60)
        self.assertEqual(code, 0)
        self.assertEqual(self.companions(), 1)

        # The program ends: so does the companion.
        self.assertEqual(self.desktop.run("/Uninstall"), 0)
        self.assertEqual(self.desktop.running.wait(timeout=e2e.WAIT), 0)
        self.assertTrue(self.wait_companions(0), "the companion outlived the program")

    def test_the_companion_ends_when_the_program_is_killed(self):
        popup = self.desktop.start_running_copy()
        self.wait_hooks(popup)
        self.driver.terminate(popup.process)
        self.assertTrue(e2e.winetest.wait_for(lambda: self.driver.popup() is None, timeout=e2e.WAIT),
                        "the program's popup is still there")
        self.assertTrue(self.wait_companions(0), "the companion outlived the killed program")
        # Nothing of the old program stands in the way of a new one, with a companion of its own.
        popup = self.desktop.start_running_copy()
        companion_hook = next(h for h in self.wait_hooks(popup) if h.process != popup.process)
        self.assertEqual(self.companions(), 1)
        self.assertEqual(self.driver.send(companion_hook.handle, e2e.WM_HOOK_TO_FRONT), 1)
        window = self.driver32.create("Printing", (200, 200, 400, 160))
        ok, seen = e2e.wait_check(lambda: self._docked(self.driver32, window), e2e.WAIT)
        self.assertTrue(ok, "the popup is not below the 32-bit window: " + seen)

    def _docked(self, driver, window):
        target = driver.info(window)
        popup = self.driver.popup()
        ok = (target is not None and popup is not None and popup.visible and popup.topmost
              and popup.rect == self.desktop.docked_rect(target.rect))
        return ok, "popup: %s; window: %s" % (popup, target)


if __name__ == "__main__":
    unittest.main()
