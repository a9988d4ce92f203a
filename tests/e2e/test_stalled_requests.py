"""The popup never waits on the network. With each kind of request stalled in turn by the
reference service (the preset list, a feed, the sponsor picture, a view report, a click report),
a copy window that appears meanwhile gets the popup at once, the popup paints, takes a link-bar
click and Esc, Exit ends the program within a second, and so does "/Uninstall" from a second
start. And a refresh that was overtaken by a newer one never puts its older result on display.
"""
import time
import unittest

import lullcast_e2e as e2e
import winetest

PRESET = "/preset_feeds.xml"
WM_PRESET_LIST_ANSWER = 0x8000 + 20
WM_CLICK_REPORT_SENT = 0x8000 + 24
FEED = "/feeds/news-1.xml"
SPONSOR = "/60x39.jpg"
REPORTS = "/clicks.php"
# What the popup may take to answer while a request stalls. The polling of the tests and a busy
# machine add to what the popup itself takes (a few milliseconds).
AT_ONCE = 1.0
EXIT_LIMIT = 1.0
MENU_ICON = 1013


class StalledRequestTest(unittest.TestCase):
    def setUp(self):
        self.news = e2e.NewsSession(stall_seconds=120)
        self.addCleanup(self.news.close)
        self.desktop, self.driver = self.news.desktop, self.news.driver
        self.desktop.open_links_with_recorder()
        self.place = 0
        self.news.refresh()  # the first refresh, without waiting 10 s for it
        self.assertTrue(self.news.shown_title(), "no item after the first refresh")

    # The requests, made to stall
    def stall(self, path, make_request):
        """Makes `path` stall and has the popup ask for it by make_request(); returns once the
        request has reached the service."""
        self.news.service.fault(path, "stall")
        before = self.news.service.count(path)
        make_request()
        self.assertTrue(winetest.wait_for(lambda: self.news.service.count(path) > before, timeout=e2e.WAIT),
                        "the popup did not ask for %s" % path)

    def dock(self):
        """Opens a copy window and returns it with the seconds the popup took to come below it."""
        self.place += 1
        window = self.driver.create("Copying...", (120 + 20 * self.place, 100 + 15 * self.place, 560, 200))
        started = time.monotonic()
        ok, seen = self.desktop.wait_docked(window)
        self.assertTrue(ok, "the popup did not come below the copy window: " + seen)
        return window, time.monotonic() - started

    def choose_first_channel(self):
        """Chooses the channel menu's first channel with real input, which asks for the preset list."""
        self.driver.post(self.news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)
        self.assertTrue(self.desktop.wait_popup_on_screen()[0])
        self.news.idle()
        icon = self.driver.info(self.desktop.control(self.news.popup, MENU_ICON)).rect
        self.desktop.click(*icon.centre())
        self.assertTrue(winetest.wait_for(self.driver.menu, timeout=e2e.WAIT), "no channel menu")
        for key in ("Down", "Return"):
            self.desktop.key(key)
            time.sleep(0.1)

    def click_item(self):
        self.dock()
        self.news.click_item()

    # What the user sees meanwhile
    def assertAnswers(self):
        """A copy window gets the popup at once; the popup paints, steps with a link-bar click and
        hides on Esc."""
        _, took = self.dock()
        self.assertLess(took, AT_ONCE, "the popup came %.2f s after the copy window" % took)
        self.assertTrue(winetest.wait_for(lambda: self.driver.colours(self.news.popup) > 2, timeout=AT_ONCE),
                        "the popup is not painted")
        shown = self.news.shown_title()
        time.sleep(0.6)  # no double click with an earlier click
        bar = self.driver.info(self.desktop.control(self.news.popup, e2e.LINK_BAR)).rect
        started = time.monotonic()
        self.desktop.click(bar.left + e2e.NEXT_X, (bar.top + bar.bottom) // 2)
        stepped = winetest.wait_for(lambda: self.news.shown_title() != shown, timeout=e2e.WAIT)
        took = time.monotonic() - started
        self.assertTrue(stepped, "Next did not step from %r" % shown)
        self.assertLess(took, AT_ONCE, "Next took %.2f s" % took)
        self.desktop.press_escape(e2e.STATUS_LINE)
        self.assertTrue(self.desktop.wait_popup_hidden()[0], "Esc did not hide the popup")

    def assertExitEndsAtOnce(self):
        running = self.desktop.running
        started = time.monotonic()
        self.driver.post(self.news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_EXIT)
        ended = winetest.wait_for(lambda: running.poll() is not None, timeout=e2e.WAIT, interval=0.01)
        took = time.monotonic() - started
        self.assertTrue(ended, "Exit did not end the program")
        self.assertEqual(running.returncode, 0)
        self.assertLess(took, EXIT_LIMIT, "Exit took %.2f s" % took)

    def restart(self):
        self.news.popup = self.desktop.start_running_copy().handle

    def assertUninstallEnds(self):
        running = self.desktop.running
        started = time.monotonic()
        self.assertEqual(self.desktop.run("/Uninstall", timeout=30), 0)
        took = time.monotonic() - started
        ended = winetest.wait_for(lambda: running.poll() is not None, timeout=EXIT_LIMIT)
        self.assertTrue(ended, "/Uninstall returned after %.2f s, the running copy still runs" % took)
        self.assertIsNone(self.driver.popup(), "a popup is left")

    def check(self, path, make_request, make_request_again=None):
        """make_request_again: how a new running copy is made to ask again (default: it is
        started, then make_request)."""
        self.stall(path, make_request)
        self.assertAnswers()
        self.assertExitEndsAtOnce()
        self.stall(path, make_request_again or (lambda: (self.restart(), make_request())))
        self.assertUninstallEnds()

    # Each kind of request
    def test_preset_list(self):
        # Stalled after a channel choice, and then from the start on.
        self.check(PRESET, self.choose_first_channel, make_request_again=self.restart)

    def test_feed(self):
        self.check(FEED, lambda: self.driver.post(self.news.popup, e2e.WM_TIMER, 1, 0))

    def test_sponsor_picture(self):
        def dock_at_once():
            # The docking that asks for the picture does not wait for it either.
            _, took = self.dock()
            self.assertLess(took, AT_ONCE, "the popup came %.2f s after the copy window" % took)
        self.check(SPONSOR, dock_at_once)

    def test_view_report(self):
        self.check(REPORTS, lambda: self.driver.post(self.news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW))

    def test_click_report(self):
        def click_again():
            self.restart()
            self.news.refresh()
            self.click_item()
        self.check(REPORTS, self.click_item, make_request_again=click_again)


class OvertakenRefreshTest(unittest.TestCase):
    """Answers that are not the one the popup waits for are never taken: a slow load's result that
    comes after Feed overtook it, and answers that another program forges while the load runs."""

    def test_forged_answers_while_a_feed_loads_are_not_taken(self):
        # Any program can post the popup's answer messages; while the feed's download runs, the
        # popup takes none of them, and shows the feed once its own answer comes.
        preset = "[News]\n{{service}}/slow/feeds/news-1.xml\n\n"
        news = e2e.NewsSession(slow_pause=0.5, slow_pieces=6, documents=[(PRESET, preset)])
        self.addCleanup(news.close)
        news.driver.post(news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)  # shows the popup and loads the feed
        self.assertTrue(winetest.wait_for(lambda: news.service.count("/slow/feeds/news-1.xml") >= 1,
                                          timeout=e2e.WAIT), "the feed was not asked for")
        for message in range(WM_PRESET_LIST_ANSWER, WM_CLICK_REPORT_SENT + 1):
            for ticket in range(0, 9):
                news.driver.post(news.popup, message, ticket, 0)
        newest = "Market square reopens after repairs"
        self.assertEqual(news.wait_title(newest), newest, "the feed's own answer was not taken")
        self.assertIsNone(news.desktop.running.poll(), "Lullcast ended")
        self.assertEqual(news.status(), "Harbour Evening Post")

    def test_an_older_refresh_does_not_replace_a_newer_one(self):
        preset = "[News]\n{{service}}/slow/feeds/news-1.xml\n{{service}}/feeds/news-2.xml\n\n"
        news = e2e.NewsSession(slow_pause=0.5, slow_pieces=6, documents=[(PRESET, preset)])
        self.addCleanup(news.close)
        fast = news.feed_url("news-2.xml")
        news.driver.post(news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)  # shows the popup and loads the slow feed
        self.assertTrue(winetest.wait_for(lambda: news.service.count("/slow/feeds/news-1.xml") == 1,
                                          timeout=e2e.WAIT), "the slow feed was not asked for")
        time.sleep(0.6)
        news.click_link_bar(e2e.FEED_X)  # while the slow feed still loads
        second = "Fischmarkt öffnet früher"
        self.assertEqual(news.wait_title(second), second, "the next feed did not show")
        # The slow load ends about 3 s after it began; its result must not come over the display.
        seen = set()
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            seen.add(news.shown_title())
            time.sleep(0.1)
        self.assertEqual(seen, {second}, "an older result was shown")
        self.assertEqual(news.status(), second)
        self.assertEqual(news.views(), [fast], "only the feed shown is reported")


if __name__ == "__main__":
    unittest.main()
