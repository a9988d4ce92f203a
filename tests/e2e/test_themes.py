"""Themes: the popup in its light scheme, in its dark scheme when the user's apps are dark (the
registry's AppsUseLightTheme, with the change announced as Windows does), and in the system's
colours with high contrast on (SystemParametersInfo); each switch repaints at once. What is checked
is what the screen shows: the popup's pixels, their colours and the contrast of every text."""
import unittest

import lullcast_e2e as e2e
import winetest
from test_news import NEWEST

WM_SETTINGCHANGE = 0x001A
PERSONALIZE = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize"
COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HOTLIGHT = 5, 8, 13, 26
# A high-contrast scheme of the kind Windows offers: white and yellow on black.
HIGH = {COLOR_WINDOW: 0x000000, COLOR_WINDOWTEXT: 0xFFFFFF, COLOR_HOTLIGHT: 0xFFFF00, COLOR_HIGHLIGHT: 0x00FFFF}
DARK_VIEW, DARK_FACE, DARK_ITEM, DARK_LINK, DARK_STATUS = 0x181818, 0x202020, 0xFF968C, 0x8CBEFF, 0xDCDCDC


def luminance(rgb):
    def channel(value):
        c = value / 255.0
        return c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4
    return 0.2126 * channel(rgb >> 16 & 0xFF) + 0.7152 * channel(rgb >> 8 & 0xFF) + 0.0722 * channel(rgb & 0xFF)


def contrast(a, b):
    la, lb = luminance(a), luminance(b)
    return (max(la, lb) + 0.05) / (min(la, lb) + 0.05)


class ThemesTest(e2e.NewsCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        news = cls.news
        if news.wait_title(NEWEST, timeout=60) != NEWEST:
            raise AssertionError("no item after the first refresh")
        window = cls.driver.create("Copying...", (200, 150, 760, 260))
        ok, seen = news.desktop.wait_docked(window)
        if not ok:
            raise AssertionError("the popup did not dock: " + seen)
        news.driver.post(news.popup, e2e.WM_TIMER, 1, 0)  # the status line shows the channel again
        news.idle()

    def part(self, control_id):
        return self.news.desktop.control(self.news.popup, control_id)

    def background(self, control_id):
        palette = self.driver.palette(self.part(control_id))
        return max(palette, key=palette.get)

    def assertText(self, control_id, background, text):
        """The part shows the background and the text colour (as many pixels as a word has at
        least), and the two as measured have a contrast of 4.5:1 or more."""
        palette = self.driver.palette(self.part(control_id))
        seen = ", ".join("%06X:%d" % entry for entry in palette.items())
        self.assertEqual(max(palette, key=palette.get), background, "part %d: %s" % (control_id, seen))
        self.assertGreaterEqual(palette.get(text, 0), 30, "part %d shows no text in %06X: %s" % (control_id, text, seen))
        ratio = contrast(text, background)
        self.assertGreaterEqual(ratio, 4.5, "part %d: contrast %.2f" % (control_id, ratio))

    def wait_background(self, control_id, colour):
        return winetest.wait_for(lambda: self.background(control_id) == colour, timeout=e2e.WAIT)

    def announce_settings_change(self):
        # Sent, as Windows broadcasts it: a message that may carry a pointer cannot be posted.
        self.driver.send(self.news.popup, WM_SETTINGCHANGE, 0, 0)

    def test_1_light_scheme(self):
        self.assertText(e2e.ITEM_VIEW, 0xFFFFFF, 0xA00000)  # dark red items on white
        self.assertText(e2e.LINK_BAR, self.background(e2e.STATUS_LINE), 0x0000FA)

    def test_2_dark_apps_theme_gives_the_dark_scheme_with_readable_text(self):
        self.news.desktop.wine.wine("reg", "add", PERSONALIZE, "/v", "AppsUseLightTheme", "/t", "REG_DWORD", "/d", "0", "/f")
        self.announce_settings_change()
        self.assertTrue(self.wait_background(e2e.ITEM_VIEW, DARK_VIEW), "the item view did not turn dark: %06X"
                        % self.background(e2e.ITEM_VIEW))
        self.assertText(e2e.ITEM_VIEW, DARK_VIEW, DARK_ITEM)
        self.assertText(e2e.LINK_BAR, DARK_FACE, DARK_LINK)
        self.assertText(e2e.STATUS_LINE, DARK_FACE, DARK_STATUS)

    def test_3_high_contrast_paints_in_the_system_colours(self):
        try:
            self.driver.high_contrast(True)
        except e2e.DriverError as error:
            # Wine 8 refuses SPI_SETHIGHCONTRAST (ERROR_INVALID_SPI_VALUE) and reports it off.
            self.skipTest("this system cannot turn high contrast on: %s" % error)
        self.assertTrue(self.driver.set_system_colours(HIGH))
        self.assertTrue(self.wait_background(e2e.ITEM_VIEW, HIGH[COLOR_WINDOW]), "the item view is not in the window colour")
        self.assertText(e2e.ITEM_VIEW, HIGH[COLOR_WINDOW], HIGH[COLOR_WINDOWTEXT])
        self.assertText(e2e.LINK_BAR, HIGH[COLOR_WINDOW], HIGH[COLOR_HOTLIGHT])
        self.assertText(e2e.STATUS_LINE, HIGH[COLOR_WINDOW], HIGH[COLOR_WINDOWTEXT])
        # Off again: with the apps still dark, the dark scheme comes back at once.
        self.assertTrue(self.driver.high_contrast(False))
        self.assertTrue(self.wait_background(e2e.ITEM_VIEW, DARK_VIEW), "the dark scheme did not come back")


if __name__ == "__main__":
    unittest.main()
