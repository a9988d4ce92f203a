"""The shipped files: what they import and export, and their format.

The program and its hook library run on a bare Windows: they may import system DLLs only, never a
compiler runtime; the hook library exports its hook procedure by its plain name.
"""
import os
import re
import subprocess
import unittest

import lullcast_e2e as e2e

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
    "comctl32.dll", "comdlg32.dll", "msvcrt.dll", "urlmon.dll", "wininet.dll", "gdiplus.dll", "msimg32.dll",
    "shlwapi.dll", "uxtheme.dll", "version.dll", "winmm.dll", "ws2_32.dll", "riched20.dll", "imm32.dll",
    "crypt32.dll", "secur32.dll", "rpcrt4.dll", "ntdll.dll", "msxml3.dll", "msxml6.dll", "oleacc.dll", "bcrypt.dll",
}
SHIPPED = ["Lullcast.exe", "Lullcast.dll"]
# The 32-bit build also makes the companion that goes beside the 64-bit program.
if e2e.arch() == "i686":
    SHIPPED += [e2e.COMPANION, e2e.COMPANION_LIBRARY]
HOOK_LIBRARIES = [name for name in SHIPPED if name.endswith(".dll")]


def objdump(path):
    tool = "%s-w64-mingw32-objdump" % e2e.arch()
    return subprocess.run([tool, "-p", path], check=True, capture_output=True, text=True, timeout=60).stdout


def exported_names(dump):
    match = re.search(r"\[Ordinal/Name Pointer\] Table\n(.*?)(?:\n\s*\n|\Z)", dump, re.S)
    return [] if not match else re.findall(r"\]\s+(\S+)", match.group(1))


class BinariesTest(unittest.TestCase):
    def test_only_system_dlls_are_imported(self):
        for name in SHIPPED:
            with self.subTest(file=name):
                imports = re.findall(r"DLL Name: (\S+)", objdump(e2e.build_file(name)))
                self.assertTrue(imports, "no imports found")
                foreign = [dll for dll in imports if dll.lower() not in SYSTEM_DLLS]
                self.assertEqual(foreign, [], "imports beyond the system DLLs")

    def test_hook_library_exports_the_hook_procedure_undecorated(self):
        for name in HOOK_LIBRARIES:
            with self.subTest(file=name):
                self.assertEqual(exported_names(objdump(e2e.build_file(name))), ["TidewellHookProc"])

    def test_format_matches_the_build(self):
        expected = {"x86_64": "PE32+", "i686": "PE32"}[e2e.arch()]
        for name in SHIPPED:
            with self.subTest(file=name):
                match = re.search(r"^Magic\s+\S+\s+\((PE32\+?)\)", objdump(e2e.build_file(name)), re.M)
                self.assertIsNotNone(match, "no PE optional header")
                self.assertEqual(match.group(1), expected)


if __name__ == "__main__":
    unittest.main()
