"""The harness's namespace for emulated 32-bit programs (`tests/support/winetest.py emulate`): qemu-i386 is
registered for 32-bit executables inside it and nowhere else, and a 32-bit Windows program started
in a session there runs under the emulator while Wine's own programs run natively. Skipped where
the emulator cannot be had, with the reason.

LULLCAST_BUILDS names the folder that holds the windows-i686 build.
"""
import os
import subprocess
import sys
import time
import unittest

import winetest

HERE = os.path.dirname(os.path.abspath(__file__))
WINETEST = os.path.abspath(winetest.__file__)
ENTRY = "/proc/sys/fs/binfmt_misc/qemu-i386"


def emulate(*command):
    """(exit code, output) of a command run through the harness's namespace."""
    result = subprocess.run([sys.executable, WINETEST, "emulate", *command], cwd=HERE, timeout=900,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return result.returncode, result.stdout


class EmulatedNamespaceTest(unittest.TestCase):
    def run_emulated(self, *command):
        code, out = emulate(*command)
        if code == winetest.SKIPPED and out.startswith("SKIPPED: 32-bit programs cannot be emulated"):
            self.skipTest(out.strip())
        self.assertEqual(code, 0, out)
        return out

    def test_the_emulator_is_registered_inside_the_namespace_only(self):
        registered_outside = os.path.exists(ENTRY)
        out = self.run_emulated("sh", "-c", "cat %s && echo emulated=$%s" % (ENTRY, winetest.EMULATED))
        self.assertIn("enabled", out)
        self.assertIn("interpreter " + winetest.QEMU_I386, out)
        self.assertIn("flags: F", out)
        self.assertIn("emulated=1", out)
        self.assertEqual(os.path.exists(ENTRY), registered_outside, "the registration leaked out of the namespace")

    def test_a_32bit_program_runs_under_the_emulator_beside_a_native_wineserver(self):
        out = self.run_emulated(sys.executable, os.path.abspath(__file__), "start-driver")
        fields = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        self.assertEqual(fields.get("bits"), "32", out)
        self.assertEqual(fields.get("program"), winetest.QEMU_I386, out)
        self.assertEqual(fields.get("wineserver"), os.path.realpath(winetest.WINESERVER64), out)
        print("one 32-bit start under the emulator (driver ready): %s s" % fields.get("seconds"))


def _processes_of(prefix, name):
    """The ids of the processes of that prefix whose command line names `name`."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                command = f.read()
            with open("/proc/%s/environ" % pid, "rb") as f:
                environment = f.read().split(b"\0")
        except OSError:
            continue
        if name.encode() in command and ("WINEPREFIX=" + prefix).encode() in environment:
            yield pid


def start_driver():
    """In the namespace: starts the i686 build's driver in a session; prints what it runs as."""
    import lullcast_e2e as e2e

    build = os.path.join(os.environ["LULLCAST_BUILDS"], "windows-i686")
    with winetest.WineSession() as session:
        tools = session.install([os.path.join(build, "lcdriver.exe")], folder="Tools")
        started = time.monotonic()
        driver = e2e.Driver(session, os.path.join(tools, "lcdriver.exe"))
        print("seconds=%.1f" % (time.monotonic() - started))
        print("bits=%d" % driver.bits)
        for name in ("lcdriver.exe", "wineserver"):
            exes = {os.path.realpath("/proc/%s/exe" % pid) for pid in _processes_of(session.prefix, name)}
            print("%s=%s" % ("program" if name == "lcdriver.exe" else name, ",".join(sorted(exes))))
        driver.close()


if __name__ == "__main__":
    if sys.argv[1:] == ["start-driver"]:
        start_driver()
    else:
        unittest.main()
