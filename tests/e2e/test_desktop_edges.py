"""The popup at the edges of the desktop and while the user is busy.

Near the bottom of the work area the popup goes above the watched window, beyond its right edge it
is as wide as the part of the window inside it, over a window as large as the work area it lies
inside that window's bottom edge, and it never leaves the work area. While a program of another
process covers the whole screen in the foreground (as a game, a presentation or a video does), no
popup comes and no balloon is shown; the popup comes once that program has gone, if the window it
was to accompany still lives.
"""
import time
import unittest

import lullcast_e2e as e2e
import winetest

QUIET_HOLD = 5.0  # the popup asks every 2 s whether the user is still busy


class PlacementAtTheEdgesTest(e2e.RunningCopyTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.work = cls.desktop.driver.work_area()
        cls.popup_height = cls.desktop.popup_size[1]

    def placed_popup(self, window, expected):
        """The popup's rectangle once it is visible, topmost and at `expected` (or as last seen)."""
        def at_place():
            popup = self.driver.popup()
            ok = popup is not None and popup.visible and popup.topmost and popup.rect == expected
            return ok, "popup: %s; window: %s; expected %s" % (popup, self.driver.info(window), tuple(expected))
        ok, seen = e2e.wait_check(at_place, e2e.WAIT)
        self.assertTrue(ok, seen)
        return self.driver.popup().rect

    def assertInsideWorkArea(self, rect):
        work = self.work
        self.assertTrue(work.left <= rect.left and rect.right <= work.right and work.top <= rect.top
                        and rect.bottom <= work.bottom, "%s lies outside the work area %s" % (tuple(rect), tuple(work)))

    def test_a_window_near_the_bottom_has_the_popup_directly_above_it(self):
        top = self.work.bottom - 10 - 200
        window = self.driver.create("Copying...", (100, top, 500, 200))
        watched = self.driver.info(window).rect
        self.assertEqual(watched.bottom, self.work.bottom - 10)
        popup = self.placed_popup(window, e2e.Rect(watched.left, watched.top - self.popup_height, watched.right,
                                                   watched.top))
        self.assertInsideWorkArea(popup)

    def test_a_window_past_the_right_edge_lends_the_popup_only_its_part_inside_the_work_area(self):
        window = self.driver.create("Copying...", (self.work.right - 200, 120, 500, 150))
        watched = self.driver.info(window).rect
        self.assertGreater(watched.right, self.work.right, "the window was kept inside the screen")
        popup = self.placed_popup(window, e2e.Rect(watched.left, watched.bottom, self.work.right,
                                                   watched.bottom + self.popup_height))
        self.assertInsideWorkArea(popup)

    def test_a_window_as_large_as_the_work_area_has_the_popup_inside_its_bottom_edge(self):
        work = self.work
        window = self.driver.create("Copying...", (work.left, work.top, work.width, work.height))
        watched = self.driver.info(window).rect
        self.assertEqual(watched, work)
        popup = self.placed_popup(window, e2e.Rect(work.left, work.bottom - self.popup_height, work.right,
                                                   work.bottom))
        self.assertInsideWorkArea(popup)

    def test_a_window_with_room_below_still_has_the_popup_directly_below(self):
        window = self.driver.create("Copying...", (150, 120, 420, 160))
        self.assertDocked(window)
        self.assertInsideWorkArea(self.driver.popup().rect)


class BusyUserTest(e2e.RunningCopyTest):
    def setUp(self):
        super().setUp()
        self.cover = self.driver.cover()
        self.assertEqual(self.driver.foreground(self.cover), self.cover, "the full-screen window is not in front")

    def test_no_popup_while_a_full_screen_program_is_in_front_and_the_popup_comes_when_it_goes(self):
        window = self.driver.create_quiet("Copying...", (200, 200, 400, 150))
        self.assertEqual(self.driver.foreground(0), self.cover, "the copy window took the foreground")
        ok, seen = e2e.holds(self.desktop.popup_out_of_sight, QUIET_HOLD)
        self.assertTrue(ok, "the popup came over the full-screen window: " + seen)
        # A move of the window it waits for does not bring it either.
        self.driver.post(self.driver.popup().handle, e2e.WM_WATCH_PLACE, window, 0)
        ok, seen = e2e.holds(self.desktop.popup_out_of_sight, e2e.GRACE)
        self.assertTrue(ok, "a move brought the popup over the full-screen window: " + seen)

        self.driver.destroy(self.cover)
        self.assertDocked(window, "after the full-screen window went:")

    def test_a_window_that_goes_while_the_user_is_busy_brings_no_popup_afterwards(self):
        window = self.driver.create_quiet("Printing", (250, 180, 380, 140))
        ok, seen = e2e.holds(self.desktop.popup_out_of_sight, e2e.GRACE)
        self.assertTrue(ok, "the popup came over the full-screen window: " + seen)
        self.driver.destroy(window)
        self.driver.destroy(self.cover)
        ok, seen = e2e.holds(self.desktop.popup_out_of_sight, QUIET_HOLD)
        self.assertTrue(ok, "the popup came for a window that had gone: " + seen)

    def test_the_popup_the_user_asks_for_shows_while_busy(self):
        popup = self.driver.popup().handle
        self.driver.post(popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW, 0)
        ok, seen = self.desktop.wait_popup_on_screen()
        self.assertTrue(ok, "View did not show the popup while a full-screen window was in front: " + seen)
        self.driver.post(popup, e2e.WM_CLOSE, 0, 0)
        ok, seen = self.desktop.wait_popup_hidden()
        self.assertTrue(ok, seen)


class NoBalloonWhileBusyTest(e2e.NewsCase):
    def balloons(self):
        return [t for t in self.driver.tooltips() if "cobblestones" in t]

    def test_the_first_news_comes_without_a_balloon_while_busy_and_with_one_afterwards(self):
        news = self.news
        cover = self.driver.cover()
        self.assertIsNotNone(winetest.wait_for(news.shown_title, timeout=40), "no item after the first refresh")
        time.sleep(3)  # the shell shows a balloon about 2 s after it is asked for
        self.assertEqual(self.balloons(), [], "a balloon over the full-screen window")

        self.driver.destroy(cover)
        news.service.put("/feeds/news-1.xml", news.catalog_feed("news-1.xml").replace("Market square", "Town square"))
        news.refresh()
        self.assertTrue(winetest.wait_for(self.balloons, timeout=10), "no balloon once the user was no longer busy")


if __name__ == "__main__":
    unittest.main()
