"""The installer under Wine, as a user meets it: a silent install into a fresh prefix, an upgrade
over the running copy, a silent uninstall; and the version resource of every binary it ships.

The installer is the one the native build made in dist/ (LULLCAST_BUILDS names that build); the
prefix is a 64-bit one, so the 64-bit program is installed with its 32-bit companion.
"""
import glob
import os
import unittest

import winetest
from traydesktop import POPUP_CAPTION, TrayHost, wait_for

BUILDS = os.environ.get("LULLCAST_BUILDS", "")
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lullcast"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
SETTINGS_KEY = r"HKCU\Software\Kestrova\Lullcast\Lullcast\Settings"
SHIPPED = ["Lullcast.exe", "Lullcast.dll", "Lullcast32.exe", "Lullcast32.dll", "Uninstall.exe"]


def installer():
    found = glob.glob(os.path.join(BUILDS, "dist", "Lullcast-*-setup.exe"))
    if len(found) != 1:
        raise AssertionError("expected one installer in %s, found %s" % (os.path.join(BUILDS, "dist"), found))
    return found[0]


class InstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.version = winetest.build_version()
        cls.session = winetest.WineSession()
        try:
            cls.setup = os.path.join(cls.session.install([installer()], folder="Download"),
                                     os.path.basename(installer()))
            cls.host = TrayHost(cls.session)
        except BaseException:
            cls.session.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def reg(self, key, value=None):
        """The data of a registry value (or the whole key's text with value None); None when absent."""
        args = ["reg", "query", key] + (["/v", value] if value else [])
        code, out = self.session.wine(*args)
        if code != 0:
            return None
        if value is None:
            return out
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) == 3 and parts[0] == value:
                return parts[2]
        return None

    def install_folder(self):
        folders = glob.glob(self.session.drive_c("users", "*", "AppData", "Local", "Programs", "Lullcast"))
        return folders[0] if folders else None

    def start_menu_entry(self):
        return glob.glob(self.session.drive_c("users", "*", "AppData", "Roaming", "Microsoft", "Windows",
                                              "Start Menu", "Programs", "Lullcast.lnk"))

    def running_popup(self):
        return wait_for(lambda: self.host.find(POPUP_CAPTION), timeout=30)

    def run_setup(self, *args):
        code, out, err = self.session.run(self.setup, *args, timeout=180)
        self.assertEqual(code, 0, err)

    def test_install_upgrade_and_uninstall(self):
        # A silent install: the files, the Start-menu entry, the uninstall entry, autostart, and
        # the program running with its icon in the notification area.
        self.run_setup("/S")
        folder = self.install_folder()
        self.assertIsNotNone(folder, "nothing installed under AppData\\Local\\Programs")
        self.assertEqual(sorted(os.listdir(folder)), sorted(SHIPPED))
        self.assertEqual(len(self.start_menu_entry()), 1)
        windows_folder = self.reg(UNINSTALL_KEY, "InstallLocation")
        self.assertTrue(windows_folder and windows_folder.endswith(r"\AppData\Local\Programs\Lullcast"), windows_folder)
        self.assertEqual(self.reg(UNINSTALL_KEY, "DisplayName"), "Lullcast")
        self.assertEqual(self.reg(UNINSTALL_KEY, "DisplayVersion"), self.version)
        self.assertEqual(self.reg(UNINSTALL_KEY, "Publisher"), "Kestrova")
        self.assertEqual(self.reg(UNINSTALL_KEY, "UninstallString"), '"%s\\Uninstall.exe"' % windows_folder)
        self.assertGreater(int(self.reg(UNINSTALL_KEY, "EstimatedSize"), 16), 0)
        self.assertEqual(self.reg(RUN_KEY, "Lullcast"), '"%s\\Lullcast.exe"' % windows_folder)
        first = self.running_popup()
        self.assertTrue(first, "Lullcast is not running after the install")
        self.assertTrue(wait_for(lambda: self.host.icon_present(first)), "no icon in the notification area")

        # An upgrade over the running copy: the old copy is ended, a new one runs, settings stay.
        self.session.wine("reg", "add", SETTINGS_KEY, "/v", "Interval", "/t", "REG_DWORD", "/d", "7", "/f")
        self.run_setup("/S")
        self.assertTrue(wait_for(lambda: self.host.visibility(first) == "none"), "the old copy still runs")
        second = self.running_popup()
        self.assertTrue(second, "no copy runs after the upgrade")
        self.assertNotEqual(second, first)
        self.assertEqual(self.reg(SETTINGS_KEY, "Interval"), "0x7")
        self.assertEqual(sorted(os.listdir(folder)), sorted(SHIPPED))

        # A silent uninstall: the running copy ends, nothing is left but the settings.
        self.session.run(os.path.join(folder, "Uninstall.exe"), "/S", timeout=120)
        self.assertTrue(wait_for(lambda: not os.path.exists(folder), timeout=60),
                        "left behind: %s" % (os.listdir(folder) if os.path.exists(folder) else ""))
        self.assertTrue(wait_for(lambda: self.host.visibility(second) == "none"), "the program still runs")
        self.assertEqual(self.start_menu_entry(), [])
        self.assertIsNone(self.reg(UNINSTALL_KEY))
        self.assertIsNone(self.reg(RUN_KEY, "Lullcast"))
        self.assertEqual(self.reg(SETTINGS_KEY, "Interval"), "0x7")

    def test_every_binary_carries_the_version(self):
        shipped = {"x86_64": ["Lullcast.exe", "Lullcast.dll"],
                   "i686": ["Lullcast.exe", "Lullcast.dll", "Lullcast32.exe", "Lullcast32.dll"]}
        probe = os.path.join(self.session.install([winetest.build_file("tests", "release", "VersionProbe.exe")],
                                                  folder="Versions"), "VersionProbe.exe")
        names = []
        for arch, files in shipped.items():
            self.session.install([os.path.join(BUILDS, "windows-" + arch, f) for f in files],
                                 folder=os.path.join("Versions", arch))
            names += [arch + "\\" + f for f in files]
        self.session.install([installer()], folder="Versions")
        names.append(os.path.basename(installer()))
        code, out, err = self.session.run(probe, *names)
        self.assertEqual(code, 0, err)
        values = {}
        for line in out.splitlines():
            name, _, pair = line.partition(" ")
            key, _, value = pair.partition("=")
            values.setdefault(name, {})[key] = value.strip()
        for name in names:
            with self.subTest(file=name):
                found = values.get(name, {})
                self.assertEqual(found.get("ProductName"), "Lullcast", found)
                self.assertEqual(found.get("ProductVersion"), self.version, found)
                self.assertEqual(found.get("FileVersion"), self.version, found)
                self.assertEqual(found.get("FileVersionNumber"), self.version + ".0", found)
                self.assertTrue(found.get("FileDescription"), found)
                self.assertIn("Kestrova", found.get("LegalCopyright", ""), found)


if __name__ == "__main__":
    unittest.main()
