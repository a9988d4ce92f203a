"""The installer under Wine, as a user meets it: a silent install into a fresh prefix, as the
Windows package manager makes it from the manifest beside the installer, an upgrade over the
running copy, a silent uninstall; and the version resource of every binary it ships.

The installer is the one the native build made in dist/ (LULLCAST_BUILDS names that build); the
prefix is a 64-bit one, so the 64-bit program is installed with its 32-bit companion.
"""
import glob
import hashlib
import os
import unittest

import yaml

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


def manifest():
    """The three files of the package manager's manifest, by their ManifestType."""
    found = {}
    for path in glob.glob(os.path.join(BUILDS, "dist", "winget", "*.yaml")):
        with open(path, encoding="utf-8") as f:
            document = yaml.safe_load(f)
        found[document["ManifestType"]] = document
    return found


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
        # A silent install, with the switch the package manager's manifest gives: the files, the
        # Start-menu entry, the uninstall entry, autostart, and the program running with its icon
        # in the notification area.
        winget = manifest()
        self.assertEqual(sorted(winget), ["defaultLocale", "installer", "version"])
        setup = winget["installer"]
        self.run_setup(*setup["InstallerSwitches"]["Silent"].split())
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
        self.check_manifest(winget, windows_folder)
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

    def check_manifest(self, winget, windows_folder):
        """The manifest describes the installer and finds the uninstall entry the install wrote."""
        setup = winget["installer"]
        for document in winget.values():
            self.assertEqual(document["PackageIdentifier"], "Kestrova.Lullcast")
            self.assertEqual(str(document["PackageVersion"]), self.version)
        self.assertEqual(winget["version"]["DefaultLocale"], winget["defaultLocale"]["PackageLocale"])
        self.assertEqual(setup["InstallerType"], "nullsoft")
        with open(installer(), "rb") as f:
            data = f.read()
        self.assertIn(b"Nullsoft", data)
        # Per user: the entry is the current user's, the files in the user's own folder.
        self.assertEqual(setup["Scope"], "user")
        self.assertIn("\\AppData\\Local\\", windows_folder)
        self.assertEqual(setup["InstallerSwitches"]["SilentWithProgress"], setup["InstallerSwitches"]["Silent"])
        code = setup["ProductCode"]
        self.assertIsNotNone(self.reg(UNINSTALL_KEY.rsplit("\\", 1)[0] + "\\" + code), "no uninstall entry " + code)
        entry = setup["AppsAndFeaturesEntries"][0]
        self.assertEqual(entry["ProductCode"], code)
        self.assertEqual(entry["DisplayName"], self.reg(UNINSTALL_KEY, "DisplayName"))
        self.assertEqual(entry["Publisher"], self.reg(UNINSTALL_KEY, "Publisher"))
        self.assertEqual(str(entry["DisplayVersion"]), self.reg(UNINSTALL_KEY, "DisplayVersion"))
        self.assertEqual(winget["defaultLocale"]["Publisher"], self.reg(UNINSTALL_KEY, "Publisher"))
        self.assertEqual(winget["defaultLocale"]["PackageName"], self.reg(UNINSTALL_KEY, "DisplayName"))
        self.assertEqual(sorted(i["Architecture"] for i in setup["Installers"]), ["x64", "x86"])
        for entry in setup["Installers"]:
            self.assertEqual(entry["InstallerSha256"], hashlib.sha256(data).hexdigest().upper())
            self.assertTrue(entry["InstallerUrl"].startswith("https://"), entry["InstallerUrl"])
            self.assertTrue(entry["InstallerUrl"].endswith("/" + os.path.basename(installer())), entry["InstallerUrl"])

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
