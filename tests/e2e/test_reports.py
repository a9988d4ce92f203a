"""The view and click reports as the service receives them: a link from a feed adds nothing to the
request (a line break, a blank or a "#" in it is sent encoded, and decodes to what the feed gave),
and reports the service turned away with a 503 come again, in order, each stored once.

One Lullcast runs for the whole class; the tests build on each other in the order of their names.
"""
import urllib.parse
import unittest
from xml.sax.saxutils import escape

import lullcast_e2e as e2e
import winetest

FEED = "/feeds/news-1.xml"
# The link of the newest item: a blank, a line break that would start a header of its own, a "#".
LINK_PATH = "/articles/story one\r\nX-Forwarded-For: 203.0.113.9#part"
TITLE = "Link with a line break"


def feed_with_link(catalog_feed, link):
    """The catalog's feed with a newer item whose link holds the line break as character references,
    which the XML parser gives back as they stand."""
    reference = escape(link).replace("\r", "&#13;").replace("\n", "&#10;")
    item = ("<item><title>%s</title><link>%s</link><description>Click through.</description>"
            "<pubDate>Thu, 10 Dec 2026 09:00:00 GMT</pubDate></item>" % (TITLE, reference))
    return catalog_feed.replace("</channel>", item + "</channel>")


class ReportsTest(e2e.NewsCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.desktop.open_links_with_recorder()
        cls.link = cls.service.url(LINK_PATH)
        cls.service.put(FEED, feed_with_link(cls.news.catalog_feed("news-1.xml"), cls.link))
        cls.place = 0

    def setUp(self):
        self.assertIsNone(self.news.desktop.running.poll(), "Lullcast is no longer running")

    def dock(self):
        ReportsTest.place += 1
        window = self.driver.create("Copying...", (150 + 20 * self.place, 120, 520, 180))
        ok, seen = self.news.desktop.wait_docked(window)
        self.assertTrue(ok, "the popup did not come below the window: " + seen)

    def report_requests(self):
        return [r for r in self.service.responses() if urllib.parse.urlsplit(r.path).path == "/clicks.php"]

    def test_1_a_line_break_in_a_link_stays_inside_the_click_report(self):
        news = self.news
        self.assertEqual(news.wait_title(TITLE, timeout=40), TITLE, "the feed with the link did not load")
        self.dock()
        news.click_item()
        ok, seen = news.desktop.wait_popup_hidden()
        self.assertTrue(ok, "the popup did not hide on the click: " + seen)
        self.assertTrue(winetest.wait_for(news.clicks, timeout=e2e.WAIT), "no click report arrived")
        news.idle()
        requests = self.report_requests()
        self.assertEqual(len(requests), 1, "one click, one request: %s" % [r.path for r in requests])
        for response in self.service.responses():
            self.assertIsNone(response.headers.get("X-Forwarded-For"), "a header came from the link: %s" % response.path)
        self.assertEqual(requests[0].status, 200)
        [click] = [r for r in self.service.reports() if r["action"] == "browse"]
        self.assertEqual(click["feed"], news.feed_url("news-1.xml"))
        self.assertEqual(urllib.parse.unquote(click["url"]), self.link, "the link, decoded, is the feed's")
        for byte in " \r\n#":
            self.assertNotIn(byte, click["query"])
        # The browser got the same link, encoded its own way.
        self.assertEqual([urllib.parse.unquote(args[0]) for args in news.desktop.opened_links()], [self.link])

    def test_2_reports_turned_away_come_again_in_order(self):
        news = self.news
        # From now on each report's first two tries get a 503 asking to come back in a second.
        self.service.fault("/clicks.php", "503-twice", retry_after=1)
        stored = len(self.service.reports())
        asked = len(self.report_requests())
        self.dock()
        news.click_link_bar(e2e.FEED_X)  # the second feed
        news.click_link_bar(e2e.FEED_X)  # back to the first: its newest item
        self.assertEqual(news.shown_title(), TITLE)
        # The popup goes on answering while its reports wait: it hides on the click at once.
        news.click_item()
        ok, seen = news.desktop.wait_popup_hidden(timeout=5)
        self.assertTrue(ok, "the popup did not hide on the click: " + seen)
        expected = [("view", news.feed_url("news-2.xml"), None), ("view", news.feed_url("news-1.xml"), None),
                    ("browse", news.feed_url("news-1.xml"), self.link)]

        def arrived():
            return [(r["action"], r["feed"], r["url"] and urllib.parse.unquote(r["url"]))
                    for r in self.service.reports()[stored:]]

        winetest.wait_for(lambda: len(arrived()) >= len(expected), timeout=90)
        news.idle(quiet=3)  # long enough for a try again to show up
        self.assertEqual(arrived(), expected, "each report once, in the order they were made")
        tries = {}
        for response in self.report_requests()[asked:]:
            tries.setdefault(response.path, []).append(response.status)
        self.assertEqual(list(tries.values()), [[503, 503, 200]] * 3,
                         "each report tried until it was taken, and no more: %s" % tries)
        self.service.fault("/clicks.php", None)


if __name__ == "__main__":
    unittest.main()
