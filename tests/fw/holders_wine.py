"""The framework's holders on real system objects under Wine: holders_probe.exe (built by the
Windows build named in LULLCAST_BUILD) runs its cases and prints a line for each."""
import unittest

import winetest


class HoldersTest(unittest.TestCase):
    def test_cases(self):
        probe = winetest.build_file("tests", "fw", "holders_probe.exe")
        with winetest.WineSession() as session:
            code, out, err = session.run(probe, timeout=120)
        lines = [line for line in out.splitlines() if line.strip()]
        self.assertEqual([line for line in lines if not line.startswith("ok ")], [], out + err)
        self.assertEqual(len(lines), 4, out + err)
        self.assertEqual(code, 0, out + err)


if __name__ == "__main__":
    unittest.main()
