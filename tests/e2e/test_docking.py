"""The popup comes to the windows that announce a long operation, follows them and goes with them.

One Lullcast runs for the whole class; every test starts from a desktop without driver windows and
with the popup out of sight.
"""
import os
import subprocess
import unittest

import lullcast_e2e as e2e
import standin_service
import winetest

DOCKING_TITLES = ["Copying...", "Printing", "Time remaining: 2 minutes", "7% of report.pdf", "42% complete"]
OTHER_TITLES = ["copying files", "100% complete", "5%", ""]


class DockingTest(e2e.RunningCopyTest):
    def assertHidden(self, message=""):
        ok, seen = self.desktop.wait_popup_hidden()
        self.assertTrue(ok, "%s the popup did not hide: %s" % (message, seen))

    def test_titles_of_long_operations_bring_the_popup_below_their_window(self):
        for i, title in enumerate(DOCKING_TITLES):
            with self.subTest(title=title):
                window = self.driver.create(title, (60 + 90 * i, 50 + 70 * i, 420 + 40 * i, 160 + 20 * i))
                self.assertDocked(window, "%r:" % title)
                self.driver.destroy(window)
                self.assertHidden("after %r closed:" % title)

    def test_other_titles_leave_the_popup_out_of_sight(self):
        for i, title in enumerate(OTHER_TITLES):
            with self.subTest(title=title):
                # The popup stands below a watched window first. The new window's creation is reported
                # before the watched window's end, so once the popup has hidden for that end, the new
                # window has had its chance; a popup that went to it would not have hidden.
                watched = self.driver.create("Copying...", (700, 100, 400, 150))
                self.assertDocked(watched)
                other = self.driver.create(title, (80 + 60 * i, 300 + 50 * i, 500, 180))
                self.driver.destroy(watched)
                ok, seen = self.desktop.wait_popup_hidden()
                self.assertTrue(ok, "the popup went below %r: %s" % (title, seen))
                ok, seen = self.desktop.popup_stays_out_of_sight()
                self.assertTrue(ok, "the popup came to %r: %s" % (title, seen))
                self.driver.destroy(other)

    def test_second_window_takes_the_popup_and_only_its_end_hides_it(self):
        first = self.driver.create("Copying...", (100, 100, 500, 200))
        self.assertDocked(first, "first window:")
        second = self.driver.create("42% complete", (600, 450, 380, 160))
        self.assertDocked(second, "second window:")

        self.driver.destroy(first)
        ok, seen = self.desktop.stays_docked(second)
        self.assertTrue(ok, "the popup left the second window when the first closed: " + seen)

        self.driver.destroy(second)
        self.assertHidden("after the second window closed:")

    def test_popup_follows_a_window_the_user_drags_by_its_caption(self):
        window = self.driver.create("Copying...", (100, 100, 500, 200))
        self.assertDocked(window)
        for move in [(230, 140), (-180, 260), (400, -120)]:
            with self.subTest(move=move):
                before = self.driver.info(window).rect
                grab = (before.left + 150, self.driver.hit_point(window, e2e.HTCAPTION)[1])
                self.desktop.drag(grab, (grab[0] + move[0], grab[1] + move[1]))
                after = self.desktop.rect_when_settled(window, before.moved(*move))
                self.assertEqual((after.left - before.left, after.top - before.top), move,
                                 "the drag did not move the window as asked")
                self.assertDocked(window, "after the move:")

    def test_popup_follows_a_window_that_is_minimised_and_restored(self):
        # The popup is told of the change when it begins; repeated, because whether the popup then
        # sees the old or the new place can depend on timing.
        window = self.driver.create("Printing", (300, 200, 450, 180))
        self.assertDocked(window)
        for cycle in range(1, 21):
            self.driver.minimize(window)
            self.assertTrue(self.driver.info(window).iconic)
            self.driver.restore(window)
            self.assertFalse(self.driver.info(window).iconic)
            self.assertDocked(window, "after minimise and restore number %d:" % cycle)

    def test_copying_window_gets_the_popup_fifty_times_in_a_row(self):
        failures = []
        for attempt in range(50):
            window = self.driver.create("Copying...", (50 + 13 * attempt, 40 + 11 * attempt, 400 + attempt, 150))
            ok, seen = self.desktop.wait_docked(window)
            if not ok:
                failures.append("try %d, not docked: %s" % (attempt + 1, seen))
            self.driver.destroy(window)
            ok, seen = self.desktop.wait_popup_hidden()
            if not ok:
                failures.append("try %d, not hidden: %s" % (attempt + 1, seen))
            if len(failures) >= 3:
                break
        self.assertEqual(failures, [])


class FirstWindowOfAProgramTest(unittest.TestCase):
    """A program that started before Lullcast and already has a hidden window of its own (as COM
    makes one for a single-threaded apartment) shows its first window, announcing a copy, right as
    Lullcast comes up: that window gets the popup like any other."""

    TITLE = "Copying 3 items - 12% complete"
    RECT = (200, 120, 640, 260)

    def start_program(self, desktop, mode):
        """Starts firstwindow.exe in the mode and waits until it is ready; returns it and its output."""
        tools = desktop.wine.install([e2e.build_file("firstwindow.exe")], folder="Tools")
        program = desktop.wine.spawn(os.path.join(tools, "firstwindow.exe"), mode, *map(str, self.RECT), self.TITLE,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        output = winetest.OutputLines(program, encoding="latin-1")
        self.assertEqual(output.next(60), "ready", "firstwindow did not start")
        return program, output

    def assert_docked_to_next_window(self, desktop, output, which):
        """Reads the handle of the window the program shows next and waits for the popup below it."""
        window = output.next(60)
        self.assertIsNotNone(window, "firstwindow showed no window")
        ok, seen = desktop.wait_docked(int(window))
        self.assertTrue(ok, "the popup is not below %s: %s" % (which, seen))

    def check_first_window(self, mode, service=None):
        desktop = e2e.LullcastDesktop(service=service.address if service else None)
        try:
            program, output = self.start_program(desktop, mode)
            desktop.start_running_copy()
            self.assert_docked_to_next_window(desktop, output, "the program's first window")
            program.stdin.close()
        finally:
            desktop.close()

    def test_first_window_after_a_hidden_window_of_the_program(self):
        self.check_first_window("hidden")

    def test_first_window_of_a_program_in_a_single_threaded_apartment(self):
        self.check_first_window("sta")

    def test_first_window_with_the_service_answering(self):
        service = standin_service.StandInService(catalog=standin_service.CATALOG).start()
        try:
            self.check_first_window("hidden", service)
        finally:
            service.stop()

    def test_first_window_of_a_program_without_a_hidden_window(self):
        self.check_first_window("mta")

    def test_window_made_before_lullcast_and_shown_long_after(self):
        # Made hidden before the hook came to its process, shown once Lullcast has long been
        # running (past the few seconds in which it looks over the windows already there): its
        # first activation brings the popup.
        desktop = e2e.LullcastDesktop()
        try:
            program, output = self.start_program(desktop, "early")
            desktop.start_running_copy()
            ok, seen = desktop.popup_stays_out_of_sight(duration=8)
            self.assertTrue(ok, "the popup came to a hidden window: " + seen)
            program.stdin.write(b"show\n")
            program.stdin.flush()
            self.assert_docked_to_next_window(desktop, output, "the window shown")
            program.stdin.close()
        finally:
            desktop.close()


if __name__ == "__main__":
    unittest.main()
