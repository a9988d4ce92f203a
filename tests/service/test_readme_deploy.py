"""The README's deployment, run as written: its commands in order as root, on this machine made
to look fresh and kept unchanged (deploy_sandbox.py: private namespaces and a writable layer over
the system's folders), then reports sent through nginx and counted in PostgreSQL."""
import json
import os
import shutil
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPOSITORY = os.path.abspath(os.path.join(HERE, "..", ".."))


def sandbox_works():
    if os.geteuid() != 0 or not shutil.which("unshare") or not os.path.isdir("/etc/postgresql/15/main"):
        return False
    return subprocess.run(["unshare", "-m", "-n", "-p", "-f", "--mount-proc", "true"],
                          capture_output=True).returncode == 0


@unittest.skipUnless(sandbox_works(), "needs root, unshare and Debian's PostgreSQL 15 cluster (bash tools/setup.sh)")
class ReadmeDeploymentTest(unittest.TestCase):
    def test_the_documented_commands_deploy_a_service_that_stores_every_report(self):
        with tempfile.TemporaryDirectory(prefix="lullcast-readme-") as folder:
            result = subprocess.run(["unshare", "-m", "-n", "-p", "-f", "--mount-proc", "/usr/bin/python3",
                                     os.path.join(HERE, "deploy_sandbox.py"), REPOSITORY, folder],
                                    capture_output=True, text=True, timeout=240)
        self.assertEqual(result.returncode, 0, result.stderr[-3000:])
        found = json.loads(result.stdout.strip().splitlines()[-1])
        for step in found["steps"]:
            self.assertEqual(step["status"], 0, "%s\n%s" % (step["commands"], step["output"]))
        self.assertIn("verify lullcast.service: 0", found["systemctl"])
        self.assertTrue(found["healthy"], "/healthz did not answer 200")
        self.assertEqual((found["answered"], found["stored"]), (200, "200"), "answered against stored")
        self.assertEqual(found["schema_version"], "2")
        self.assertEqual(found["from_elsewhere"], {"/healthz": 403, "/metrics": 403, "/preset_feeds.xml": 200})
        self.assertIn(429, found["limited"], "no rate limit on reports")
        self.assertEqual(found["default_site"], 404, "Debian's default site is still served")
        self.assertIn("[News]\nhttp://news.example.org/feeds/news-1.xml\n", found["preset_list"])
        self.assertRegex(found["report"][:2000], r"\nNews +200 +0\n")
        self.assertTrue(found["pid_file"])
        self.assertGreater(found["access.log"] or 0, 0)
        self.assertIsNotNone(found["error.log"])
        self.assertEqual(set(found["gunicorn_user"]), {"lullcast"})


if __name__ == "__main__":
    unittest.main()
