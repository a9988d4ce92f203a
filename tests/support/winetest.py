"""The Wine test harness: runs the tests of a Windows build under Wine, and 32-bit programs under
an emulator where the kernel refuses them.

The sessions themselves (a private display, prefix and virtual desktop; the template prefix; the
choice of Wine's loader) are tools/wine_desktop.py's, which the run command uses too; this module
gives them the build under test and ctest's ways. Where the machine runs no 32-bit programs, the
tests of the i686 build are reported as skipped.

Such a machine may still run them through an emulator: Debian's qemu-user runs 32-bit Linux programs,
and a private user namespace (Linux 6.7 or later) may register it for 32-bit executables without
the rest of the machine seeing it. `emulate COMMAND` runs a command so: in a namespace of its own,
with the 32-bit loader under qemu-i386 and everything else native (the 64-bit loader for Wine's
own programs, the 64-bit wineserver), a template prefix of its own, and every time limit of the
tests multiplied by EMULATED_PATIENCE. There, 32-bit programs take about a minute to start.

Used as a library by the end-to-end tests, and from the command line:
    python3 tests/support/winetest.py template DIR    make the template prefix (once per test run)
    python3 tests/support/winetest.py probe           find out whether 32-bit programs run (exit 1
                                                      if not, printing why)
    python3 tests/support/winetest.py unittest MODULE run a test module of the build under test,
                                                      or skip it (exit 77) where its build cannot run
    python3 tests/support/winetest.py emulate [--only-where-needed] COMMAND...
                                                      run a command with 32-bit programs emulated
                                                      (exit 77 where that cannot be had, printing
                                                      why); with the option, only where the kernel
                                                      refuses 32-bit programs
                                                      (LULLCAST_EMULATE_32BIT=always: everywhere)
"""
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

from wine_desktop import (EMULATED, EMULATED_PATIENCE, FORCE_64_ONLY, SCREEN, WINE32_LOADER,  # noqa: E402,F401
                          WINESERVER64, OutputLines, WineSession, emulated, make_template, patience, probe,
                          template_dir, wait_for, wine32_missing, wine_command, wineserver_command)
from wine_desktop import _try_32bit  # noqa: E402

SKIPPED = 77  # the exit code by which ctest knows a skipped test
QEMU_I386 = "/usr/bin/qemu-i386"
EMULATE_WHEN = "LULLCAST_EMULATE_32BIT"
# binfmt_misc's record for 32-bit x86 ELF executables and shared objects; F: qemu-i386 is opened
# now, so that it is found from any mount namespace and root.
_BINFMT_I386 = (r":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
                r":\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff"
                ":" + QEMU_I386 + ":F")


def build_dir():
    """The Windows build under test, as the test registration names it."""
    return os.environ["LULLCAST_BUILD"]


def arch():
    return os.environ.get("LULLCAST_ARCH", "x86_64")


def build_file(*parts):
    """A file of the build under test; fails the test when it was not built."""
    path = os.path.join(build_dir(), *parts)
    if not os.path.exists(path):
        raise AssertionError("not built: %s is missing" % path)
    return path


def check_probe_cases(test, probe, cases):
    """Runs a probe of the Windows build that prints "ok NAME" or "failed NAME: WHY" for each of
    its cases, and fails `test` unless all `cases` of them ran and passed."""
    with WineSession() as session:
        code, out, err = session.run(build_file(*probe), timeout=120)
    lines = [line for line in out.splitlines() if line.strip()]
    test.assertEqual([line for line in lines if not line.startswith("ok ")], [], out + err)
    test.assertEqual(len(lines), cases, out + err)
    test.assertEqual(code, 0, out + err)


def add_build_arguments(parser):
    """The --arch and --build options of the benchmarks."""
    parser.add_argument("--arch", default="x86_64", choices=["x86_64", "i686"])
    parser.add_argument("--build", help="Windows build folder (default: $LULLCAST_BUILD, else build/windows-ARCH)")


def choose_build(args):
    """Names the build that the options chose as the build under test; returns its folder."""
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    build = os.path.abspath(args.build or os.environ.get("LULLCAST_BUILD") or
                            os.path.join(root, "build", "windows-" + args.arch))
    os.environ["LULLCAST_BUILD"] = build
    os.environ["LULLCAST_ARCH"] = args.arch
    return build


def build_version():
    """The release version that the build under test was made with."""
    with open(build_file("generated", "Version.h")) as f:
        for line in f:
            if line.startswith("#define LULLCAST_VERSION_TEXT "):
                return line.split('"')[1]
    raise AssertionError("no version in the build's Version.h")



def parse_reg_query(output):
    """`reg query` output as {value name: (type, data)}."""
    values = {}
    for line in output.splitlines():
        match = re.match(r"^\s+(\S+)\s+(REG_\w+)\s*(.*?)\s*$", line)
        if match:
            values[match.group(1)] = (match.group(2), match.group(3))
    return values



def run_test_module(module):
    """Runs a test module of the build under test; a module of a build that cannot run here is skipped."""
    needs_32bit = arch() == "i686" or os.environ.get("LULLCAST_NEEDS_WINE32", "") not in ("", "0")
    why = wine32_missing() if needs_32bit else ""
    if why:
        print("SKIPPED: %s: %s" % ("the i686 build is not tested" if arch() == "i686" else
                                   "32-bit programs are needed", why), flush=True)
        if not os.environ.get(FORCE_64_ONLY):
            print("(the e2e.emulated tests run a smoke set of it under the emulator; the whole suite: "
                  "python3 tests/support/winetest.py emulate ctest ...)", flush=True)
        return SKIPPED
    return subprocess.call([sys.executable, "-m", "unittest", "-v", module])


def _emulation_missing():
    """Why 32-bit programs cannot be emulated here, or ""."""
    for path, package in [(QEMU_I386, "qemu-user"), (WINE32_LOADER, "wine32:i386")]:
        if not os.path.exists(path):
            return "%s is not installed (no %s)" % (package, path)
    if not shutil.which("unshare"):
        return "unshare is not installed"
    return ""


def emulate(command, only_where_needed=False):
    """Runs the command with 32-bit programs under the emulator, in a user namespace of its own
    (see the top of this file); returns its exit code, or SKIPPED with the reason printed."""
    if emulated():
        return subprocess.call(command)
    if only_where_needed and os.environ.get(EMULATE_WHEN, "") != "always":
        runs, _ = _try_32bit()
        if runs:
            print("SKIPPED: this machine runs 32-bit programs itself, so the whole i686 suite runs without "
                  "the emulator (%s=always emulates anyway)" % EMULATE_WHEN, flush=True)
            return SKIPPED
    why = _emulation_missing()
    if why:
        print("SKIPPED: 32-bit programs cannot be emulated: %s" % why, flush=True)
        return SKIPPED
    return subprocess.call(["unshare", "--user", "--map-root-user", "--mount", "--",
                            sys.executable, os.path.abspath(__file__), "_in_namespace", *command])


def _in_namespace(command):
    """Inside the namespace: registers the emulator for 32-bit executables, then runs the command."""
    register = "/proc/sys/fs/binfmt_misc/register"
    try:
        subprocess.run(["mount", "-t", "binfmt_misc", "binfmt_misc", os.path.dirname(register)],
                       check=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
        with open(register, "w") as f:
            f.write(_BINFMT_I386)
    except subprocess.CalledProcessError as error:
        print("SKIPPED: 32-bit programs cannot be emulated: no binfmt_misc of a private user namespace "
              "(Linux 6.7 or later): %s" % error.stdout.decode(errors="replace").strip(), flush=True)
        return SKIPPED
    except OSError as error:
        print("SKIPPED: 32-bit programs cannot be emulated: the emulator cannot be registered in a private "
              "user namespace: %s" % error, flush=True)
        return SKIPPED
    os.environ[EMULATED] = "1"
    return subprocess.call(command)


# What the emulator writes when it, not the program, fails; and what Wine writes when its 32-bit
# exception dispatch did not survive the emulator (Lullcast raises and catches no exceptions).
_EMULATOR_FAULTS = re.compile(r"^(qemu: .*|qemu-i386: .*|wine: Unhandled illegal instruction.*)$", re.M)


def emulator_fault(text):
    """The emulator's own complaint in a program's error output, or ""."""
    found = _EMULATOR_FAULTS.search(text or "")
    return found.group(0) if found and emulated() else ""


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "template":
        make_template(template_dir(sys.argv[2]), probe_first=True)
    elif len(sys.argv) >= 3 and sys.argv[1] == "emulate":
        only = sys.argv[2] == "--only-where-needed"
        if len(sys.argv) < 3 + only:
            sys.exit(__doc__)
        sys.exit(emulate(sys.argv[2 + only:], only_where_needed=only))
    elif len(sys.argv) >= 3 and sys.argv[1] == "_in_namespace":
        sys.exit(_in_namespace(sys.argv[2:]))
    elif len(sys.argv) == 2 and sys.argv[1] == "probe":
        missing = probe(template_dir())
        print(missing)
        sys.exit(1 if missing else 0)
    elif len(sys.argv) == 3 and sys.argv[1] == "unittest":
        sys.exit(run_test_module(sys.argv[2]))
    else:
        sys.exit(__doc__)
