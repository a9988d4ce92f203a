#!/usr/bin/env python3
"""What Lullcast's window hook costs the other programs on the desktop.

Runs hookbench.exe (creates and destroys top-level windows one after the other) under Wine on one
virtual desktop, first with no Lullcast running, then with Lullcast running and its hook installed,
and prints both times and their ratio (the aim: at most 1.10). With --rounds N the pair is measured N
times, Lullcast being ended with /Uninstall between rounds, and the medians are compared as well.

    python3 tools/bench_hook.py [--build DIR | --arch x86_64|i686] [--windows 2000] [--rounds 1]

DIR is a Windows build folder holding Lullcast.exe, Lullcast.dll, lcdriver.exe and hookbench.exe
(default: build/windows-ARCH of this checkout, or $LULLCAST_BUILD).
"""
import argparse
import os
import re
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

TARGET_RATIO = 1.10


def run_bench(desktop, program, windows):
    process = desktop.wine.spawn(program, str(windows), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out, _ = process.communicate(timeout=1800)
    match = re.search(rb"windows (\d+) ms ([\d.]+)", out)
    if process.returncode != 0 or not match:
        raise SystemExit("hookbench failed (exit code %s): %r" % (process.returncode, out))
    return float(match.group(2))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--arch", default="x86_64", choices=["x86_64", "i686"])
    parser.add_argument("--build", help="Windows build folder (default: build/windows-ARCH)")
    parser.add_argument("--windows", type=int, default=2000)
    parser.add_argument("--rounds", type=int, default=1)
    args = parser.parse_args()

    build = args.build or os.environ.get("LULLCAST_BUILD") or os.path.join(ROOT, "build", "windows-" + args.arch)
    os.environ["LULLCAST_BUILD"] = os.path.abspath(build)
    os.environ["LULLCAST_ARCH"] = args.arch
    import lullcast_e2e as e2e

    desktop = e2e.LullcastDesktop()
    try:
        tools = desktop.wine.install([e2e.build_file("hookbench.exe")], folder="Tools")
        bench = os.path.join(tools, "hookbench.exe")
        without, with_hook = [], []
        for round_number in range(1, args.rounds + 1):
            without.append(run_bench(desktop, bench, args.windows))
            desktop.start_running_copy()
            with_hook.append(run_bench(desktop, bench, args.windows))
            if desktop.run("/Uninstall") != 0 or desktop.running.wait(timeout=60) != 0:
                raise SystemExit("Lullcast did not end cleanly after round %d" % round_number)
            print("round %d: %d windows without Lullcast %.1f ms, with Lullcast %.1f ms, ratio %.3f"
                  % (round_number, args.windows, without[-1], with_hook[-1], with_hook[-1] / without[-1]))
        if args.rounds > 1:
            a, b = statistics.median(without), statistics.median(with_hook)
            print("median: without Lullcast %.1f ms, with Lullcast %.1f ms, ratio %.3f" % (a, b, b / a))
        ratio = statistics.median(with_hook) / statistics.median(without)
        print("%s: ratio %.3f (target at most %.2f)" % (args.arch, ratio, TARGET_RATIO))
    finally:
        desktop.close()


if __name__ == "__main__":
    main()
