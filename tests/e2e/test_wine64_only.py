"""The test harness on a machine that cannot run 32-bit programs, played on one that can.

There, Debian's wine, wineboot and wineserver wrappers fail ("Exec format error", exit 126) even
for 64-bit programs. This test puts such failing wrappers first on the PATH, forces the 64-bit-only
path with LULLCAST_WINE64_ONLY, and runs the harness as a test run does: a fresh template prefix,
one Wine test module of the x86_64 build (which must pass) and the same module of the i686 build
(which must be skipped, with the reason on its output).

LULLCAST_BUILDS names the folder that holds the windows-x86_64 and windows-i686 builds.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import winetest

HERE = os.path.dirname(os.path.abspath(__file__))
WINETEST = os.path.abspath(winetest.__file__)
MODULE = "test_hook_library"  # short, and it starts Lullcast and its hook on the desktop

FAILING_WRAPPER = """#!/bin/sh
echo "$0: /usr/lib/wine/wine: cannot execute binary file: Exec format error" >&2
exit 126
"""


class Wine64OnlyTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="lullcast-wine64-")
        self.addCleanup(shutil.rmtree, self.root, ignore_errors=True)
        wrappers = os.path.join(self.root, "bin")
        os.makedirs(wrappers)
        for name in ("wine", "wineboot", "wineserver"):
            path = os.path.join(wrappers, name)
            with open(path, "w") as f:
                f.write(FAILING_WRAPPER)
            os.chmod(path, 0o755)
        self.template = os.path.join(self.root, "template")
        self.env = dict(os.environ, PATH=wrappers + os.pathsep + os.environ["PATH"],
                        LULLCAST_WINE64_ONLY="1", LULLCAST_WINE_TEMPLATE=self.template)
        self.assertNotEqual(subprocess.run(["wine", "--version"], env=self.env, capture_output=True).returncode, 0,
                            "the failing wrapper is not the one found on the PATH")

    def harness(self, *args, arch=None, timeout=900):
        env = dict(self.env)
        if arch:
            env.update(LULLCAST_ARCH=arch, LULLCAST_BUILD=os.path.join(os.environ["LULLCAST_BUILDS"], "windows-" + arch))
        result = subprocess.run([sys.executable, WINETEST, *args], env=env, cwd=HERE, timeout=timeout,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        return result.returncode, result.stdout

    def test_x86_64_runs_through_the_64_bit_loader_and_i686_is_skipped(self):
        code, out = self.harness("template", self.template, timeout=600)
        self.assertEqual(code, 0, "the template was not made through the 64-bit loader:\n" + out)
        self.assertTrue(os.path.exists(os.path.join(self.template, "system.reg")), os.listdir(self.template))

        code, out = self.harness("unittest", MODULE, arch="x86_64")
        self.assertEqual(code, 0, out)
        self.assertRegex(out, r"Ran [1-9]\d* tests? in .*\n\nOK\b")
        self.assertNotIn("skipped", out.lower())

        code, out = self.harness("unittest", MODULE, arch="i686")
        self.assertEqual(code, winetest.SKIPPED, out)
        self.assertIn("SKIPPED: the i686 build is not tested", out)
        self.assertIn("LULLCAST_WINE64_ONLY", out)
        self.assertNotIn("Ran ", out)


if __name__ == "__main__":
    unittest.main()
