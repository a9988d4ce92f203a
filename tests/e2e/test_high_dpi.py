"""The popup at 144 DPI (150 %): its pixel figures grow with the screen's DPI, so that the grip and
the margins cover the same part of the window as at 96 DPI."""
import unittest

import lullcast_e2e as e2e

DPI = 144


def scaled(pixels):
    return pixels * DPI // 96


class HighDpiTest(unittest.TestCase):
    def setUp(self):
        self.desktop = e2e.LullcastDesktop(registry=[
            (r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", DPI)])
        self.addCleanup(self.desktop.close)
        self.driver = self.desktop.driver
        self.popup = self.desktop.start_running_copy().handle
        self.driver.post(self.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)
        ok, seen = self.desktop.wait_popup_on_screen()
        self.assertTrue(ok, "View did not show the popup: " + seen)
        self.window = self.driver.info(self.popup).rect

    def test_the_size_grip_is_scaled(self):
        grip = scaled(14)
        y = self.window.bottom - grip // 2
        inside = self.driver.hit_test(self.popup, self.window.right - grip, y)
        outside = self.driver.hit_test(self.popup, self.window.right - grip - 2, y)
        self.assertEqual(e2e.HTBOTTOMRIGHT, inside, "the grip is not %d pixels wide at %d DPI" % (grip, DPI))
        self.assertEqual(e2e.HTCAPTION, outside, "the grip reaches further than %d pixels" % grip)

    def test_the_item_view_keeps_a_scaled_margin(self):
        window = self.driver.create("Copying...", (100, 100, 700, 200))
        ok, seen = self.desktop.wait_docked(window)
        self.assertTrue(ok, "the popup did not dock: " + seen)
        client = self.driver.client(self.popup)
        view = next(c for c in self.driver.children(self.popup) if c.id == 1000)
        view_rect = self.driver.info(view.handle).rect
        self.assertEqual(client.right - scaled(10), view_rect.right,
                         "the item view's right margin is not scaled: client %s, view %s" % (client, view_rect))


if __name__ == "__main__":
    unittest.main()
