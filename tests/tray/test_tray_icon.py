"""The notification icon under Wine.

CSystemTray is first run through its cases by TrayHost, which writes down every call it makes to the
shell; then its magenta icon is used with the real mouse on the virtual desktop's notification area;
last, the program's own icon is tried the same way.
"""
import os
import re
import tempfile
import time
import unittest

import winetest
from traydesktop import (ICON_ID, ID_TRAY_EXIT, ID_TRAY_VIEW, MAGENTA, POPUP_CAPTION, Screenshot, TrayHost, arch,
                         build_file, centre, double_click, left_click, notification_area, right_click, wait_for,
                         xdotool)

# The icon record in the Windows 2000 shell layout: 488 bytes in a 32-bit process; the same fields
# 8-aligned behind the window handle in a 64-bit one.
RECORD_SIZE = {"i686": 488, "x86_64": 504}[arch()]
NIF_MESSAGE_ICON_TIP = 7
NIF_INFO = 16
NIIF_RESPECT_QUIET_TIME = 0x80
MENU_ITEMS = "&View RSS Feed|32774;&Settings...|32776;-;E&xit Lullcast|32772"


def parse_shell_call(line):
    """'ADD size=.. flags=.. ... tip=[..] info=[..] title=[..]' as a dict, with 'message' for the first word."""
    call = {"message": line.split(" ", 1)[0]}
    for name, value in re.findall(r"(\w+)=(\[[^\]]*\]|\S+)", line):
        call[name] = value[1:-1] if value.startswith("[") else value
    return call


class TrayClassCases(unittest.TestCase):
    """CSystemTray in TrayHost, which owns it the way the program's popup does."""

    @classmethod
    def setUpClass(cls):
        cls.session = winetest.WineSession()
        cls.addClassCleanup(cls.session.close)
        host = TrayHost(cls.session)
        output = host.ask("api")
        cls.facts, cls.events, cls.calls = {}, {}, {}
        for line in output.splitlines():
            kind, _, rest = line.partition(" ")
            if kind == "fact":
                name, _, value = rest.partition("=")
                cls.facts[name] = int(value)
            elif kind in ("event", "shell"):
                case, _, text = rest.partition(": ")
                target = cls.events if kind == "event" else cls.calls
                target.setdefault(case, []).append(text if kind == "event" else parse_shell_call(text))
        cls.output = output

    def fact(self, name):
        self.assertIn(name, self.facts, "TrayHost did not get that far:\n" + self.output)
        return self.facts[name]

    def test_install_adds_the_icon_with_the_windows_2000_record(self):
        self.assertEqual(self.fact("install"), 1)
        self.assertEqual(self.fact("present_after_install"), 1)
        [add] = self.calls["install"]
        self.assertEqual(add["message"], "ADD")
        self.assertEqual(int(add["size"]), RECORD_SIZE)
        self.assertEqual(int(add["flags"]), NIF_MESSAGE_ICON_TIP)
        self.assertEqual(int(add["id"]), ICON_ID)
        self.assertEqual(int(add["callback"]), 0x800A)
        self.assertEqual(add["icon"], "1")
        self.assertEqual((add["info"], add["title"], add["timeout"]), ("", "", "0"), "no balloon with the icon")

    def test_a_long_tip_is_cut_to_127_characters(self):
        [add] = self.calls["install"]
        self.assertEqual(add["tip"], "T" + "t" * 126)

    def test_the_hidden_window_is_created_and_never_shown(self):
        self.assertEqual(self.fact("hidden_window_ours"), 1)
        self.assertEqual(self.fact("hidden_window_visible"), 0)
        self.assertEqual(self.fact("hidden_window_is_popup"), 1)
        self.assertEqual(self.fact("hidden_window_class_style"), 0x000B)

    def test_callbacks_for_another_icon_are_ignored(self):
        self.assertEqual(self.fact("wrong_id_double_click"), 0)
        self.assertEqual(self.fact("wrong_id_right_click"), 0)
        self.assertNotIn("other_mouse", self.events, "no menu, no command")

    def test_other_mouse_messages_are_taken_without_doing_anything(self):
        for name in ("mouse_move", "left_down", "left_up", "right_down"):
            self.assertEqual(self.fact(name), 1, name)
        self.assertNotIn("other_mouse", self.events)

    def test_a_double_click_posts_the_default_command_and_takes_the_foreground(self):
        self.assertEqual(self.fact("foreground_elsewhere"), 1)
        self.assertEqual(self.fact("double_click"), 1)
        self.assertEqual(self.fact("foreground_after_double_click"), 1)
        self.assertNotIn("double_click_before_pump", self.events, "posted, not sent")
        self.assertEqual(self.events["double_click"], ["command %d posted" % ID_TRAY_VIEW])

    def test_a_right_click_shows_the_menu_with_its_first_item_as_default(self):
        self.assertEqual(self.fact("right_click_dismissed"), 1)
        events = [e for e in self.events["right_click_dismissed"] if not e.startswith("item ")]
        self.assertEqual(events, ["menu %s default 0" % MENU_ITEMS, "menu closed"], "a dismissed menu sends no command")
        self.assertEqual(self.fact("null_posted"), 1, "WM_NULL follows the menu")

    def test_an_item_chosen_in_the_menu_reaches_the_owner(self):
        self.assertEqual(self.fact("right_click_exit"), 1)
        self.assertEqual(self.events["right_click_exit"][-1], "command %d posted" % ID_TRAY_EXIT)

    def test_balloons_are_cut_to_their_fields_and_time_out_in_milliseconds(self):
        self.assertEqual(self.fact("balloon_long"), 1)
        long_balloon, untitled, multibyte = self.calls["balloons"]
        for call in (long_balloon, untitled, multibyte):
            self.assertEqual(call["message"], "MODIFY")
            self.assertEqual(int(call["flags"]), NIF_INFO, "the balloon alone, not the icon again")
            self.assertEqual(int(call["size"]), RECORD_SIZE)
        self.assertEqual(long_balloon["info"], "b" * 255)
        self.assertEqual(long_balloon["title"], "h" * 63)
        # Each balloon asks the shell to keep it back while the user is busy (NIIF_RESPECT_QUIET_TIME).
        self.assertEqual((long_balloon["timeout"], long_balloon["infoflags"]), ("10000", str(NIIF_RESPECT_QUIET_TIME)))
        self.assertEqual((untitled["info"], untitled["title"]), ("Short text", ""))
        self.assertEqual((untitled["timeout"], untitled["infoflags"]), ("3000", str(NIIF_RESPECT_QUIET_TIME | 1)))

    def test_a_multibyte_character_at_the_limit_is_left_out_whole(self):
        self.assertEqual(self.fact("code_page"), 65001, "the manifest makes UTF-8 the code page")
        multibyte = self.calls["balloons"][2]
        self.assertEqual(multibyte["info"], "a" * 254)
        self.assertEqual(multibyte["title"], "e" * 62)

    def test_the_icon_comes_back_when_the_taskbar_is_created_anew(self):
        self.assertEqual(self.fact("removed_by_shell"), 1)
        self.assertEqual(self.fact("present_after_shell_lost_it"), 0)
        self.assertEqual(self.fact("present_after_taskbar_created"), 1)
        [readd] = self.calls["taskbar_created"]
        self.assertEqual(readd["message"], "ADD")
        self.assertEqual(int(readd["flags"]), NIF_MESSAGE_ICON_TIP, "the flags of the first add")
        self.assertEqual(readd["tip"], "T" + "t" * 126)
        self.assertEqual(readd["info"], "", "an earlier balloon is not shown again")

    def test_a_deleted_icon_stays_away(self):
        self.assertEqual(self.fact("delete"), 1)
        self.assertEqual(self.fact("present_after_delete"), 0)
        self.assertEqual(self.fact("present_after_delete_and_taskbar_created"), 0)
        self.assertEqual(self.fact("balloon_after_delete"), 0)
        self.assertEqual([c["message"] for c in self.calls["delete"]], ["DELETE", "MODIFY"],
                         "no re-add after the delete")

    def test_destruction_removes_the_icon_and_the_hidden_window(self):
        self.assertEqual(self.fact("present_before_destruction"), 1)
        self.assertEqual(self.fact("present_after_destruction"), 0)
        self.assertEqual(self.fact("hidden_window_after_destruction"), 0)
        self.assertEqual([c["message"] for c in self.calls["destruction"]], ["DELETE"])

    def test_without_an_owner_the_hidden_window_takes_the_callback_and_the_command(self):
        self.assertEqual(self.fact("ownerless_present"), 1)
        self.assertEqual(self.fact("ownerless_double_click"), 1)
        self.assertEqual(self.fact("ownerless_command"), ID_TRAY_VIEW)

    def test_without_a_menu_resource_nothing_is_shown_or_posted(self):
        self.assertEqual(self.fact("no_menu_double_click"), 0)
        self.assertEqual(self.fact("no_menu_right_click"), 0)
        self.assertNotIn("no_menu", self.events)


class TrayIconOnTheDesktop(unittest.TestCase):
    """TrayHost's magenta icon in the notification area, used with the real mouse."""

    @classmethod
    def setUpClass(cls):
        cls.session = winetest.WineSession()
        cls.addClassCleanup(cls.session.close)
        cls.host = TrayHost(cls.session)
        cls.shots = tempfile.mkdtemp(prefix="lullcast-tray-shots-")
        cls.host.keep_desktop(cls.shots)

    def shot(self, name):
        return Screenshot(self.session, os.path.join(self.shots, name + ".ppm"))

    def start(self, *balloon):
        # The icon of the previous test's host leaves the notification area a moment after that
        # host has ended; start from an empty one.
        before = wait_for(lambda: self.empty_notification_area("before"))
        self.assertIsNotNone(before, "an earlier icon stayed in the notification area")
        host = self.host.start("interactive", *balloon)
        self.addCleanup(host.process.stdout.close)
        self.addCleanup(self.session.stop_process, host.process)
        self.assertEqual(host.wait_for("ready"), "ready", host.seen)
        icon = wait_for(lambda: self.shot("after").box_of(MAGENTA, notification_area(before)))
        self.assertIsNotNone(icon, "the icon is not in the notification area")
        return host, before, icon

    def empty_notification_area(self, name):
        shot = self.shot(name)
        return shot if shot.box_of(MAGENTA, notification_area(shot)) is None else None

    def test_the_icon_shows_in_the_notification_area(self):
        host, before, icon = self.start()
        left, top, right, bottom = icon
        self.assertEqual((right - left, bottom - top), (16, 16), "a small icon, whole")
        self.assertGreater(top, before.height - 40, "on the taskbar at the bottom edge")

    def test_a_double_click_on_the_icon_posts_the_default_command(self):
        host, _, icon = self.start()
        double_click(self.session, centre(icon))
        self.assertEqual(host.wait_for("event command"), "event command %d posted" % ID_TRAY_VIEW, host.seen)

    def test_choosing_exit_in_the_icons_menu_ends_the_host(self):
        host, _, icon = self.start()
        right_click(self.session, centre(icon))
        self.assertIsNotNone(host.wait_for("event menu &View"), host.seen)
        exit_item = host.wait_for("event item 3 ")
        self.assertIsNotNone(exit_item, host.seen)
        left, top, right, bottom = (int(n) for n in exit_item.split()[3:])
        left_click(self.session, ((left + right) // 2, (top + bottom) // 2))
        self.assertEqual(host.wait_for("event command"), "event command %d posted" % ID_TRAY_EXIT, host.seen)
        self.assertEqual(host.process.wait(timeout=15), 0)

    def test_clicking_beside_the_menu_closes_it_without_a_command(self):
        host, _, icon = self.start()
        right_click(self.session, centre(icon))
        self.assertIsNotNone(host.wait_for("event item 3 "), host.seen)
        left_click(self.session, (300, 300))
        self.assertIsNotNone(host.wait_for("event menu closed"), host.seen)
        self.assertEqual([line for line in host.lines_within(1.5) if line.startswith("event command")], [])
        self.assertIsNone(self.host.menu_window())

    def test_a_balloon_shows_beside_the_icon(self):
        host, before, icon = self.start("A new item arrived", "Balloon title")
        # The shell shows a balloon a moment after it is asked for.
        above_icon = (icon[0] - 300, icon[1] - 120, before.width, icon[1])
        balloon = wait_for(lambda: self.shot("balloon").changed_box(before, above_icon))
        self.assertIsNotNone(balloon, "no balloon above the icon")
        self.assertGreater(balloon[2] - balloon[0], 50)
        self.assertGreater(balloon[3] - balloon[1], 20)


class ProgramIcon(unittest.TestCase):
    """Lullcast's own icon: added at start, removed at exit, with its menu and default command."""

    @classmethod
    def setUpClass(cls):
        cls.session = winetest.WineSession()
        cls.addClassCleanup(cls.session.close)
        cls.host = TrayHost(cls.session)
        folder = cls.session.install([build_file("Lullcast.exe"), build_file("Lullcast.dll")])
        cls.program = os.path.join(folder, "Lullcast.exe")
        cls.shots = tempfile.mkdtemp(prefix="lullcast-program-shots-")
        cls.host.keep_desktop(cls.shots)
        cls.empty_area = Screenshot(cls.session, os.path.join(cls.shots, "empty.ppm"))

    def shot(self, name):
        return Screenshot(self.session, os.path.join(self.shots, name + ".ppm"))

    def area_changes(self, name):
        """Where the notification area differs from how it looked before any program added an icon."""
        return self.shot(name).changed_box(self.empty_area, notification_area(self.empty_area))

    def start_program(self):
        process = self.session.spawn(self.program)
        self.addCleanup(self.stop_program, process)
        popup = wait_for(lambda: self.host.find(POPUP_CAPTION))
        self.assertTrue(popup, "the program's popup window did not come")
        return process, popup

    def icon_on_screen(self):
        icon = wait_for(lambda: self.area_changes("running"))
        self.assertIsNotNone(icon, "no icon in the notification area")
        return icon

    def stop_program(self, process):
        """Ends a copy that a test left running, the way that removes its icon, and waits until the
        notification area is empty again for the next test."""
        if self.host.menu_window():
            left_click(self.session, (300, 300))  # a copy ends only once its tray menu is closed
        if process.poll() is None:
            self.session.run(self.program, "/Uninstall")
        self.session.stop_process(process)
        wait_for(lambda: self.area_changes("cleanup") is None)

    def end_program(self, process):
        self.session.run(self.program, "/Uninstall")
        return process.wait(timeout=20)

    def test_the_menu_resource_holds_the_tray_commands(self):
        answer = self.host.ask("menu-of", "C:\\Lullcast\\Lullcast.exe", str(ICON_ID)).splitlines()
        self.assertEqual(answer, ["popup POPUP_MENU", "items " + MENU_ITEMS])

    def test_the_icon_is_added_at_start_and_removed_at_exit(self):
        process, popup = self.start_program()
        self.assertTrue(wait_for(lambda: self.host.icon_present(popup)), "no icon after start")
        self.icon_on_screen()
        self.assertEqual(self.end_program(process), 0)
        self.assertFalse(self.host.icon_present(popup), "the icon outlived the program")
        self.assertTrue(wait_for(lambda: self.area_changes("ended") is None),
                        "the icon is still drawn in the notification area")

    def test_a_double_click_on_the_icon_shows_the_popup(self):
        process, popup = self.start_program()
        icon = self.icon_on_screen()
        self.assertEqual(self.host.visibility(popup), "hidden")
        double_click(self.session, centre(icon))
        self.assertTrue(wait_for(lambda: self.host.visibility(popup) == "visible"), "the popup did not show")

    def test_exit_in_the_icons_menu_ends_the_program_with_code_0(self):
        process, popup = self.start_program()
        right_click(self.session, centre(self.icon_on_screen()))
        menu = wait_for(self.host.menu_window)
        self.assertIsNotNone(menu, "no menu after a right-click on the icon")
        left, top, right, bottom = menu
        # Exit is the last of the four rows; the menu's frame is a few pixels. The pointer rests
        # there a moment first, so that the icon's tip, which may cover the row, goes away.
        exit_row = ((left + right) // 2, bottom - 10)
        xdotool(self.session, "mousemove", *exit_row)
        time.sleep(1)
        left_click(self.session, exit_row)
        self.assertEqual(process.wait(timeout=20), 0)

    def test_the_icon_comes_back_after_the_taskbar_is_created_anew(self):
        process, popup = self.start_program()
        self.assertTrue(wait_for(lambda: self.host.icon_present(popup)))
        self.assertTrue(self.host.remove_icon(popup))
        self.assertFalse(self.host.icon_present(popup))
        self.host.broadcast_taskbar_created()
        self.assertTrue(wait_for(lambda: self.host.icon_present(popup)), "the icon did not come back")
        self.assertEqual(self.end_program(process), 0)


if __name__ == "__main__":
    unittest.main()
