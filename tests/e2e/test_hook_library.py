"""Where the hook library comes from: the program's own folder, and nowhere else.

Every test gets a desktop of its own.
"""
import os
import shutil
import unittest

import lullcast_e2e as e2e

PLANTED_MARK = "planted-loaded.txt"


class HookLibraryTest(unittest.TestCase):
    def make_desktop(self, with_hook_library):
        desktop = e2e.LullcastDesktop(with_hook_library=with_hook_library)
        self.addCleanup(desktop.close)
        return desktop

    def plant_library(self, desktop):
        """Puts a library named Lullcast.dll, with the hook export, in another folder; returns that folder."""
        folder = desktop.wine.drive_c("Work")
        os.makedirs(folder)
        shutil.copy(e2e.build_file("PlantedHook.dll"), os.path.join(folder, e2e.HOOK_LIBRARY))
        return folder

    def assertNeverDocks(self, desktop):
        window = desktop.driver.create("Copying...", (150, 150, 500, 200))
        ok, seen = desktop.popup_stays_out_of_sight(duration=3.0)
        self.assertTrue(ok, "the popup came below the window: " + seen)
        desktop.driver.destroy(window)

    def assertRunsAndViews(self, desktop):
        """The program runs all the same: its popup answers View."""
        self.assertIsNone(desktop.running.poll(), "Lullcast ended")
        self.assertEqual(desktop.run(), 0)
        ok, seen = desktop.wait_popup_on_screen()
        self.assertTrue(ok, "the running copy did not show its popup: " + seen)

    def test_without_the_hook_library_the_program_runs_and_never_docks(self):
        desktop = self.make_desktop(with_hook_library=False)
        desktop.start_running_copy()
        self.assertNeverDocks(desktop)
        self.assertRunsAndViews(desktop)

    def test_library_in_the_working_folder_is_not_loaded(self):
        desktop = self.make_desktop(with_hook_library=False)
        work = self.plant_library(desktop)
        desktop.start_running_copy(cwd=work)
        self.assertNeverDocks(desktop)
        self.assertFalse(os.path.exists(os.path.join(work, PLANTED_MARK)),
                         "the planted library was loaded by: %s" % _read(os.path.join(work, PLANTED_MARK)))
        self.assertRunsAndViews(desktop)

    def test_library_beside_the_program_wins_over_one_in_the_working_folder(self):
        desktop = self.make_desktop(with_hook_library=True)
        work = self.plant_library(desktop)
        desktop.start_running_copy(cwd=work)
        window = desktop.driver.create("Copying...", (150, 150, 500, 200))
        ok, seen = desktop.wait_docked(window)
        self.assertTrue(ok, "the popup did not come below the window: " + seen)
        self.assertFalse(os.path.exists(os.path.join(work, PLANTED_MARK)),
                         "the planted library was loaded by: %s" % _read(os.path.join(work, PLANTED_MARK)))


def _read(path):
    try:
        with open(path, encoding="latin-1") as f:
            return f.read().strip()
    except OSError:
        return ""


if __name__ == "__main__":
    unittest.main()
