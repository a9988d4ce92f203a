"""The link bar, the keyboard and screen readers, as a user and a screen reader meet the popup.

The whole text "Previous | Next | Feed | " stands right-aligned before the menu icon, and each word
steps where it is drawn while the separators lead nowhere, at 96 and at 144 DPI; a WM_DPICHANGED
lays the bar out again for the new scale. Without a mouse: Tab between the item and the three
words, Enter on a word or on the item, Left and Right, Esc. Another process reads the names and
roles through AccessibleObjectFromWindow, as a screen reader does, and does a word's action.
"""
import os
import re
import time
import unittest

import lullcast_e2e as e2e
import winetest

NEWEST = "Market square reopens after repairs"
OLDER = "Storm warning for the coast tonight"
SECOND_FEED = "Fischmarkt öffnet früher"
MENU_ICON = 1013
WM_KEYDOWN, WM_KEYUP = 0x0100, 0x0101
WM_DPICHANGED = 0x02E0
VK = {"Tab": 0x09, "Return": 0x0D, "Escape": 0x1B, "Left": 0x25, "Right": 0x27}
ROLE_SYSTEM_LINK, ROLE_SYSTEM_BUTTONMENU = 30, 57
STATE_SYSTEM_FOCUSED = 0x4


class PopupSession(e2e.NewsCase):
    """One running copy with the first news shown, docked below a wide copy window."""
    DPI = 96

    @classmethod
    def news_options(cls):
        return {"registry": [(r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", cls.DPI)] if cls.DPI != 96 else []}

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.news.desktop.open_links_with_recorder()
        cls.popup = cls.news.popup
        if winetest.wait_for(lambda: cls.news.shown_title() == NEWEST, timeout=40) is None:
            raise AssertionError("no news after the first refresh: %r" % cls.news.shown_title())
        cls.window = cls.driver.create("Copying...", (120, 150, 720, 200))
        ok, seen = cls.news.desktop.wait_docked(cls.window)
        if not ok:
            raise AssertionError("the popup did not dock: " + seen)

    def setUp(self):
        self.assertIsNone(self.news.desktop.running.poll(), "Lullcast is no longer running")

    def control(self, control_id):
        return self.news.desktop.control(self.popup, control_id)

    def rect(self, control_id):
        return self.driver.info(self.control(control_id)).rect

    def state(self):
        return self.news.shown_title(), self.news.status(), len(self.news.views())

    def assert_laid_out_for(self, dpi):
        """The bar is as wide as its text at that DPI, ends where the menu icon begins, and its ink
        falls within the words and separators, each of which shows."""
        words, separators, whole = e2e.link_bar_spans(dpi)
        bar, icon = self.rect(e2e.LINK_BAR), self.rect(MENU_ICON)
        self.assertEqual((bar.width, bar.right), (whole, icon.left), "link bar %s, menu icon %s" % (bar, icon))
        self.assertGreaterEqual(bar.left, self.driver.info(self.popup).rect.left)
        ink = self.driver.ink(self.control(e2e.LINK_BAR))
        pieces = list(words.values()) + separators
        for begin, end in ink:
            self.assertTrue(any(b <= begin and end <= e for b, e in pieces),
                            "ink at %d-%d outside the words and separators %s" % (begin, end, pieces))
        for begin, end in pieces:
            self.assertTrue(any(begin <= b and e <= end for b, e in ink), "nothing drawn at %d-%d: %s" % (begin, end, ink))


class LinkBarAt96Dpi(PopupSession):
    DPI = 96

    def test_1_the_whole_text_stands_before_the_menu_icon(self):
        self.assert_laid_out_for(self.DPI)

    def test_2_each_word_steps_where_it_is_drawn_and_the_separators_lead_nowhere(self):
        news = self.news
        words, separators, _ = e2e.link_bar_spans(self.DPI)
        before = self.state()
        for separator in separators:
            news.click_link_bar(e2e.middle(separator))
        self.assertEqual(self.state(), before, "a click on a separator stepped")
        news.click_link_bar(e2e.middle(words["Next"]))
        self.assertEqual(news.shown_title(), OLDER)
        news.click_link_bar(e2e.middle(words["Previous"]))
        self.assertEqual(news.shown_title(), NEWEST)
        news.click_link_bar(words["Feed"][1] - 1)
        self.assertEqual(news.status(), SECOND_FEED)
        news.click_link_bar(words["Feed"][0])
        self.assertEqual((news.status(), news.shown_title()), ("Harbour Evening Post", NEWEST))
        self.assertEqual(len(news.views()), before[2] + 4, "each step reports one view")


class LinkBarAt144Dpi(LinkBarAt96Dpi):
    DPI = 144


class KeyboardAndScreenReaderTest(PopupSession):
    """Tests in order: each starts where the last left the popup."""

    def press(self, key, effect, shift=False):
        """Presses a key on the popup, as the user does, until effect() holds. Under load Wine's
        virtual desktop now and then loses a key from xdotool (see press_escape); after two real
        presses the key is posted to the control with the focus, which still goes through the
        popup's own message loop and dialog manager."""
        for attempt in range(3):
            if attempt < 2 or shift:
                self.driver.foreground(self.popup)
                self.news.desktop.key(("shift+" if shift else "") + key)
            else:
                focus = self.driver.focus(self.popup)
                self.driver.post(focus, WM_KEYDOWN, VK[key], 0x00000001)
                self.driver.post(focus, WM_KEYUP, VK[key], 0xC0000001)
            if winetest.wait_for(effect, timeout=3):
                return
        self.fail("%s%s did not have its effect" % ("Shift+" if shift else "", key))

    def focus_is(self, control_id):
        return self.driver.focus(self.popup) == self.control(control_id)

    def reader(self, *args):
        """AccessProbe, in a process of its own, reading the popup as a screen reader does."""
        if not hasattr(self, "_reader"):
            folder = self.news.desktop.wine.install([winetest.build_file("tests", "popup", "AccessProbe.exe")],
                                                    folder="Tools")
            type(self)._reader = os.path.join(folder, "AccessProbe.exe")
        code, out, err = self.news.desktop.wine.run(self._reader, *args)
        self.assertEqual(code, 0, "AccessProbe %s: %s%s" % (" ".join(args), out, err))
        return out.replace("\r\n", "\n")

    def reading(self):
        """{control id: fields}, {(control id, child): fields} as AccessProbe read them."""
        objects, children = {}, {}
        for line in self.reader("read", str(self.popup)).splitlines():
            fields = {k: v[1:-1] if v.startswith("[") else v
                      for k, v in re.findall(r"(\w+)=(\[[^\]]*\]|\S+)", line)}
            words = line.split()
            if words and words[0] == "object":
                objects[int(words[1])] = fields
            elif words and words[0] == "child":
                children[(int(words[1]), int(words[2]))] = fields
        return objects, children

    def test_1_tab_moves_from_the_item_through_the_three_words_and_back(self):
        self.driver.foreground(self.popup)
        self.assertTrue(winetest.wait_for(lambda: self.focus_is(e2e.ITEM_VIEW), timeout=5),
                        "the item view does not have the focus of the active popup")
        self.press("Tab", lambda: self.focus_is(e2e.LINK_BAR))
        _, children = self.reading()
        self.assertTrue(int(children[(e2e.LINK_BAR, 1)]["state"]) & STATE_SYSTEM_FOCUSED, "Previous has no focus")
        self.press("Tab", lambda: int(self.reading()[1][(e2e.LINK_BAR, 2)]["state"]) & STATE_SYSTEM_FOCUSED)
        self.press("Tab", lambda: int(self.reading()[1][(e2e.LINK_BAR, 3)]["state"]) & STATE_SYSTEM_FOCUSED)
        self.press("Tab", lambda: self.focus_is(e2e.ITEM_VIEW))
        self.press("Tab", lambda: self.focus_is(e2e.LINK_BAR), shift=True)
        self.assertTrue(int(self.reading()[1][(e2e.LINK_BAR, 3)]["state"]) & STATE_SYSTEM_FOCUSED,
                        "Shift+Tab did not come back to Feed")

    def test_2_enter_on_a_word_and_the_arrows_step(self):
        news = self.news
        self.press("Left", lambda: True)  # Previous from the newest only beeps
        self.assertEqual(news.shown_title(), NEWEST)
        self.press("Right", lambda: news.shown_title() == OLDER)
        self.press("Left", lambda: news.shown_title() == NEWEST)
        self.press("Return", lambda: news.status() == SECOND_FEED)  # the focus is on Feed
        self.press("Return", lambda: news.status() == "Harbour Evening Post")
        self.press("Tab", lambda: self.focus_is(e2e.ITEM_VIEW))
        self.press("Right", lambda: news.shown_title() == OLDER)
        self.press("Left", lambda: news.shown_title() == NEWEST)

    def test_3_screen_readers_read_names_and_roles(self):
        objects, children = self.reading()
        names = [(children[(e2e.LINK_BAR, i)]["name"], int(children[(e2e.LINK_BAR, i)]["role"])) for i in (1, 2, 3)]
        self.assertEqual(names, [("Previous", ROLE_SYSTEM_LINK), ("Next", ROLE_SYSTEM_LINK), ("Feed", ROLE_SYSTEM_LINK)])
        self.assertEqual((objects[MENU_ICON]["name"], int(objects[MENU_ICON]["role"])), ("Channel menu", ROLE_SYSTEM_BUTTONMENU))
        self.assertEqual(objects[e2e.ITEM_VIEW]["name"], self.news.shown_title())
        # Each link lies where its word is drawn.
        words, _, _ = e2e.link_bar_spans(self.DPI)
        bar = self.rect(e2e.LINK_BAR)
        for child, word in enumerate(e2e.LINK_WORDS, 1):
            left, top, width, height = (int(n) for n in children[(e2e.LINK_BAR, child)]["location"].split(","))
            self.assertEqual((left - bar.left, left - bar.left + width), words[word], word)

    def test_4_a_readers_action_on_a_word_steps_and_the_new_title_is_the_views_name(self):
        news = self.news
        self.assertIn("done 00000000", self.reader("act", str(self.popup), str(e2e.LINK_BAR), "2"))
        self.assertEqual(news.wait_title(OLDER), OLDER)
        self.assertEqual(winetest.wait_for(lambda: self.reading()[0][e2e.ITEM_VIEW]["name"] == OLDER and OLDER,
                                           timeout=5), OLDER)
        self.reader("act", str(self.popup), str(e2e.LINK_BAR), "1")
        self.assertEqual(news.wait_title(NEWEST), NEWEST)

    def test_5_enter_on_the_item_opens_it_and_esc_hides(self):
        news = self.news
        clicks = len(news.clicks())
        self.driver.foreground(self.popup)
        self.assertTrue(winetest.wait_for(lambda: self.focus_is(e2e.ITEM_VIEW), timeout=5))
        self.press("Return", lambda: len(news.clicks()) > clicks or news.desktop.popup_hidden()[0])
        self.assertTrue(news.desktop.wait_popup_hidden()[0], "Enter on the item did not hide the popup")
        self.assertEqual(winetest.wait_for(lambda: news.clicks()[clicks:], timeout=e2e.WAIT),
                         [(news.feed_url("news-1.xml"), news.service.url("/articles/market-square.html"))])
        # View brings it back; Esc hides it again.
        self.driver.post(self.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)
        self.assertTrue(news.desktop.wait_popup_on_screen()[0])
        news.idle()
        news.desktop.press_escape()
        self.assertTrue(news.desktop.wait_popup_hidden()[0], "Esc did not hide the popup")


class DpiChangeTest(PopupSession):
    """Any program can send WM_DPICHANGED. The popup acts on it only when the DPI it carries is the
    one the system now gives the window, and takes its rectangle only from memory that is there and
    only when the system could have suggested it. Wine gives every window the one DPI of the
    session, so a real change cannot be made here (its arithmetic is tested natively): every
    message below is one that another program forged. In order: docked first, then shown by View."""

    def assert_untouched(self, before, what):
        self.news.idle()
        self.assertIsNone(self.news.desktop.running.poll(), "Lullcast ended after " + what)
        self.assertEqual(self.driver.info(self.popup).rect, before, what + " moved or sized the popup")
        self.assert_laid_out_for(self.DPI)

    def test_1_docked_a_dpi_that_is_not_the_windows_changes_nothing(self):
        before = self.driver.info(self.popup).rect
        self.driver.send_rect(self.popup, WM_DPICHANGED, 144 | (144 << 16), e2e.Rect(100, 300, 1000, 490))
        self.assert_untouched(before, "a DPI of 144 with a rectangle on the screen")
        doubled = e2e.Rect(before.left, before.top, before.left + 2 * before.width, before.top + 2 * before.height)
        self.driver.send_rect(self.popup, WM_DPICHANGED, 192 | (192 << 16), doubled)
        self.assert_untouched(before, "a DPI of 192 with the popup's rectangle doubled")
        self.driver.send_rect(self.popup, WM_DPICHANGED, 144 | (120 << 16), e2e.Rect(100, 300, 1000, 490))
        self.assert_untouched(before, "two DPIs")
        ok, seen = self.news.desktop.wait_docked(self.window)
        self.assertTrue(ok, "the popup left its window: " + seen)

    def test_2_pointers_from_anybody_are_never_followed(self):
        self.driver.post(self.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)
        self.assertTrue(self.news.desktop.wait_popup_on_screen()[0])
        self.news.idle()
        before = self.driver.info(self.popup).rect
        # Near the top of memory, where the end of a rectangle wraps round to address 0.
        self.driver.post(self.popup, WM_DPICHANGED, 0x00900090, -8)
        self.assert_untouched(before, "a rectangle at the top of memory")
        self.driver.post(self.popup, WM_DPICHANGED, self.DPI | (self.DPI << 16), -8)
        self.assert_untouched(before, "the window's own DPI with a rectangle at the top of memory")
        # Memory every process has at the same address: 16 bytes of a system library's code.
        code = self.driver.proc_address("ntdll.dll", "RtlInitUnicodeString")
        self.driver.post(self.popup, WM_DPICHANGED, 0x00900090, code)
        self.assert_untouched(before, "a rectangle read from a system library")
        self.driver.post(self.popup, WM_DPICHANGED, 20000 | (20000 << 16), 0x10)
        self.assert_untouched(before, "a DPI no monitor has")
        self.driver.post(self.popup, WM_DPICHANGED, 144 | (144 << 16), 0x10)
        self.assert_untouched(before, "a pointer into nowhere")


if __name__ == "__main__":
    unittest.main()
