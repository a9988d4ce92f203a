"""Feed health: the settings dialog shows beside each of My Feeds what its last load came to, read
from the dialog's own list, for a stand-in server's 404, an HTML page, a certificate not to be
trusted, a stall and a redirect; a feed that failed three loads in a row says so in the status line."""
import re
import tempfile
import unittest

import lullcast_e2e as e2e
import standin_service
import testca
import winetest

IDCANCEL = 2
FEED_LIST, FEED_HEALTH = 1007, 1023
MENU_ICON = 1013
NOT_LOADED = "not loaded yet"
TIME = r"\d{1,2}:\d{2}( ?[AP]M)?"


class FeedHealthTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        folder = tempfile.TemporaryDirectory()
        cls.addClassCleanup(folder.cleanup)
        # A certificate of an authority that no store holds.
        stranger = testca.make(folder.name)
        cls.untrusted = standin_service.StandInService(catalog=standin_service.CATALOG,
                                                       tls=stranger.self_signed).start()
        cls.addClassCleanup(cls.untrusted.stop)
        cls.news = e2e.NewsSession(
            registry=[(e2e.SETTINGS_KEY, "PreferredChannel", "REG_DWORD", "4294967295")],
            documents=[("/pages/about.html", "<html><head><title>About</title></head><body>Not a feed</body></html>")],
            faults=[("/feeds/stalled.xml", "stall")])
        cls.addClassCleanup(cls.news.close)
        news = cls.news
        cls.feeds = [news.service.url("/feeds/gone.xml"), news.service.url("/pages/about.html"),
                     cls.untrusted.url("/feeds/news-1.xml"), news.service.url("/feeds/old.xml"),
                     news.service.url("/feeds/stalled.xml")]
        news.service.redirect("/feeds/old.xml", "/feeds/news-1.xml")
        # The user's own feeds, as the settings dialog would have stored them; the popup reads
        # them at start, so it starts again.
        for number, feed in enumerate(cls.feeds, 1):
            news.desktop.wine.wine("reg", "add", e2e.SETTINGS_KEY, "/v", "Feed%d" % number, "/t", "REG_SZ",
                                   "/d", feed, "/f")
        news.driver.post(news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_EXIT, 0)
        news.desktop.running.wait(timeout=60)
        news.popup = news.desktop.start_running_copy().handle

    def health(self):
        """The dialog's feed list and health list, read from its own controls, then closed."""
        driver = self.news.driver
        driver.post(self.news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_SETTINGS)
        dialog = winetest.wait_for(lambda: driver.find(e2e.SETTINGS_CAPTION), timeout=e2e.WAIT)
        self.assertTrue(dialog, "no settings dialog")
        children = lambda: {c.id: c.handle for c in driver.children(dialog)}
        controls = winetest.wait_for(lambda: FEED_HEALTH in children() and children(), timeout=e2e.WAIT)
        self.assertTrue(controls, "the dialog has no health list")
        winetest.wait_for(lambda: len(driver.list_items(controls[FEED_HEALTH])) == len(self.feeds), timeout=e2e.WAIT)
        feeds, health = driver.list_items(controls[FEED_LIST]), driver.list_items(controls[FEED_HEALTH])
        driver.post(dialog, e2e.WM_COMMAND, IDCANCEL)
        self.assertTrue(winetest.wait_for(lambda: not driver.find(e2e.SETTINGS_CAPTION), timeout=e2e.WAIT))
        self.assertEqual(feeds, self.feeds)
        return health

    def wait_health(self, index, timeout=e2e.WAIT):
        """The health lines once the one of feed `index` is no longer "not loaded yet"."""
        lines = [[NOT_LOADED] * len(self.feeds)]

        def loaded():
            lines[0] = self.health()
            return lines[0][index] != NOT_LOADED

        winetest.wait_for(loaded, timeout=timeout, interval=1)
        return lines[0]

    def next_feed(self):
        self.news.click_link_bar(e2e.FEED_X)

    def test_each_failure_is_said_beside_its_feed_and_three_in_a_row_in_the_status_line(self):
        news = self.news
        health = self.wait_health(0, timeout=60)
        self.assertRegex(health[0], "^not found \\(404\\), %s$" % TIME)
        self.assertEqual(health[1:], [NOT_LOADED] * (len(self.feeds) - 1), "the feeds not loaded yet")
        news.refresh("gone.xml")
        self.assertNotIn("failed", news.status(), "two failures are not yet told")
        news.refresh("gone.xml")
        self.assertRegex(news.status(), "^This feed failed 3 loads in a row: not found \\(404\\), %s$" % TIME)

        window = news.driver.create("Copying...", (200, 150, 560, 200))
        self.assertTrue(news.desktop.wait_docked(window)[0], "the popup did not dock")
        self.next_feed()
        self.assertRegex(self.wait_health(1)[1], "^not a feed, %s$" % TIME)
        self.next_feed()
        self.assertRegex(self.wait_health(2, timeout=60)[2], "^certificate not trusted, %s$" % TIME)
        self.next_feed()
        self.assertRegex(self.wait_health(3, timeout=60)[3], "^4 items, %s, moved to %s$"
                         % (TIME, re.escape(news.feed_url("news-1.xml"))))
        self.next_feed()
        # A download that makes no progress is given up after 30 s.
        health = self.wait_health(4, timeout=150)
        self.assertRegex(health[4], "^no answer, %s$" % TIME)
        self.assertRegex(health[0], "^not found \\(404\\)", "the first feed's line stays")

        # The channel menu's tooltip lists the channel's feeds the same way.
        icon = news.driver.info(news.desktop.control(news.popup, MENU_ICON)).rect
        news.desktop.xdotool("mousemove", icon.centre()[0], icon.centre()[1])
        tip = winetest.wait_for(lambda: [t for t in news.driver.tooltips() if t.startswith("Channel menu")],
                                timeout=e2e.WAIT)
        self.assertTrue(tip, "no tooltip over the menu icon")
        lines = tip[0].replace("\r", "").split("\n")
        self.assertEqual(lines[0], "Channel menu")
        self.assertEqual([line.split(": ", 1)[0] for line in lines[1:]], self.feeds)
        self.assertEqual([line.split(": ", 1)[1] for line in lines[1:]], health)


if __name__ == "__main__":
    unittest.main()
