"""Mute words: items about them are neither shown, stepped to nor announced. The words come from the
registry at start (as the settings dialog stores them) and from the dialog's "Hide items about" box
while Lullcast runs; a feed whose items are all hidden shows a page saying so."""
import unittest

import lullcast_e2e as e2e
import winetest
from test_news import NEWEST, OLDER

IDOK = 1
MUTE_WORDS = 1022
ALL_HIDDEN = ["Every item of this feed is hidden", "The words in Settings, under Hide items about, hide them"]


class MuteWordsTest(e2e.NewsCase):
    @classmethod
    def news_options(cls):
        # "COBBLESTONES" is in the newest item's description, "Lighthouse" in the title of the
        # second oldest; the accented form stands for it where the system ignores accents.
        return {"registry": [(e2e.SETTINGS_KEY, "Mute1", "REG_SZ", "COBBLESTONES"),
                             (e2e.SETTINGS_KEY, "Mute2", "REG_SZ", "l\u00eeghthouse keeper")]}

    def balloons(self):
        return self.driver.tooltips()

    def test_1_muted_items_are_not_shown_stepped_to_or_announced(self):
        news = self.news
        expected = OLDER[0]
        self.assertEqual(news.wait_title(expected, timeout=60), expected, "the newest unmuted item is shown")
        balloon = winetest.wait_for(lambda: [t for t in self.balloons() if t], timeout=15)
        self.assertTrue(balloon, "no balloon")
        self.assertFalse([t for t in balloon if "cobblestones" in t], "a muted item was announced")
        window = self.driver.create("Copying...", (200, 150, 560, 200))
        ok, where = news.desktop.wait_docked(window)
        self.assertTrue(ok, "the popup did not come below a copy window: " + where)
        # Previous from the newest shown item beeps; Next goes over the muted one.
        news.click_link_bar(e2e.PREVIOUS_X)
        self.assertEqual(news.shown_title(), expected)
        seen = [news.shown_title()]
        for _ in range(3):
            news.click_link_bar(e2e.NEXT_X)
            seen.append(news.shown_title())
        self.assertEqual(seen, [OLDER[0], OLDER[2], OLDER[2], OLDER[2]],
                         "Next steps over the lighthouse item and ends on the oldest")
        self.assertNotIn(NEWEST, seen)

    def test_2_words_from_the_dialog_hide_every_item_and_the_page_says_so(self):
        news = self.news
        news.driver.post(news.popup, e2e.WM_COMMAND, e2e.ID_TRAY_SETTINGS)
        dialog = winetest.wait_for(lambda: self.driver.find(e2e.SETTINGS_CAPTION), timeout=e2e.WAIT)
        self.assertTrue(dialog, "no settings dialog")
        box = winetest.wait_for(lambda: {c.id: c.handle for c in self.driver.children(dialog)}.get(MUTE_WORDS),
                                timeout=e2e.WAIT)
        self.assertTrue(winetest.wait_for(lambda: self.driver.wide_text(box) != "", timeout=e2e.WAIT))
        self.assertEqual(self.driver.wide_text(box), "COBBLESTONES\r\nl\u00eeghthouse keeper")
        labels = [self.driver.wide_text(c.handle) for c in self.driver.children(dialog)]
        self.assertIn("Hide items &about", labels)
        self.driver.set_text(box, "storm\r\n  ferry  \r\n\r\nharbour\r\nlighthouse\r\nmarket")
        self.driver.post(dialog, e2e.WM_COMMAND, IDOK)
        self.assertTrue(winetest.wait_for(lambda: not self.driver.find(e2e.SETTINGS_CAPTION), timeout=e2e.WAIT))
        self.assertEqual(news.wait_title(ALL_HIDDEN[0]), ALL_HIDDEN[0], "the page for a feed all hidden")
        self.assertEqual(news.item_lines(), ALL_HIDDEN)
        stored = {name: value for name, (_, value) in news.desktop.settings().items() if name.startswith("Mute")}
        self.assertEqual(stored, {"Mute1": "storm", "Mute2": "ferry", "Mute3": "harbour", "Mute4": "lighthouse",
                                  "Mute5": "market"})
        # A refresh keeps them hidden; both words only beep.
        news.refresh()
        self.assertEqual(news.item_lines(), ALL_HIDDEN)
        news.click_link_bar(e2e.NEXT_X)
        self.assertEqual(news.item_lines(), ALL_HIDDEN)


if __name__ == "__main__":
    unittest.main()
