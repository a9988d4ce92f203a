"""The popup window itself: its controls and frame, hiding by Esc and by the close box, the About box.

Every test gets a desktop of its own with a freshly started Lullcast, since these tests leave the
popup in states of their own.
"""
import unittest

import lullcast_e2e as e2e
import winetest

WS_EX_TOPMOST = 0x00000008
WS_EX_TOOLWINDOW = 0x00000080
WS_EX_STATICEDGE = 0x00020000
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000
WM_WATCH_DESTROYED = 0x0403
IDOK, IDCANCEL = 1, 2


class PopupWindowTest(unittest.TestCase):
    def setUp(self):
        self.desktop = e2e.LullcastDesktop()
        self.addCleanup(self.desktop.close)
        self.driver = self.desktop.driver
        self.popup = self.desktop.start_running_copy().handle

    def view(self):
        """Shows the popup as the tray menu's View does."""
        self.driver.post(self.popup, e2e.WM_COMMAND, e2e.ID_TRAY_VIEW)
        ok, seen = self.desktop.wait_popup_on_screen()
        self.assertTrue(ok, "View did not show the popup: " + seen)
        return self.driver.popup()

    def dock(self):
        window = self.driver.create("Copying...", (200, 150, 520, 200))
        ok, seen = self.desktop.wait_docked(window)
        self.assertTrue(ok, "the popup did not come below a copy window: " + seen)
        return window

    def assertHidden(self, how):
        ok, seen = self.desktop.wait_popup_hidden()
        self.assertTrue(ok, "%s did not hide the popup: %s" % (how, seen))
        ok, seen = e2e.holds(self.desktop.popup_hidden, e2e.GRACE)
        self.assertTrue(ok, "the popup came back after %s: %s" % (how, seen))

    def assertRunsOn(self):
        """The program goes on: still running, and a new copy window brings the popup again."""
        self.assertIsNone(self.desktop.running.poll(), "Lullcast ended")
        self.driver.destroy_all()
        window = self.driver.create("Printing", (350, 500, 480, 160))
        ok, seen = self.desktop.wait_docked(window)
        self.assertTrue(ok, "the popup no longer comes to a print window: " + seen)

    def press_escape(self):
        self.desktop.press_escape()

    def test_popup_is_a_small_tool_window_with_its_controls(self):
        style, ex_style = self.driver.style(self.popup)
        for name, bit in [("WS_CAPTION", WS_CAPTION), ("WS_SYSMENU", WS_SYSMENU), ("WS_THICKFRAME", WS_THICKFRAME)]:
            self.assertTrue(style & bit, name)
        for name, bit in [("WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW), ("WS_EX_STATICEDGE", WS_EX_STATICEDGE)]:
            self.assertTrue(ex_style & bit, name)

        children = self.driver.children(self.popup)
        classes = {child.id: child.class_name.lower() for child in children}
        self.assertEqual(classes.get(1000), "richedit20a")
        for control_id in (1001, 1002, 1003, 1013):
            self.assertEqual(classes.get(control_id), "static", "control %d" % control_id)
        self.assertEqual(self.driver.text(self.popup, 1002), "Previous | Next | Feed | ")

    def test_popup_is_dragged_by_its_client_area_and_sized_at_its_corner(self):
        rect = self.view().rect
        client = self.driver.client(self.popup)
        free_spot = (client.left + 3, client.bottom - 3)
        self.assertEqual(self.driver.hit_test(self.popup, *free_spot), e2e.HTCAPTION)
        self.assertEqual(self.driver.hit_test(self.popup, rect.right - 1, rect.bottom - 1), e2e.HTBOTTOMRIGHT)
        self.assertEqual(self.driver.hit_test(self.popup, rect.right - 14, rect.bottom - 14), e2e.HTBOTTOMRIGHT)
        self.assertNotEqual(self.driver.hit_test(self.popup, rect.right - 15, rect.bottom - 15), e2e.HTBOTTOMRIGHT)

        self.desktop.drag(free_spot, (free_spot[0] - 120, free_spot[1] + 90))
        wanted = e2e.Rect(rect.left - 120, rect.top + 90, rect.right - 120, rect.bottom + 90)
        moved = self.desktop.rect_when_settled(self.popup, wanted)
        self.assertEqual(moved, wanted,
                         "dragging the free client area did not move the popup")

        grip = (moved.right - 4, moved.bottom - 4)
        self.desktop.drag(grip, (grip[0] + 100, grip[1] + 60))
        wanted = e2e.Rect(moved.left, moved.top, moved.right + 100, moved.bottom + 60)
        sized = self.desktop.rect_when_settled(self.popup, wanted)
        self.assertEqual(sized, wanted,
                         "dragging the grip did not size the popup")

    def test_escape_hides_the_popup_below_a_watched_window(self):
        self.dock()
        self.press_escape()
        self.assertHidden("Esc")
        self.assertRunsOn()

    def test_escape_hides_the_viewed_popup(self):
        self.view()
        self.press_escape()
        self.assertHidden("Esc")
        self.assertRunsOn()

    def test_close_box_hides_the_popup_below_a_watched_window(self):
        self.dock()
        self.desktop.click(*self.driver.hit_point(self.popup, e2e.HTCLOSE))
        self.assertHidden("the close box")
        self.assertRunsOn()

    def test_close_box_hides_the_viewed_popup(self):
        self.view()
        self.desktop.click(*self.driver.hit_point(self.popup, e2e.HTCLOSE))
        self.assertHidden("the close box")
        self.assertRunsOn()

    def test_commands_any_program_can_post_only_hide_or_do_nothing(self):
        # IDOK (what Enter sends a dialog) must not end the program: only Exit does. IDCANCEL hides
        # the popup as Esc does.
        self.view()
        self.driver.post(self.popup, e2e.WM_COMMAND, IDOK)
        ok, seen = e2e.holds(self.desktop.popup_on_screen, e2e.GRACE)
        self.assertTrue(ok, "IDOK changed the popup: " + seen)
        self.assertIsNone(self.desktop.running.poll(), "IDOK ended the program")
        self.driver.post(self.popup, e2e.WM_COMMAND, IDCANCEL)
        self.assertHidden("IDCANCEL")
        self.assertRunsOn()

    def test_a_destruction_report_of_no_window_leaves_the_remembered_place(self):
        # Before any window was watched (the popup waits out of sight), a report that "no window"
        # went away must not count as the watched window's end, which would remember the place out
        # of sight: View still shows the popup where the template centres it.
        self.driver.post(self.popup, WM_WATCH_DESTROYED, 0, 0)
        self.desktop.reset()
        popup = self.view()
        area = self.driver.work_area()
        centred = (area.left + (area.width - popup.rect.width) // 2, area.top + (area.height - popup.rect.height) // 2)
        self.assertFalse(popup.out_of_sight(), popup)
        self.assertLessEqual(abs(popup.rect.left - centred[0]), 1, "%s, centred would be %s" % (popup, centred))
        self.assertLessEqual(abs(popup.rect.top - centred[1]), 1, "%s, centred would be %s" % (popup, centred))

    def test_about_box_opens_from_the_system_menu(self):
        self.view()
        self.driver.post(self.popup, e2e.WM_SYSCOMMAND, e2e.IDM_ABOUTBOX)
        about = e2e.winetest.wait_for(lambda: self.driver.find(e2e.ABOUT_CAPTION), timeout=e2e.WAIT)
        self.assertTrue(about, "no About box appeared")
        self.assertEqual(self.driver.info(about).process, self.driver.info(self.popup).process)
        # The box is found by its caption as soon as it exists; its texts are set while it starts.
        version = "Nimbrel Version " + winetest.build_version()
        texts = e2e.winetest.wait_for(lambda: [child.text for child in self.driver.children(about)]
                                      if version in [child.text for child in self.driver.children(about)] else None,
                                      timeout=e2e.WAIT)
        self.assertTrue(texts, "the About box shows no %r: %s" % (version, self.driver.children(about)))
        self.assertIn("OK", texts)

        # Enter goes to the box only once it is in front with the keyboard focus in it.
        self.assertTrue(e2e.winetest.wait_for(lambda: self.driver.foreground(about) == about
                                              and self.driver.focus(about), timeout=e2e.WAIT),
                        "the About box did not come to the front with the focus")
        self.desktop.key("Return", over=self.driver.info(about).rect.centre())
        gone = e2e.winetest.wait_for(lambda: not self.driver.find(e2e.ABOUT_CAPTION), timeout=e2e.WAIT)
        self.assertTrue(gone, "Enter did not close the About box")
        self.assertRunsOn()


if __name__ == "__main__":
    unittest.main()
