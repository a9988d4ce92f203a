"""The framework's asynchronous request on real windows and threads under Wine: asynccall_probe.exe
(built by the Windows build named in LULLCAST_BUILD) runs its cases and prints a line for each."""
import os
import unittest

import winetest


class AsyncCallTest(unittest.TestCase):
    def test_cases(self):
        probe = winetest.build_file("tests", "fw", "asynccall_probe.exe")
        with winetest.WineSession() as session:
            code, out, err = session.run(probe, timeout=120)
        lines = [line for line in out.splitlines() if line.strip()]
        self.assertEqual([line for line in lines if not line.startswith("ok ")], [], out + err)
        self.assertEqual(len(lines), 5, out + err)
        self.assertEqual(code, 0, out + err)


if __name__ == "__main__":
    unittest.main()
