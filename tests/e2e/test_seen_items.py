"""The newest item already shown is remembered across starts: a restart with the same feed brings
no second balloon for it, and a new item after a restart brings one. Lullcast is ended by its own
Exit command and started again on the same desktop, with the same registry."""

import lullcast_e2e as e2e
import winetest
from test_news import NEWEST, NEWEST_TEXT, feed_item


class SeenItemsTest(e2e.NewsCase):
    def balloons(self, words):
        return [t for t in self.driver.tooltips() if words in t]

    def restart(self):
        news = self.news
        news.driver.post(news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_EXIT, 0)
        self.assertEqual(news.desktop.running.wait(timeout=60), 0, "exit code of the first copy")
        # The balloon goes with the tray icon; wait for that so that a balloon seen later is new.
        self.assertTrue(winetest.wait_for(lambda: not self.driver.tooltips(), timeout=30), "a balloon stayed")
        news.popup = news.desktop.start_running_copy().handle

    def test_a_restart_announces_only_what_the_user_was_not_shown(self):
        news = self.news
        self.assertTrue(winetest.wait_for(lambda: self.balloons("cobblestones"), timeout=60),
                        "no balloon at the first start")
        seen = {name: value for name, (_, value) in news.desktop.registry(e2e.SEEN_KEY).items()}
        self.assertEqual((seen.get("Feed1"), seen.get("Title1")), (news.feed_url("news-1.xml"), NEWEST))

        self.restart()
        self.assertTrue(winetest.wait_for(lambda: news.shown_title() == NEWEST, timeout=60),
                        "no item after the restart")
        ok, _ = e2e.holds(lambda: (not self.balloons("cobblestones"), ""), 4)  # a balloon comes ~2 s after the call
        self.assertTrue(ok, "the item shown before the restart was announced again")

        newer = feed_item("Harbour festival announced", news.service.url("/articles/festival.html"),
                          "Music and boats all weekend.", "Wed, 09 Dec 2026 09:00:00 GMT")
        news.service.put("/feeds/news-1.xml", news.catalog_feed("news-1.xml").replace("</channel>", newer + "</channel>"))
        self.restart()
        self.assertEqual(winetest.wait_for(lambda: self.balloons("Music and boats"), timeout=60),
                         ["Music and boats all weekend."], "a new item after a restart is announced")
        self.assertFalse(self.balloons(NEWEST_TEXT))


