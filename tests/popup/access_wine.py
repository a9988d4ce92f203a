"""The popup's accessible objects as a screen reader reaches them, under Wine.

AccessProbe (built by the Windows build named in LULLCAST_BUILD) shows a stand-in for the popup's
bottom row: the link bar, the menu icon and the item view, each answering WM_GETOBJECT through the
program's accessible objects. A second AccessProbe process reads them through
AccessibleObjectFromWindow, as a screen reader does; the same reading is also done inside the
host's own process. Wine 8 carries the objects across processes (COM marshals IAccessible through
its type library).
"""
import os
import re
import subprocess
import unittest

import winetest

ROLE_SYSTEM_CLIENT = 10
ROLE_SYSTEM_LINK = 30
ROLE_SYSTEM_BUTTONMENU = 57
STATE_SYSTEM_FOCUSED = 0x4
STATE_SYSTEM_FOCUSABLE = 0x100000
STATE_SYSTEM_LINKED = 0x400000
REFUSED = ("80010108", "800401fd", "800706b5")  # RPC_E_DISCONNECTED, CO_E_OBJNOTCONNECTED, RPC_S_UNKNOWN_IF
LINK_BAR, MENU_ICON, ITEM_VIEW = 1002, 1013, 1000


def parse_reading(text):
    """AccessProbe's reading as ({control id: fields}, {(control id, child): fields})."""
    objects, children = {}, {}
    for line in text.replace("\r\n", "\n").splitlines():
        fields = dict(re.findall(r"(\w+)=(\[[^\]]*\]|\S+)", line))
        fields = {k: v[1:-1] if v.startswith("[") else v for k, v in fields.items()}
        words = line.split()
        if words[0] == "object":
            objects[int(words[1])] = fields
        elif words[0] == "child":
            children[(int(words[1]), int(words[2]))] = fields
    return objects, children


class AccessHost:
    """AccessProbe host in the session, spoken to one line at a time."""

    def __init__(self, session, program):
        self.process = session.spawn(program, "host", stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.output = winetest.OutputLines(self.process)
        ready = self.output.next(60)
        if not ready or not ready.startswith("ready "):
            raise AssertionError("AccessProbe host did not start: %r" % ready)
        numbers = [int(n) for n in ready.split()[1:]]
        self.handle = numbers[0]
        self.bar = tuple(numbers[1:5])
        self.words = [tuple(numbers[i:i + 2]) for i in range(5, 11, 2)]

    def ask(self, line):
        self.process.stdin.write((line + "\n").encode("utf-8"))
        self.process.stdin.flush()
        answer = self.output.next(30)
        if not answer or not answer.startswith("ok"):
            raise AssertionError("%s: %r" % (line, answer))
        return answer[3:]

    def close(self):
        if self.process.poll() is None:
            self.ask("quit")
            self.process.wait(timeout=30)


class AccessibleObjects(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = winetest.WineSession()
        cls.addClassCleanup(cls.session.close)
        folder = cls.session.install([winetest.build_file("tests", "popup", "AccessProbe.exe")], folder="Tools")
        cls.probe_path = os.path.join(folder, "AccessProbe.exe")

    def setUp(self):
        self.host = AccessHost(self.session, self.probe_path)
        self.addCleanup(self.host.close)

    def run_probe(self, *args):
        code, out, err = self.session.run(self.probe_path, *[str(a) for a in args])
        self.assertEqual(code, 0, "AccessProbe %s: %s%s" % (" ".join(str(a) for a in args), out, err))
        return out

    def read(self):
        return parse_reading(self.run_probe("read", self.host.handle))

    def test_the_link_bar_has_three_links_named_by_their_words(self):
        objects, children = self.read()
        self.assertEqual(objects[LINK_BAR]["children"], "3", objects)
        self.assertEqual(objects[LINK_BAR]["first"], "1")
        for child, name in enumerate(("Previous", "Next", "Feed"), start=1):
            link = children[(LINK_BAR, child)]
            self.assertEqual(link["name"], name)
            self.assertEqual(int(link["role"]), ROLE_SYSTEM_LINK, name)
            self.assertEqual(int(link["state"]), STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED, name)
            self.assertEqual(link["action"], "Jump", name)
            self.assertEqual(link["next"], str(child + 1) if child < 3 else "none")
            self.assertEqual(link["previous"], str(child - 1) if child > 1 else "none")

    def test_each_link_lies_where_its_word_is_drawn_and_is_found_there(self):
        _, children = self.read()
        left, top, right, bottom = self.host.bar
        for child, (begin, end) in enumerate(self.host.words, start=1):
            link = children[(LINK_BAR, child)]
            self.assertEqual(link["location"], "%d,%d,%d,%d" % (left + begin, top, end - begin, bottom - top))
            self.assertEqual(link["hit"], str(child), "the hit test at the link's middle")

    def test_the_menu_icon_and_the_item_view_are_named(self):
        objects, _ = self.read()
        self.assertEqual((objects[MENU_ICON]["name"], int(objects[MENU_ICON]["role"])),
                         ("Channel menu", ROLE_SYSTEM_BUTTONMENU))
        self.assertEqual(objects[MENU_ICON]["action"], "Open")
        # Before an item is shown, the view keeps the standard object's name; then the title is its name.
        self.assertEqual(objects[ITEM_VIEW]["name"], "The item's text")
        title = "Stürme über dem Hafen \u2014 \u6e2f"
        self.host.ask("title " + title)
        objects, _ = self.read()
        self.assertEqual(objects[ITEM_VIEW]["name"], title)
        self.assertEqual(int(objects[ITEM_VIEW]["role"]), ROLE_SYSTEM_CLIENT)

    def test_default_actions_reach_the_window_as_clicks_would(self):
        for control, child in ((LINK_BAR, 1), (LINK_BAR, 3), (LINK_BAR, 2), (MENU_ICON, 0), (ITEM_VIEW, 0)):
            self.assertEqual(self.run_probe("act", self.host.handle, control, child).strip(), "done 00000000")
        self.assertEqual(self.host.ask("events"), "action link 0|action link 2|action link 1|action menu|action view")

    def test_the_focused_link_is_told(self):
        self.host.ask("focus 1")
        _, children = self.read()
        self.assertTrue(int(children[(LINK_BAR, 2)]["state"]) & STATE_SYSTEM_FOCUSED)
        self.assertFalse(int(children[(LINK_BAR, 1)]["state"]) & STATE_SYSTEM_FOCUSED)
        self.host.ask("focus -1")
        _, children = self.read()
        self.assertFalse(int(children[(LINK_BAR, 2)]["state"]) & STATE_SYSTEM_FOCUSED)

    def test_the_same_reading_in_the_hosts_own_process(self):
        local = self.run_probe("local")
        ready, _, reading = local.replace("\r\n", "\n").partition("\n")
        other_host = [int(n) for n in ready.split()[2:]]
        self.assertEqual(other_host[4:], [n for word in self.host.words for n in word])
        objects, children = parse_reading(reading)
        remote_objects, remote_children = self.read()
        strip = lambda table: {k: {f: v for f, v in fields.items() if f not in ("location", "hit")}
                               for k, fields in table.items()}
        self.assertEqual(strip(children), strip(remote_children))
        self.assertEqual(objects, remote_objects)

    def test_after_disconnecting_a_screen_reader_holding_the_object_is_refused(self):
        holder = self.session.spawn(self.probe_path, "hold", str(self.host.handle),
                                    stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        lines = winetest.OutputLines(holder)
        self.assertEqual(lines.next(30), "name [Previous]")
        self.assertEqual(lines.next(30), "holding")
        self.host.ask("disconnect")
        holder.stdin.write(b"\n")
        holder.stdin.flush()
        # The object's own answer is RPC_E_DISCONNECTED; once COM has cut the connection, Wine's
        # proxy answers RPC_S_UNKNOWN_IF before the call gets there (Windows: RPC_E_DISCONNECTED).
        self.assertIn(lines.next(30), ["name error:" + code for code in REFUSED])
        holder.wait(timeout=30)
        # A new reader gets the system's standard objects again.
        objects, children = self.read()
        self.assertEqual((objects[LINK_BAR]["children"], children), ("0", {}))
        self.assertEqual(objects[LINK_BAR]["name"], "Previous | Next | Feed | ")

    def test_the_announcement_of_a_new_item_is_raised_where_the_system_can(self):
        # Wine 8 has no UiaRaiseNotificationEvent: the announcement is then a no-op that says so.
        answer = self.host.ask("announce A new item")
        self.assertIn(answer, ("raised", "unavailable"))
        self.assertEqual(self.read()[0][LINK_BAR]["children"], "3", "the host went on answering")


if __name__ == "__main__":
    unittest.main()
