"""The framework's asynchronous request on real windows and threads under Wine: asynccall_probe.exe
(built by the Windows build named in LULLCAST_BUILD) runs its cases and prints a line for each."""
import unittest

import winetest


class AsyncCallTest(unittest.TestCase):
    def test_cases(self):
        winetest.check_probe_cases(self, ("tests", "fw", "asynccall_probe.exe"), 5)


if __name__ == "__main__":
    unittest.main()
