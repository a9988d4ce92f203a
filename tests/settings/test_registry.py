"""The settings store on Wine's registry.

RegistryProbe reads and writes the settings through the application object's profile, at the key the
program uses; `wine reg` seeds the values beforehand and reads them back afterwards. Last, the program
itself is started and ended and must leave no value behind.
"""
import os
import re
import subprocess
import time
import unittest

import winetest
from winetest import build_file

ROOT = r"HKCU\Software\Kestrova"
KEY = ROOT + r"\Lullcast\Lullcast\Settings"
POPUP_CAPTION = "Lullcast - Idlewaven"
FIRST_RUN = {"Interval": "1", "Notify": "1", "Channels": "65535", "PreferredChannel": "0", "FeedCount": "0"}


class RegistrySession(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = winetest.WineSession()
        cls.addClassCleanup(cls.session.close)
        folder = cls.session.install([build_file("tests", "settings", "RegistryProbe.exe")], folder="Tools")
        cls.probe_path = os.path.join(folder, "RegistryProbe.exe")

    def setUp(self):
        self.session.wine("reg", "delete", ROOT, "/f")

    def reg_add(self, name, kind, data):
        code, output = self.session.wine("reg", "add", KEY, "/v", name, "/t", kind, "/d", data, "/f")
        self.assertEqual(code, 0, "reg add %s %s %s: %s" % (name, kind, data, output))

    def stored(self):
        code, output = self.session.wine("reg", "query", KEY)
        return winetest.parse_reg_query(output) if code == 0 else {}

    def exported(self, name):
        """A string value as the registry holds it, in Unicode (`reg query` prints it in a narrow code page)."""
        path = self.session.drive_c("export.reg")
        code, output = self.session.wine("reg", "export", KEY, "C:\\export.reg", "/y")
        self.assertEqual(code, 0, output)
        with open(path, encoding="utf-16") as f:
            text = f.read()
        match = re.search(r'^"%s"="(.*)"$' % re.escape(name), text, re.MULTILINE)
        return match.group(1) if match else None

    def probe(self, *args):
        code, out, err = self.session.run(self.probe_path, *args)
        self.assertEqual(code, 0, "RegistryProbe %s: %s" % (" ".join(args), err))
        return out.replace("\r\n", "\n")

    def load(self):
        return dict(line.split("=", 1) for line in self.probe("load").splitlines())


class SettingsInTheRegistry(RegistrySession):
    def test_an_empty_registry_gives_the_first_run_settings(self):
        self.assertEqual(self.load(), FIRST_RUN)

    def test_values_seeded_at_the_programs_key_are_read(self):
        self.reg_add("Interval", "REG_DWORD", "5")
        self.reg_add("Notify", "REG_DWORD", "0")
        self.reg_add("Channels", "REG_DWORD", "0x15")
        self.reg_add("PreferredChannel", "REG_DWORD", "0xffffffff")
        self.reg_add("Feed1", "REG_SZ", "http://one.test/rss")
        self.reg_add("Feed2", "REG_SZ", "http://two.test/rss?a=1&b=2")
        self.reg_add("Feed4", "REG_SZ", "http://four.test/rss")
        self.assertEqual(self.load(), {
            "Interval": "5", "Notify": "0", "Channels": "21", "PreferredChannel": "-1", "FeedCount": "2",
            "Feed1": "http://one.test/rss", "Feed2": "http://two.test/rss?a=1&b=2"})

    def test_values_of_the_wrong_type_or_size_give_the_defaults(self):
        self.reg_add("Interval", "REG_SZ", "5")
        self.reg_add("Notify", "REG_BINARY", "00000000")  # four bytes, but not a number
        self.reg_add("Channels", "REG_QWORD", "5")
        self.reg_add("PreferredChannel", "REG_BINARY", "0300")
        self.reg_add("Feed1", "REG_EXPAND_SZ", "http://expand.test/")
        self.reg_add("Feed2", "REG_SZ", "http://after.test/")
        self.assertEqual(self.stored()["Channels"][0], "REG_QWORD")
        self.assertEqual(self.load(), FIRST_RUN)
        self.reg_add("Feed1", "REG_DWORD", "1")
        self.assertEqual(self.load()["FeedCount"], "0")

    def test_a_long_address_is_read_whole(self):
        address = "http://long.test/" + "x" * 4000
        self.reg_add("Feed1", "REG_SZ", address)
        self.assertEqual(self.load()["Feed1"], address)

    def test_an_address_outside_ascii_keeps_its_characters(self):
        address = "http://b\u00fccher.test/\u20ac"
        self.reg_add("Feed1", "REG_SZ", address)
        self.assertEqual(self.load()["Feed1"], address)
        self.probe("save-settings", "1", "1", "1", "255", address + "/2")
        self.assertEqual(self.exported("Feed1"), address + "/2")

    def test_settings_saved_after_the_dialog_are_found_at_the_key(self):
        for n in (1, 2, 3, 5):
            self.reg_add("Feed%d" % n, "REG_SZ", "http://old%d.test/" % n)
        self.probe("save-settings", "3", "15", "0", "0x21", "http://a.test/", "http://b.test/")
        stored = self.stored()
        self.assertEqual(stored["Interval"], ("REG_DWORD", "0xf"))
        self.assertEqual(stored["Notify"], ("REG_DWORD", "0x0"))
        self.assertEqual(stored["Channels"], ("REG_DWORD", "0x21"))
        self.assertEqual(stored["Feed1"], ("REG_SZ", "http://a.test/"))
        self.assertEqual(stored["Feed2"], ("REG_SZ", "http://b.test/"))
        self.assertNotIn("Feed3", stored, "the value the shorter list no longer reaches is deleted")
        self.assertEqual(stored["Feed5"], ("REG_SZ", "http://old5.test/"), "values beyond the old list stay")
        self.assertNotIn("PreferredChannel", stored)

    def test_a_saved_value_replaces_one_of_the_wrong_type(self):
        self.reg_add("Interval", "REG_SZ", "5")
        self.probe("save-settings", "0", "30", "1", "255")
        self.assertEqual(self.stored()["Interval"], ("REG_DWORD", "0x1e"))
        self.assertEqual(self.load()["Interval"], "30")

    def test_my_feeds_is_stored_as_all_ones_and_read_back(self):
        self.probe("save-channel", "-1")
        self.assertEqual(self.stored(), {"PreferredChannel": ("REG_DWORD", "0xffffffff")})
        self.assertEqual(self.load()["PreferredChannel"], "-1")
        self.probe("save-channel", "6")
        self.assertEqual(self.stored(), {"PreferredChannel": ("REG_DWORD", "0x6")})


class RegistryProfile(RegistrySession):
    """The application object's profile functions on their own."""

    def test_a_string_of_any_length_is_written_and_read_whole(self):
        text = "".join(chr(ord("a") + n % 26) for n in range(20000))
        self.assertEqual(self.probe("write-string", "Settings", "Long", text), "ok\n")
        self.assertEqual(self.probe("get-string", "Settings", "Long", "default"), "length=20000\n[%s]\n" % text)

    def test_a_string_stored_without_its_terminator_ends_with_its_data(self):
        self.assertEqual(self.probe("write-unterminated", "Settings", "Bare", "http://bare.test/"), "ok\n")
        self.assertEqual(self.probe("get-string", "Settings", "Bare", "default"), "length=17\n[http://bare.test/]\n")

    def test_writing_no_string_deletes_the_value(self):
        self.reg_add("Gone", "REG_SZ", "soon")
        self.assertEqual(self.probe("delete", "Settings", "Gone"), "ok\n")
        self.assertNotIn("Gone", self.stored())
        self.assertEqual(self.probe("get-string", "Settings", "Gone", "default"), "length=7\n[default]\n")

    def test_the_section_keys_are_created_on_first_access(self):
        self.assertEqual(self.probe("get-int", "Fresh", "Anything", "7"), "7\n")
        code, _ = self.session.wine("reg", "query", ROOT + r"\Lullcast\Lullcast\Fresh")
        self.assertEqual(code, 0, "the section's key exists after a read")

    def test_a_dword_is_taken_and_anything_else_gives_the_default(self):
        self.reg_add("Number", "REG_DWORD", "0x12345678")
        self.assertEqual(self.probe("get-int", "Settings", "Number", "7"), "%d\n" % 0x12345678)
        for kind, data in (("REG_BINARY", "78563412"), ("REG_BINARY", "01"), ("REG_SZ", "305419896"),
                           ("REG_QWORD", "0x12345678"), ("REG_DWORD_BIG_ENDIAN", "0x12345678")):
            self.reg_add("Number", kind, data)
            self.assertEqual(self.probe("get-int", "Settings", "Number", "7"), "7\n", kind)

    def test_no_handle_is_left_open(self):
        before, after = (int(line.split("=")[1]) for line in self.probe("handles", "300").splitlines())
        self.assertNotEqual(before, 0)
        self.assertEqual(after, before, "a key opened afterwards gets another handle: one was left open")


class ProgramLeavesTheRegistryAlone(unittest.TestCase):
    """Settings are written only when the user changes them: never at start, refresh or exit."""

    def test_a_start_and_an_exit_write_no_value(self):
        with winetest.WineSession() as session:
            folder = session.install([build_file("Lullcast.exe"), build_file("Lullcast.dll")])
            program = os.path.join(folder, "Lullcast.exe")
            process = session.spawn(program)
            # The first refresh comes 10 seconds after start.
            time.sleep(12)
            self.assertIsNone(process.poll(), "the program ended by itself")
            session.run(program, "/Uninstall")
            self.assertEqual(process.wait(timeout=30), 0)
            code, output = session.wine("reg", "query", ROOT, "/s")
            self.assertEqual(winetest.parse_reg_query(output), {}, output)


if __name__ == "__main__":
    unittest.main()
