"""The release can be checked by anyone: a second build of the same source, in another folder and
at another time, gives the same bytes as the first, and a signed release verifies against the
certificate authority it was signed under and gives back those bytes once its signatures are
removed.

The first build is the one the native build made (LULLCAST_BUILDS: windows-x86_64, windows-i686
and the installer in dist/); the second copies the source elsewhere and builds only what the
installer ships, in Release, as tools/release.sh does.
"""
import glob
import hashlib
import os
import shutil
import subprocess
import tempfile
import time
import unittest

SOURCE = os.environ["LULLCAST_SOURCE"]
BUILDS = os.environ["LULLCAST_BUILDS"]
TARGETS = {"x86_64": ["Lullcast", "LullcastHook"],
           "i686": ["Lullcast", "LullcastHook", "Lullcast32", "LullcastHook32"]}
SHIPPED = {"x86_64": ["Lullcast.exe", "Lullcast.dll"],
           "i686": ["Lullcast.exe", "Lullcast.dll", "Lullcast32.exe", "Lullcast32.dll"]}


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def run(*args, **kwargs):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kwargs)


def installer_in(folder):
    found = glob.glob(os.path.join(folder, "Lullcast-*-setup.exe"))
    if len(found) != 1:
        raise AssertionError("expected one installer in %s, found %s" % (folder, found))
    return found[0]


def source_files():
    """The files of the source as they are in the work tree: tracked or new, not ignored."""
    out = run("git", "-C", SOURCE, "ls-files", "-z", "--cached", "--others", "--exclude-standard").stdout
    return [name for name in out.split("\0") if name and os.path.isfile(os.path.join(SOURCE, name))]


def make_ca(folder, name):
    """A certificate authority and a code signing certificate under it: (CA file, PKCS#12, password file)."""
    os.makedirs(folder)
    path = lambda f: os.path.join(folder, f)
    with open(path("leaf.cnf"), "w") as f:
        f.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
    with open(path("password"), "w") as f:
        f.write("throwaway %s\n" % name)
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=%s CA" % name,
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
        "-keyout", path("ca.key"), "-out", path("ca.crt"))
    run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=%s publisher" % name,
        "-keyout", path("leaf.key"), "-out", path("leaf.csr"))
    run("openssl", "x509", "-req", "-in", path("leaf.csr"), "-CA", path("ca.crt"), "-CAkey", path("ca.key"),
        "-CAcreateserial", "-days", "2", "-extfile", path("leaf.cnf"), "-out", path("leaf.crt"))
    run("openssl", "pkcs12", "-export", "-inkey", path("leaf.key"), "-in", path("leaf.crt"),
        "-certfile", path("ca.crt"), "-passout", "file:" + path("password"), "-out", path("leaf.p12"))
    return path("ca.crt"), path("leaf.p12"), path("password")


class ReproducibleReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.first = {arch: os.path.join(BUILDS, "windows-" + arch) for arch in TARGETS}
        cls.first_installer = installer_in(os.path.join(BUILDS, "dist"))
        cls.epoch = run("git", "-C", SOURCE, "log", "-1", "--format=%ct").stdout.strip()
        cls.tmp = tempfile.mkdtemp(prefix="lullcast-elsewhere-")
        try:
            source = os.path.join(cls.tmp, "another", "source")
            for name in source_files():
                os.makedirs(os.path.dirname(os.path.join(source, name)), exist_ok=True)
                shutil.copy(os.path.join(SOURCE, name), os.path.join(source, name))
            cls.second = {}
            for arch, targets in TARGETS.items():
                build = os.path.join(cls.tmp, "build-" + arch)
                started = time.monotonic()
                run("cmake", "-G", "Ninja", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                    "-DCMAKE_TOOLCHAIN_FILE=%s/cmake/mingw-%s.cmake" % (source, arch))
                run("nice", "-n", "10", "cmake", "--build", build, "-j2", "--target", *targets)
                print("second %s build: %.0f s" % (arch, time.monotonic() - started), flush=True)
                cls.second[arch] = build
            cls.env = dict(os.environ, SOURCE_DATE_EPOCH=cls.epoch)
            for name in ("LULLCAST_SIGN_PKCS12", "LULLCAST_SIGN_PASSWORD_FILE", "LULLCAST_SIGNED_COPIES"):
                cls.env.pop(name, None)
            cls.unsigned = run("bash", os.path.join(source, "tools", "make_installer.sh"),
                               cls.second["x86_64"], cls.second["i686"], os.path.join(cls.tmp, "dist"),
                               env=cls.env).stdout
            cls.source = source
        except BaseException:
            shutil.rmtree(cls.tmp, ignore_errors=True)
            raise

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_second_build_elsewhere_gives_the_same_bytes(self):
        pairs = [(os.path.join(self.first[arch], name), os.path.join(self.second[arch], name))
                 for arch, names in SHIPPED.items() for name in names]
        pairs.append((self.first_installer, installer_in(os.path.join(self.tmp, "dist"))))
        for first, second in pairs:
            with self.subTest(file=os.path.relpath(first, BUILDS)):
                self.assertEqual(sha256(first), sha256(second))
                print("%s  %s" % (sha256(first), os.path.relpath(first, BUILDS)))
        # The package manager's manifest, which names the installer by its sum, is the same too.
        manifests = sorted(os.listdir(os.path.join(BUILDS, "dist", "winget")))
        self.assertEqual(len(manifests), 3, manifests)
        self.assertEqual(manifests, sorted(os.listdir(os.path.join(self.tmp, "dist", "winget"))))
        for name in manifests:
            with self.subTest(manifest=name):
                self.assertEqual(sha256(os.path.join(BUILDS, "dist", "winget", name)),
                                 sha256(os.path.join(self.tmp, "dist", "winget", name)))
        # Nothing of the folder the second build was made in is left in what it made.
        for _, second in pairs:
            with open(second, "rb") as f:
                self.assertNotIn(self.tmp.encode(), f.read(), second)
        self.assertIn("unsigned:", self.unsigned)

    def test_signed_release_verifies_and_gives_back_the_unsigned_bytes(self):
        ca, pkcs12, password = make_ca(os.path.join(self.tmp, "ca"), "Throwaway")
        other_ca, _, _ = make_ca(os.path.join(self.tmp, "other-ca"), "Unrelated")
        copies = os.path.join(self.tmp, "signed-copies")
        env = dict(self.env, LULLCAST_SIGN_PKCS12=pkcs12, LULLCAST_SIGN_PASSWORD_FILE=password,
                   LULLCAST_SIGNED_COPIES=copies)
        out = run("bash", os.path.join(self.source, "tools", "make_installer.sh"),
                  self.second["x86_64"], self.second["i686"], os.path.join(self.tmp, "signed"), env=env).stdout
        self.assertNotIn("unsigned", out)
        installer = installer_in(os.path.join(self.tmp, "signed"))
        signed = {os.path.join("64", name): os.path.join(self.second["x86_64"], name) for name in SHIPPED["x86_64"]}
        signed.update({os.path.join("32", name): os.path.join(self.second["i686"], name) for name in SHIPPED["i686"]})
        files = [os.path.join(copies, name) for name in signed] + [os.path.join(copies, "Uninstall.exe"), installer]
        for path in files:
            with self.subTest(file=os.path.basename(path)):
                verify = subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", path],
                                        capture_output=True, text=True)
                self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
                self.assertIn("Signature verification: ok", verify.stdout)
                self.assertIn("CN=Throwaway publisher", verify.stdout)
                wrong = subprocess.run(["osslsigncode", "verify", "-CAfile", other_ca, "-in", path],
                                       capture_output=True, text=True)
                self.assertNotEqual(wrong.returncode, 0, "verified under a CA that did not sign it")
        # The sums published beside the signed installer are the signed installer's.
        with open(os.path.join(self.tmp, "signed", "SHA256SUMS")) as f:
            self.assertEqual(f.read().split(), [sha256(installer), os.path.basename(installer)])
        with open(os.path.join(self.tmp, "signed", "winget", "Kestrova.Lullcast.installer.yaml")) as f:
            self.assertEqual(f.read().count("InstallerSha256: %s\n" % sha256(installer).upper()), 2)
        # A signed program or library, its signature removed, is the unsigned build byte for byte,
        # and the build itself was left unsigned.
        for name, unsigned in signed.items():
            with self.subTest(stripped=name):
                stripped = os.path.join(self.tmp, "stripped-" + name.replace(os.sep, "-"))
                run("osslsigncode", "remove-signature", "-in", os.path.join(copies, name), "-out", stripped)
                self.assertEqual(sha256(stripped), sha256(unsigned))
                arch = "x86_64" if name.startswith("64") else "i686"
                self.assertEqual(sha256(unsigned), sha256(os.path.join(self.first[arch], os.path.basename(name))))


if __name__ == "__main__":
    unittest.main()
