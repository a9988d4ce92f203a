"""The channel menu of the popup's menu icon, worked with real clicks and keys: where it drops, what
each choice does to the chosen channel in the registry, and its way into the settings dialog.

The menu's items are told apart by what choosing them stores: the first selectable item is reached
with one Down, the next with two, and so on, separators skipped.
"""
import time
import unittest

import lullcast_e2e as e2e

MENU_ICON = 1013
IDOK, IDCANCEL = 1, 2
ENTERTAINMENT, HEALTH = 1016, 1019
MY_FEEDS = "0xffffffff"


class ChannelMenuTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Entertainment (2) and Health (5) are offered; the chosen channel is absent, so News (0),
        # whose bit is clear.
        cls.desktop = e2e.LullcastDesktop(registry=[(e2e.SETTINGS_KEY, "Channels", "REG_DWORD", "0x24")])
        cls.addClassCleanup(cls.desktop.close)
        cls.driver = cls.desktop.driver
        cls.popup = cls.desktop.start_running_copy().handle
        cls.driver.post(cls.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)
        ok, seen = cls.desktop.wait_popup_on_screen()
        if not ok:
            raise AssertionError("View did not show the popup: " + seen)

    def open_menu(self):
        icon = next(child.handle for child in self.driver.children(self.popup) if child.id == MENU_ICON)
        rect = self.driver.info(icon).rect
        self.desktop.click(*rect.centre())
        menu = e2e.winetest.wait_for(self.driver.menu, timeout=e2e.WAIT)
        self.assertIsNotNone(menu, "a click on the menu icon opened no menu")
        self.assertEqual((menu.left, menu.top), (rect.left, rect.bottom), "the menu hangs from the icon's corner")
        return menu

    def choose(self, downs):
        """Opens the menu and picks the item `downs` Down presses away; 0 dismisses it with Esc."""
        self.open_menu()
        keys = ["Down"] * downs + ["Return"] if downs else ["Escape"]
        for key in keys:
            self.desktop.key(key)
            time.sleep(0.1)
        self.assertTrue(e2e.winetest.wait_for(lambda: self.driver.menu() is None, timeout=e2e.WAIT),
                        "the menu stayed open")

    def stored_channel(self, expected):
        """The stored chosen channel once it reads `expected`, or as it is after a while."""
        value = lambda: self.desktop.settings().get("PreferredChannel", (None, None))[1]
        e2e.winetest.wait_for(lambda: value() == expected, timeout=e2e.WAIT)
        return value()

    def open_settings_from_menu(self, downs):
        self.choose(downs)
        dialog = e2e.winetest.wait_for(lambda: self.driver.find(e2e.SETTINGS_CAPTION), timeout=e2e.WAIT)
        self.assertTrue(dialog, "Lullcast Settings opened no dialog")
        controls = {child.id: child.handle for child in self.driver.children(dialog)}
        return dialog, controls

    def close_dialog(self, controls, button):
        self.desktop.click(*self.driver.info(controls[button]).rect.centre())
        self.assertTrue(e2e.winetest.wait_for(lambda: not self.driver.find(e2e.SETTINGS_CAPTION),
                                              timeout=e2e.WAIT), "the dialog stayed open")

    def test_choices_and_the_way_into_settings(self):
        self.assertNotIn("PreferredChannel", self.desktop.settings())
        self.choose(0)
        self.assertEqual(self.stored_channel("0x0"), "0x0", "a dismissed menu still writes the chosen channel")

        self.choose(1)
        self.assertEqual(self.stored_channel("0x2"), "0x2", "the first item is Entertainment")
        self.choose(2)
        self.assertEqual(self.stored_channel("0x5"), "0x5", "the second is Health")
        self.choose(3)
        self.assertEqual(self.stored_channel(MY_FEEDS), MY_FEEDS, "after a separator, My Feeds")
        self.choose(3)
        self.assertEqual(self.stored_channel(MY_FEEDS), MY_FEEDS, "My Feeds chosen again")

        # Lullcast Settings writes the chosen channel before the dialog opens.
        self.driver.destroy_all()
        self.desktop.wine.wine("reg", "delete", e2e.SETTINGS_KEY, "/v", "PreferredChannel", "/f")
        self.assertNotIn("PreferredChannel", self.desktop.settings())
        dialog, controls = self.open_settings_from_menu(4)
        self.assertEqual(self.stored_channel(MY_FEEDS), MY_FEEDS)
        self.assertEqual(self.driver.count(e2e.SETTINGS_CAPTION), (1, 1))

        # With no channel left, the menu holds My Feeds and Lullcast Settings alone.
        for box in (ENTERTAINMENT, HEALTH):
            self.desktop.click(*self.driver.info(controls[box]).rect.centre())
        self.assertTrue(e2e.winetest.wait_for(
            lambda: not any(self.driver.send(controls[box], 0x00F0) for box in (ENTERTAINMENT, HEALTH)), timeout=5))
        self.close_dialog(controls, IDOK)
        self.assertEqual(int(self.desktop.settings()["Channels"][1], 16) & 0xFF, 0)
        self.choose(1)
        self.assertEqual(self.stored_channel(MY_FEEDS), MY_FEEDS)
        dialog, controls = self.open_settings_from_menu(2)
        self.close_dialog(controls, IDCANCEL)
        self.assertIsNone(self.desktop.running.poll(), "Lullcast ended")


if __name__ == "__main__":
    unittest.main()
