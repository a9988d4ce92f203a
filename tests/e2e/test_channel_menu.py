"""The channel menu of the popup's menu icon, worked with real clicks and keys against the reference
service: where it drops, what each choice stores, loads and reports, and its way into the settings
dialog, whose OK rebuilds the feed list.

The menu's items are told apart by what choosing them does: the first selectable item is reached
with one Down, the next with two, and so on, separators skipped.
"""
import time
import unittest

import lullcast_e2e as e2e

MENU_ICON = 1013
IDOK, IDCANCEL = 1, 2
FEED_LIST, ENTERTAINMENT, HEALTH = 1007, 1016, 1019
BM_GETCHECK = 0x00F0
MY_FEEDS = "0xffffffff"
PRESET = "/preset_feeds.xml"


class ChannelMenuTest(e2e.NewsCase):
    @classmethod
    def news_options(cls):
        # Entertainment (2) and Health (5) are offered; the chosen channel is absent, so News (0),
        # whose bit is clear.
        return {"registry": [(e2e.SETTINGS_KEY, "Channels", "REG_DWORD", "0x24")]}

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.popup = cls.news.popup
        cls.driver.post(cls.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)
        ok, seen = cls.desktop.wait_popup_on_screen()
        if not ok:
            raise AssertionError("View did not show the popup: " + seen)
        cls.news.idle()

    def open_menu(self):
        rect = self.driver.info(self.desktop.control(self.popup, MENU_ICON)).rect
        self.desktop.click(*rect.centre())
        menu = e2e.winetest.wait_for(self.driver.menu, timeout=e2e.WAIT)
        self.assertIsNotNone(menu, "a click on the menu icon opened no menu")
        self.assertEqual((menu.left, menu.top), (rect.left, rect.bottom), "the menu hangs from the icon's corner")

    def choose(self, downs):
        """Opens the menu and picks the item `downs` Down presses away (0: dismisses it with Esc);
        waits until the popup has done what the choice asks."""
        self.open_menu()
        for key in ["Down"] * downs + ["Return"] if downs else ["Escape"]:
            self.desktop.key(key)
            time.sleep(0.1)
        self.assertTrue(e2e.winetest.wait_for(lambda: self.driver.menu() is None, timeout=e2e.WAIT),
                        "the menu stayed open")
        self.news.idle()

    def stored_channel(self, expected):
        """The stored chosen channel once it reads `expected`, or as it is after a while."""
        value = lambda: self.desktop.settings().get("PreferredChannel", (None, None))[1]
        e2e.winetest.wait_for(lambda: value() == expected, timeout=e2e.WAIT)
        return value()

    def assertChoice(self, downs, stored, feed, reloaded=True):
        """Choosing stores the channel; a channel's choice fetches the preset list again, loads the
        channel's first feed and reports its view."""
        presets, views = self.news.service.count(PRESET), self.news.views()
        loads = self.news.service.count("/feeds/" + feed) if feed else 0
        self.choose(downs)
        self.assertEqual(self.stored_channel(stored), stored)
        self.assertEqual(self.news.service.count(PRESET) - presets, 1 if reloaded else 0, "preset list requests")
        if feed:
            self.assertEqual(self.news.service.count("/feeds/" + feed) - loads, 1, "loads of " + feed)
            self.assertEqual(self.news.views(), views + [self.news.feed_url(feed)], "the view report")
        else:
            self.assertEqual(self.news.views(), views, "a view was reported without a feed")

    def open_settings_from_menu(self, downs):
        self.choose(downs)
        dialog = e2e.winetest.wait_for(lambda: self.driver.find(e2e.SETTINGS_CAPTION), timeout=e2e.WAIT)
        self.assertTrue(dialog, "Lullcast Settings opened no dialog")
        # The window is found as soon as it exists: wait until it is set up and shown.
        ready = lambda: self.driver.info(dialog).visible and self.driver.text(dialog, 1000) != ""
        self.assertTrue(e2e.winetest.wait_for(ready, timeout=e2e.WAIT), "the dialog was not set up")
        return {child.id: child.handle for child in self.driver.children(dialog)}

    def close_dialog(self, controls, button):
        self.desktop.click(*self.driver.info(controls[button]).rect.centre())
        self.assertTrue(e2e.winetest.wait_for(lambda: not self.driver.find(e2e.SETTINGS_CAPTION),
                                              timeout=e2e.WAIT), "the dialog stayed open")
        self.news.idle()

    def test_choices_and_the_way_into_settings(self):
        self.assertNotIn("PreferredChannel", self.desktop.settings())
        self.assertChoice(0, "0x0", None, reloaded=False)  # dismissed: stored all the same
        self.assertChoice(1, "0x2", "entertainment-1.xml")
        self.assertChoice(1, "0x2", "entertainment-1.xml")  # the chosen channel again: reloaded all the same
        self.assertChoice(2, "0x5", "health-1.xml")
        self.assertChoice(3, MY_FEEDS, None, reloaded=False)  # after a separator; no own feeds yet

        # Lullcast Settings stores the chosen channel before the dialog opens.
        self.desktop.wine.wine("reg", "delete", e2e.SETTINGS_KEY, "/v", "PreferredChannel", "/f")
        self.assertNotIn("PreferredChannel", self.desktop.settings())
        controls = self.open_settings_from_menu(4)
        self.assertEqual(self.stored_channel(MY_FEEDS), MY_FEEDS)
        self.assertEqual(self.driver.count(e2e.SETTINGS_CAPTION), (1, 1))

        # No channel left, and a feed of the user's own, dragged in: after OK the next refresh loads it.
        for box in (ENTERTAINMENT, HEALTH):
            self.desktop.click(*self.driver.info(controls[box]).rect.centre())
        self.assertTrue(e2e.winetest.wait_for(
            lambda: not any(self.driver.send(controls[box], BM_GETCHECK) for box in (ENTERTAINMENT, HEALTH)),
            timeout=5))
        source = self.driver.create("Links", (20, 20, 240, 100))
        own = self.news.feed_url("travel-1.xml")
        target = self.driver.info(controls[FEED_LIST]).rect.centre()
        self.assertEqual(self.desktop.drag_text(self.driver.info(source).rect.centre(), target, own)[1], 1)
        presets = self.news.service.count(PRESET)
        self.close_dialog(controls, IDOK)
        stored = self.desktop.settings()
        self.assertEqual((int(stored["Channels"][1], 16) & 0xFF, stored["Feed1"]), (0, ("REG_SZ", own)))
        self.assertEqual(self.news.service.count(PRESET), presets, "My Feeds needs no preset list")
        self.news.refresh("travel-1.xml")

        # The menu now holds My Feeds and Lullcast Settings alone; My Feeds loads the own feed.
        self.assertChoice(1, MY_FEEDS, "travel-1.xml", reloaded=False)
        controls = self.open_settings_from_menu(2)
        self.close_dialog(controls, IDCANCEL)
        self.assertIsNone(self.desktop.running.poll(), "Lullcast ended")


if __name__ == "__main__":
    unittest.main()
