"""What a crash leaves behind: a minidump in the user's CrashDumps folder that dump readers can
open, at most the five newest kept; and the restart registration Windows uses after an update.

The driver crashes the running copy from outside (a thread started at an unmapped address), so
the program itself carries no switch to crash.
"""
import glob
import os
import struct
import time
import unittest

import lullcast_e2e as e2e

E_NOTIMPL = "80004001"
EXCEPTION_ACCESS_VIOLATION = 0xC0000005
THREAD_LIST_STREAM, MODULE_LIST_STREAM, EXCEPTION_STREAM, SYSTEM_INFO_STREAM = 3, 4, 6, 7
KEPT = 5


def read_streams(data):
    """{stream type: bytes} of a minidump, after checking its header and stream directory."""
    signature, version, count, directory = struct.unpack_from("<4sIII", data, 0)
    if signature != b"MDMP":
        raise AssertionError("not a minidump: header %r" % data[:8])
    if directory + 12 * count > len(data):
        raise AssertionError("the stream directory lies beyond the file's end")
    streams = {}
    for i in range(count):
        kind, size, rva = struct.unpack_from("<III", data, directory + 12 * i)
        if rva + size > len(data):
            raise AssertionError("stream %d lies beyond the file's end" % kind)
        if kind:
            streams[kind] = data[rva:rva + size]
    return streams


def module_names(data, module_list):
    names = []
    (count,) = struct.unpack_from("<I", module_list, 0)
    for i in range(count):
        # MINIDUMP_MODULE: base (8), size (4), checksum (4), time stamp (4), then the name's RVA.
        (name_rva,) = struct.unpack_from("<I", module_list, 4 + 108 * i + 20)
        (length,) = struct.unpack_from("<I", data, name_rva)
        names.append(data[name_rva + 4:name_rva + 4 + length].decode("utf-16-le"))
    return names


class CrashDumpTest(unittest.TestCase):
    def setUp(self):
        self.desktop = e2e.LullcastDesktop()
        self.addCleanup(self.desktop.close)
        self.driver = self.desktop.driver

    def dump_folder(self):
        users = glob.glob(self.desktop.wine.drive_c("users", "*", "AppData", "Local"))
        users = [u for u in users if not os.path.basename(os.path.dirname(os.path.dirname(u))).lower() == "public"]
        self.assertEqual(len(users), 1, users)
        return os.path.join(users[0], "Lullcast", "CrashDumps")

    def test_crash_leaves_a_readable_dump_and_keeps_the_five_newest(self):
        # Six dumps of earlier crashes, a day apart, and one of the companion, which stays.
        folder = self.dump_folder()
        os.makedirs(folder)
        earlier = ["Lullcast-2026010%d-120000-42.dmp" % day for day in range(1, 7)]
        for day, name in enumerate(earlier + ["Lullcast32-20260101-120000-43.dmp"]):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(b"MDMP earlier")
            stamp = time.time() - 86400 * (30 - day)
            os.utime(os.path.join(folder, name), (stamp, stamp))

        popup = self.desktop.start_running_copy()
        self.driver.crash(popup.process)
        self.assertTrue(e2e.winetest.wait_for(lambda: self.desktop.running.poll() is not None, timeout=120),
                        "the program still runs after the crash")
        self.assertNotEqual(self.desktop.running.returncode, 0)

        dumps = sorted(n for n in os.listdir(folder) if n.startswith("Lullcast-"))
        new = [n for n in dumps if n not in earlier]
        self.assertEqual(len(new), 1, dumps)
        self.assertRegex(new[0], r"^Lullcast-\d{8}-\d{6}-\d+\.dmp$")
        self.assertEqual(len(dumps), KEPT, dumps)
        self.assertEqual(sorted(set(dumps) - set(new)), earlier[-(KEPT - 1):], "not the newest were kept")
        self.assertIn("Lullcast32-20260101-120000-43.dmp", os.listdir(folder))

        with open(os.path.join(folder, new[0]), "rb") as f:
            data = f.read()
        streams = read_streams(data)
        for kind in (THREAD_LIST_STREAM, MODULE_LIST_STREAM, EXCEPTION_STREAM, SYSTEM_INFO_STREAM):
            self.assertIn(kind, streams, "stream types: %s" % sorted(streams))
        # MINIDUMP_EXCEPTION_STREAM: the crashed thread, then the exception's code, flags, record
        # and address: the access violation at the address the driver started the thread at.
        thread_id, _, code, _, _, address = struct.unpack_from("<IIIIQQ", streams[EXCEPTION_STREAM], 0)
        self.assertEqual(code, EXCEPTION_ACCESS_VIOLATION)
        self.assertEqual(address, 0x10)
        self.assertNotEqual(thread_id, 0)
        names = [os.path.basename(n.replace("\\", "/")).lower() for n in module_names(data, streams[MODULE_LIST_STREAM])]
        self.assertIn("lullcast.exe", names)

    def test_the_running_copy_asks_to_be_restarted(self):
        popup = self.desktop.start_running_copy()
        try:
            flags, command_line = self.driver.restart_settings(popup.process)
        except e2e.DriverError as error:
            if E_NOTIMPL in str(error):
                self.skipTest("this Wine cannot tell a process's restart registration (%s)" % error)
            raise
        self.assertEqual((flags, command_line), (0, ""))


if __name__ == "__main__":
    unittest.main()
