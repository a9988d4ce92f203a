"""The layers of the source tree: no include and no library points back up, and the check
itself sees the arrows it is meant to see."""
import os
import tempfile
import unittest

import layers

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


class SourceTree(unittest.TestCase):
    def test_no_arrow_points_back_up(self):
        found = layers.arrows(ROOT)
        self.assertEqual(layers.violations(found), [])

    def test_the_popup_is_seen_using_what_it_uses(self):
        # The check reads the real tree: the arrows it must find are there.
        found = layers.arrows(ROOT)
        for used in ("feeds", "settings", "tray", "hook", "res", "fw"):
            self.assertGreater(found[("popup", used, "include")], 0, used)
        self.assertGreater(found[("app", "popup", "include")], 0)


class Check(unittest.TestCase):
    """Small trees made for the purpose, each with one arrow of a kind."""

    def tree(self, files):
        top = tempfile.TemporaryDirectory()
        self.addCleanup(top.cleanup)
        for name in ("app", "popup", "settings", "tray", "feeds", "hook", "res", "fw", "tests/popup"):
            os.makedirs(os.path.join(top.name, name), exist_ok=True)
        for name, text in files.items():
            with open(os.path.join(top.name, name), "w") as file:
                file.write(text)
        return top.name

    def wrong(self, files):
        return layers.violations(layers.arrows(self.tree(files)))

    def test_an_include_from_below_is_reported_with_its_folders(self):
        wrong = self.wrong({"settings/CStore.cpp": '#include "fw/CString.h"\n#include "popup/CNimbrelDlg.h"\n',
                            "fw/CString.h": "", "popup/CNimbrelDlg.h": ""})
        self.assertEqual(wrong, [("settings", "popup", "include", 1)])

    def test_an_include_from_above_is_allowed(self):
        wrong = self.wrong({"popup/CNimbrelDlg.cpp": '#include "settings/CSettings.h"\n#include "hook/WatchMessages.h"\n'
                                                     '#include "res/Resource.h"\n#include "CNimbrelDlg.h"\n',
                            "popup/CNimbrelDlg.h": ""})
        self.assertEqual(wrong, [])

    def test_a_relative_include_counts_where_it_lands(self):
        wrong = self.wrong({"res/Lullcast.rc": '#include <windows.h>\n#include "../app/Resource.h"\n',
                            "app/Resource.h": ""})
        self.assertEqual(wrong, [("res", "app", "include", 1)])

    def test_the_framework_uses_nothing_of_the_program(self):
        wrong = self.wrong({"fw/CWnd.cpp": '  #  include "tray/CSystemTray.h"\n'})
        self.assertEqual(wrong, [("fw", "tray", "include", 1)])

    def test_a_library_linked_from_below_is_reported(self):
        cmake = ("add_library(settings_portable STATIC CSettings.cpp)\n"
                 "# target_link_libraries(settings_portable PUBLIC app_portable) is only a comment\n"
                 "target_link_libraries(settings_portable PUBLIC fw_portable\n"
                 "                      popup_portable)\n")
        wrong = self.wrong({"settings/CMakeLists.txt": cmake})
        self.assertEqual(wrong, [("settings", "popup", "cmake", 1)])

    def test_a_source_compiled_from_below_is_reported(self):
        cmake = "add_executable(probe probe.cpp ${CMAKE_SOURCE_DIR}/popup/ItemText.cpp)\n"
        self.assertEqual(self.wrong({"tray/CMakeLists.txt": cmake}), [("tray", "popup", "cmake", 1)])

    def test_a_test_folder_uses_what_its_subject_uses(self):
        files = {"tests/popup/ItemTextTest.cpp": '#include "popup/ItemText.h"\n#include "settings/CSettings.h"\n'
                                                 '#include "tests/FuzzCheck.h"\n'}
        self.assertEqual(self.wrong(files), [])
        files = {"tests/popup/ItemTextTest.cpp": '#include "app/CNimbrelApp.h"\n'}
        self.assertEqual(self.wrong(files), [("tests/popup", "app", "include", 1)])


if __name__ == "__main__":
    unittest.main()
