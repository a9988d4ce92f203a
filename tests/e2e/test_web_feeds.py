"""Feeds as the web serves them, against the reference service: polite polling (a feed read
before is asked for only if it changed, and a "304 Not Modified" keeps what is shown without a
body; a 503 with Retry-After holds the feed back), a compressed answer, and https: an https
service, feeds over https, a redirect from http to https, and certificates that are expired, for
another host or not trusted at all, which fail like any failed request.

The test certificate authority is made and trusted by the test run's fixture (tests/support/testca.py),
in the folder named by LULLCAST_TEST_CA, and taken out of the host's store after the run.
"""
import os
import time
import unittest

import lullcast_e2e as e2e
import standin_service
import testca
import winetest

FEED = "/feeds/news-1.xml"
NEWEST = "Market square reopens after repairs"
OLDER = "Storm warning for the coast tonight"
NO_FEEDS = "No feeds have been found in this channel"


class PolitePollingTest(e2e.NewsCase):
    """One Lullcast for the class; the tests build on each other in the order of their names."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.news.refresh()

    def feed_requests(self):
        return [r for r in self.service.responses() if r.path == FEED]

    def balloons(self):
        return [t for t in self.driver.tooltips() if "cobblestones" in t]

    def refresh(self):
        before = len(self.feed_requests())
        self.driver.post(self.news.popup, e2e.WM_TIMER, 1, 0)
        self.assertTrue(winetest.wait_for(lambda: len(self.feed_requests()) > before, timeout=e2e.WAIT),
                        "the refresh did not ask for the feed")
        self.news.idle()
        return self.feed_requests()[-1]

    def test_1_a_feed_not_modified_keeps_the_shown_item(self):
        self.assertEqual(self.news.shown_title(), NEWEST)
        self.driver.post(self.news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)
        self.assertTrue(self.news.desktop.wait_popup_on_screen()[0])
        self.news.idle()
        self.news.click_link_bar(e2e.NEXT_X)
        self.assertEqual(self.news.shown_title(), OLDER)
        answer = self.refresh()
        self.assertEqual(answer.status, 304, "the server was not asked whether the feed changed")
        self.assertTrue(answer.headers.get("If-None-Match"), "no validator sent back")
        self.assertEqual(self.news.shown_title(), OLDER, "a feed not modified changed what is shown")
        self.assertEqual(self.news.status(), "Harbour Evening Post")
        # Hidden, a feed not modified announces nothing (once the first refresh's balloon is gone).
        self.driver.post(self.news.popup, e2e.WM_CLOSE)
        self.assertTrue(self.news.desktop.wait_popup_hidden()[0])
        self.assertTrue(winetest.wait_for(lambda: not self.balloons(), timeout=30), "the first balloon stays")
        self.assertEqual(self.refresh().status, 304)
        time.sleep(3)
        self.assertEqual(self.balloons(), [], "a balloon came")

    def test_2_a_changed_feed_is_read_again(self):
        changed = self.news.catalog_feed("news-1.xml").replace(NEWEST, "Harbour bridge opens")
        self.service.put(FEED, changed)
        self.assertEqual(self.refresh().status, 200)
        self.assertEqual(self.news.shown_title(), "Harbour bridge opens")
        self.assertEqual(self.refresh().status, 304, "the new validators are not the ones sent back")

    def test_3_a_busy_server_is_left_alone_for_as_long_as_it_asks(self):
        shown = self.news.shown_title()
        self.service.fault(FEED, "503", retry_after=120)
        self.assertEqual(self.refresh().status, 503)
        self.assertEqual(self.news.shown_title(), shown, "the refresh does not show what it has")
        self.service.fault(FEED, None)
        before = len(self.feed_requests())
        self.driver.post(self.news.popup, e2e.WM_TIMER, 1, 0)
        self.news.idle()
        self.assertEqual(len(self.feed_requests()), before, "the feed was asked for again before its time")
        self.assertEqual(self.news.shown_title(), shown)

    def test_4_a_compressed_feed(self):
        self.service.fault("/feeds/news-2.xml", "gzip")
        self.driver.post(self.news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)
        self.assertTrue(self.news.desktop.wait_popup_on_screen()[0])
        self.news.idle()
        self.news.click_link_bar(e2e.FEED_X)
        self.assertEqual(self.news.wait_title("Fischmarkt öffnet früher"), "Fischmarkt öffnet früher")
        answers = [r for r in self.service.responses() if r.path == "/feeds/news-2.xml"]
        self.assertIn("gzip", answers[-1].headers.get("Accept-Encoding", ""))


class HttpsTest(unittest.TestCase):
    """Lullcast with an https service whose preset list names feeds behind a redirect from http,
    behind certificates that are expired, for another host and self-signed, and the service's own."""

    @classmethod
    def setUpClass(cls):
        folder = os.environ.get("LULLCAST_TEST_CA")
        if not folder:
            raise unittest.SkipTest("no test certificate authority (LULLCAST_TEST_CA)")
        ca = testca.load(folder)
        def serve(**options):
            server = standin_service.StandInService(catalog=standin_service.CATALOG, **options).start()
            cls.addClassCleanup(server.stop)
            return server
        cls.plain = serve()
        cls.bad = [serve(tls=ca.expired), serve(tls=ca.other_host), serve(tls=ca.self_signed)]
        preset = "[News]\n%s\n%s\n%s\n%s\n{{service}}/feeds/news-2.xml\n\n" % (
            cls.plain.url("/moved.xml"), *(server.url(FEED) for server in cls.bad))
        cls.news = e2e.NewsSession(tls=ca.localhost, documents=[("/preset_feeds.xml", preset)])
        cls.addClassCleanup(cls.news.close)
        cls.plain.redirect("/moved.xml", cls.news.feed_url("news-1.xml"))
        cls.news.desktop.open_links_with_recorder()

    def test_the_service_and_feeds_over_https(self):
        news = self.news
        self.assertTrue(news.service.address.startswith("https://localhost:"))
        # The preset list is asked for in the background once the popup exists.
        winetest.wait_for(lambda: news.service.count("/preset_feeds.xml"), timeout=e2e.WAIT)
        self.assertEqual(news.service.count("/preset_feeds.xml"), 1)
        # The first feed: asked for over http, moved to https.
        news.refresh()
        self.assertEqual(news.shown_title(), NEWEST)
        self.assertEqual(self.plain.statuses("/moved.xml"), [301])
        # The feeds behind certificates not to be trusted give the no-feeds page, as any failed load.
        window = news.driver.create("Copying...", (200, 150, 560, 200))
        self.assertTrue(news.desktop.wait_docked(window)[0])
        self.assertTrue(winetest.wait_for(lambda: news.service.count("/60x39.jpg") >= 1, timeout=e2e.WAIT),
                        "no picture asked for over https")
        for server in self.bad:
            news.click_link_bar(e2e.FEED_X)
            self.assertEqual(news.wait_title(NO_FEEDS), NO_FEEDS, "a feed behind %s loaded" % server.address)
            self.assertEqual([r.status for r in server.responses() if r.status], [], "a request got through")
        news.click_link_bar(e2e.FEED_X)
        self.assertEqual(news.wait_title("Fischmarkt öffnet früher"), "Fischmarkt öffnet früher")
        # The reports go to the https service.
        self.assertEqual(news.views()[-1], news.feed_url("news-2.xml"))
        # The no-feeds page links to the https service's home.
        news.service.fault("/feeds/news-2.xml", "404")
        news.refresh("news-2.xml")
        self.assertEqual(news.shown_title(), NO_FEEDS)
        news.click_item()
        self.assertEqual(winetest.wait_for(news.desktop.opened_links, timeout=e2e.WAIT), [[news.service.address]])


if __name__ == "__main__":
    unittest.main()
