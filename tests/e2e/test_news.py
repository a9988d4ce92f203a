"""News in the popup, against the reference service (tests/support/standin_service.py) on 127.0.0.1: the first
refresh and its balloon, the link bar's words, the click-through and the view and click reports.

One Lullcast runs for the whole class and the tests build on each other in the order of their
names, as a user's session would: first refresh, docking, stepping through the items, then
clicking them. The link bar and the item view are clicked with real mouse input.
"""
import re
import time
import unittest
from xml.sax.saxutils import escape

import lullcast_e2e as e2e
import winetest

NEWEST = "Market square reopens after repairs"
NEWEST_TEXT = "The cobblestones are back and the Saturday market returns this week."
OLDER = ["Storm warning for the coast tonight", "New lighthouse keeper appointed", "Ferry timetable changes from Monday"]
PREVIOUS_X, NEXT_X, FEED_X = e2e.PREVIOUS_X, e2e.NEXT_X, e2e.FEED_X


def feed_item(title, link, description, date):
    return ("<item><title>%s</title><link>%s</link><description>%s</description><pubDate>%s</pubDate></item>"
            % (escape(title), escape(link), escape(description), date))


class NewsTest(e2e.NewsCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.desktop.open_links_with_recorder()

    def setUp(self):
        self.assertIsNone(self.news.desktop.running.poll(), "Lullcast is no longer running")

    def dock(self, rect=(200, 150, 560, 200)):
        window = self.driver.create("Copying...", rect)
        ok, seen = self.news.desktop.wait_docked(window)
        self.assertTrue(ok, "the popup did not come below a copy window: " + seen)
        return window

    def test_1_first_refresh_fills_the_hidden_popup_and_announces_the_newest_item(self):
        news = self.news
        self.assertEqual(news.service.count("/preset_feeds.xml"), 1, "the preset list is read once at start")
        self.assertTrue(news.desktop.popup_hidden()[0])
        self.assertIsNotNone(winetest.wait_for(news.shown_title, timeout=40), "no item after the first refresh")
        elapsed = time.monotonic() - news.started
        self.assertTrue(7 <= elapsed <= 25, "first item after %.1f s; expected about 10 s" % elapsed)
        self.assertEqual(news.item_lines(), [NEWEST, NEWEST_TEXT])
        self.assertEqual(news.status(), "Harbour Evening Post")
        balloon = winetest.wait_for(lambda: [t for t in self.driver.tooltips() if "cobblestones" in t], timeout=10)
        self.assertEqual(balloon, [NEWEST_TEXT], "the balloon shows the item's description")
        self.assertEqual(news.service.reports(), [], "the timer's refresh reports no view")

    def test_2_docking_fetches_the_sponsor_picture_and_reports_nothing(self):
        news = self.news
        pictures = news.service.count("/60x39.jpg")
        self.dock()
        # The picture is asked for once the popup stands below the window.
        self.assertTrue(winetest.wait_for(lambda: news.service.count("/60x39.jpg") > pictures, timeout=e2e.WAIT),
                        "no picture was asked for")
        self.assertGreater(winetest.wait_for(lambda: news.sponsor_colours() > 20 and news.sponsor_colours(),
                                             timeout=5) or 0, 20, "no picture in the sponsor area")
        self.assertEqual(news.views(), [], "docking reports no view")

    def test_3_previous_and_next_step_through_the_items_and_report_each_step(self):
        news, feed = self.news, self.news.feed_url("news-1.xml")
        news.click_link_bar(PREVIOUS_X)
        self.assertEqual((news.shown_title(), news.views()), (NEWEST, []), "Previous on the newest item")
        for steps, title in enumerate(OLDER, 1):
            news.click_link_bar(NEXT_X)
            self.assertEqual(news.shown_title(), title)
            self.assertEqual(news.views(), [feed] * steps)
        news.click_link_bar(NEXT_X)
        self.assertEqual((news.shown_title(), len(news.views())), (OLDER[-1], 3), "Next on the oldest item")
        news.click_link_bar(0)
        self.assertEqual((news.shown_title(), len(news.views())), (OLDER[1], 4))

        # A refresh that finds the same newest item leaves the older one on display, unreported.
        news.refresh()
        self.assertEqual((news.shown_title(), len(news.views())), (OLDER[1], 4))

    def test_4_feed_steps_to_the_next_feed_and_wraps_to_the_first(self):
        news = self.news
        news.click_link_bar(FEED_X)
        # The second feed is RSS 1.0, whose items' titles overwrite the channel's as it is read.
        self.assertEqual(news.status(), "Fischmarkt öffnet früher")
        self.assertEqual(news.item_lines(), ["Fischmarkt öffnet früher", "Ab Januar beginnt der Markt schon um fünf Uhr."])
        self.assertEqual(news.views()[-1], news.feed_url("news-2.xml"))
        news.click_link_bar(e2e.link_bar_spans()[0]["Feed"][1] - 2)  # the word's last pixels
        self.assertEqual((news.status(), news.shown_title()), ("Harbour Evening Post", NEWEST))
        self.assertEqual(news.views()[-1], news.feed_url("news-1.xml"))
        self.assertEqual(len(news.views()), 6)

    def test_5_an_item_gone_from_the_feed(self):
        news = self.news
        news.click_link_bar(NEXT_X)
        self.assertEqual(news.shown_title(), OLDER[0])
        without = re.sub(r"<item>\s*<title>Storm warning.*?</item>", "", news.catalog_feed("news-1.xml"), flags=re.S)
        news.service.put("/feeds/news-1.xml", without)
        news.refresh()
        self.assertEqual(news.shown_title(), OLDER[0], "the shown item stays on display")
        views = len(news.views())
        news.click_link_bar(PREVIOUS_X)
        self.assertEqual((news.shown_title(), len(news.views())), (OLDER[0], views), "Previous from a gone item")
        news.click_link_bar(NEXT_X)
        self.assertEqual((news.shown_title(), len(news.views())), (NEWEST, views + 1), "Next from a gone item")

    def test_6_a_new_item_while_the_popup_shows_comes_without_a_balloon(self):
        news = self.news
        winetest.wait_for(lambda: not self.driver.tooltips(), timeout=20)  # the first balloon has gone
        newer = feed_item("Harbour festival announced", news.service.url("/articles/festival.html"),
                          "Music and boats all weekend.", "Wed, 09 Dec 2026 09:00:00 GMT")
        news.service.put("/feeds/news-1.xml", news.catalog_feed("news-1.xml").replace("</channel>", newer + "</channel>"))
        news.refresh()
        self.assertEqual(news.shown_title(), "Harbour festival announced")
        time.sleep(3)  # the shell shows a balloon about 2 s after it is asked for
        self.assertFalse([t for t in self.driver.tooltips() if "Music and boats" in t], "a balloon while shown")

    def test_7_a_click_opens_the_link_encoded_and_reports_it_as_given(self):
        news = self.news
        link = news.service.url('/articles/a?x=1&y=2 "quoted" --flag')
        item = feed_item("Click me", link, "A link with blanks and quotes.", "Thu, 10 Dec 2026 09:00:00 GMT")
        news.service.put("/feeds/news-1.xml", news.catalog_feed("news-1.xml").replace("</channel>", item + "</channel>"))
        news.refresh()
        self.assertEqual(news.shown_title(), "Click me")
        news.click_item()
        ok, seen = news.desktop.wait_popup_hidden()
        self.assertTrue(ok, "the popup did not hide on the click: " + seen)
        opened = winetest.wait_for(news.desktop.opened_links, timeout=e2e.WAIT)
        self.assertEqual(opened, [[news.service.url("/articles/a?x=1&y=2%20%22quoted%22%20--flag")]],
                         "the browser gets the link as one argument")
        # The report carries the link unescaped, its "?", "&" and quotes included; only its blanks,
        # which an HTTP request line cannot hold, are encoded on the way by the system's HTTP client.
        clicks = winetest.wait_for(news.clicks, timeout=e2e.WAIT)
        self.assertEqual(clicks, [(news.feed_url("news-1.xml"), link.replace(" ", "%20"))])

    def test_8_a_link_that_is_no_web_address_is_not_opened(self):
        news = self.news
        self.driver.destroy_all()
        self.dock((300, 200, 520, 180))
        for number, link in enumerate(["file:///C:/windows/notepad.exe", "C:\\windows\\notepad.exe", "  "]):
            with self.subTest(link=link):
                item = feed_item("Unsafe %d" % number, link, "Not a web page.", "Fri, 1%d Dec 2026 09:00:00 GMT" % number)
                news.service.put("/feeds/news-1.xml",
                                 news.catalog_feed("news-1.xml").replace("</channel>", item + "</channel>"))
                news.refresh()
                self.assertEqual(news.shown_title(), "Unsafe %d" % number)
                news.click_item()
                ok, seen = e2e.holds(news.desktop.popup_on_screen, e2e.GRACE)
                self.assertTrue(ok, "the popup hid on a click on no link: " + seen)
                self.assertEqual(len(news.desktop.opened_links()), 1)
                self.assertEqual(len(news.clicks()), 1)

    def test_9_the_no_feeds_page_links_to_the_service(self):
        news = self.news
        news.service.fault("/feeds/news-1.xml", "404")
        news.refresh()
        self.assertEqual(news.item_lines(), ["No feeds have been found in this channel",
                                             "Go to 127.0.0.1 to learn how to add feeds"])
        self.assertEqual(news.status(), "Harbour Evening Post", "a failed load keeps the channel title")
        # With no items, both words only beep.
        views = len(news.views())
        for x in (PREVIOUS_X, NEXT_X):
            news.click_link_bar(x)
            self.assertEqual((news.shown_title(), len(news.views())), ("No feeds have been found in this channel", views))
        news.click_item()
        ok, seen = news.desktop.wait_popup_hidden()
        self.assertTrue(ok, "the popup did not hide on the click: " + seen)
        self.assertEqual(winetest.wait_for(lambda: news.desktop.opened_links()[1:], timeout=e2e.WAIT),
                         [[news.service.address]])
        self.assertEqual(winetest.wait_for(lambda: news.clicks()[1:], timeout=e2e.WAIT),
                         [(news.feed_url("news-1.xml"), news.service.address)])

        # View shows the popup where it was, no longer topmost, with a fresh picture and a refresh,
        # and reports a view. The feed is back, but its newest item is the one last put on
        # display, so the no-feeds page stays.
        news.service.fault("/feeds/news-1.xml", None)
        pictures, loads, views = news.service.count("/60x39.jpg"), news.service.count("/feeds/news-1.xml"), len(news.views())
        before = self.driver.popup().rect
        self.driver.post(news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)
        ok, seen = news.desktop.wait_popup_on_screen()
        self.assertTrue(ok, "View did not show the popup: " + seen)
        self.assertTrue(winetest.wait_for(lambda: news.service.count("/feeds/news-1.xml") > loads, timeout=e2e.WAIT))
        news.idle()
        self.assertEqual(news.shown_title(), "No feeds have been found in this channel")
        popup = self.driver.popup()
        self.assertEqual((popup.rect, popup.topmost), (before, False))
        self.assertEqual(news.service.count("/60x39.jpg"), pictures + 1)
        self.assertEqual(winetest.wait_for(lambda: news.views()[views:], timeout=e2e.WAIT),
                         [news.feed_url("news-1.xml")])

class OneFeedChannelTest(unittest.TestCase):
    """The Sports channel has one feed: the word Feed reloads it."""

    def test_feed_reloads_the_only_feed(self):
        news = e2e.NewsSession(registry=[(e2e.SETTINGS_KEY, "PreferredChannel", "REG_DWORD", 1)])
        self.addCleanup(news.close)
        self.assertIsNotNone(winetest.wait_for(news.shown_title, timeout=40), "no item after the first refresh")
        self.assertEqual(news.item_lines(), ["Le club de rugby recrute", "Entraînements ouverts le mercredi soir."])
        self.assertEqual(news.status(), "Le Sport du Port")
        window = news.driver.create("Printing", (150, 120, 500, 160))
        self.assertTrue(news.desktop.wait_docked(window)[0])
        news.click_link_bar(NEXT_X)
        self.assertEqual(news.shown_title(), "Régate d'hiver : victoire surprise")
        loads = news.service.count("/feeds/sports-1.xml")
        news.click_link_bar(FEED_X)
        self.assertEqual(news.service.count("/feeds/sports-1.xml"), loads + 1)
        # The reloaded feed's newest item is the remembered newest: the older item stays.
        self.assertEqual(news.shown_title(), "Régate d'hiver : victoire surprise")
        self.assertEqual(news.views(), [news.feed_url("sports-1.xml")] * 2)


if __name__ == "__main__":
    unittest.main()
