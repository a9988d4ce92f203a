"""The framework's holders on real system objects under Wine: holders_probe.exe (built by the
Windows build named in LULLCAST_BUILD) runs its cases and prints a line for each."""
import unittest

import winetest


class HoldersTest(unittest.TestCase):
    def test_cases(self):
        winetest.check_probe_cases(self, ("tests", "fw", "holders_probe.exe"), 4)


if __name__ == "__main__":
    unittest.main()
