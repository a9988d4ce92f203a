#!/usr/bin/env python3
"""What Lullcast's window watching costs: the other programs, and the popup itself.

Hook cost. Runs hookbench.exe (creates and destroys top-level windows one after the other) under Wine
on one virtual desktop, in many short rounds; each round measures once with no Lullcast running and
once with Lullcast running and its hook installed, in alternating order, so that a machine whose load
changes during the run weighs on both alike. It prints each round's ratio (with / without), their
median and spread (lowest, quartiles, highest), and the ratio of the fastest runs of each kind. The
aim: a median of at most 1.10.

Popup cost (--idle-windows N): with Lullcast running and N idle top-level windows of another program
on the desktop, the CPU time that Lullcast's process (and the Wine server, which serves its calls)
takes over --seconds, as a share of one core. The aim: under 1 %.

    python3 bench/bench_hook.py [--build DIR | --arch x86_64|i686] [--windows 300] [--rounds 15] [--compare DIR2]
    python3 bench/bench_hook.py [--build DIR | --arch x86_64|i686] --idle-windows 200 [--seconds 30]

DIR is a Windows build folder holding Lullcast.exe, Lullcast.dll, lcdriver.exe and hookbench.exe
(default: build/windows-ARCH of this checkout, or $LULLCAST_BUILD). With --compare, the Lullcast.exe
and Lullcast.dll of DIR2 (another build of the same bitness, an older one say) take part in the same
rounds as a third kind, so that two builds are compared under the same load.
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path[:0] = [os.path.join(ROOT, "tests", "support"), os.path.join(ROOT, "service")]
import winetest  # noqa: E402

TARGET_RATIO = 1.10
TARGET_CPU_PERCENT = 1.0


def run_bench(desktop, program, windows):
    process = desktop.wine.spawn(program, str(windows), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out, _ = process.communicate(timeout=1800)
    match = re.search(rb"windows (\d+) ms ([\d.]+)", out)
    if process.returncode != 0 or not match:
        raise SystemExit("hookbench failed (exit code %s): %r" % (process.returncode, out))
    return float(match.group(2))


def stop_lullcast(desktop, round_number):
    if desktop.run("/Uninstall") != 0 or desktop.running.wait(timeout=60) != 0:
        raise SystemExit("Lullcast did not end cleanly in round %d" % round_number)


def quartiles(values):
    if len(values) < 2:
        return values[0], values[0], values[0]
    q1, q2, q3 = statistics.quantiles(values, n=4)
    return q1, q2, q3


def summary(e2e, label, ratios, fastest, fastest_without):
    q1, median, q3 = quartiles(ratios)
    print("%s %s: median ratio %.3f over %d rounds (lowest %.3f, quartiles %.3f-%.3f, highest %.3f; target at most %.2f)"
          % (e2e.arch(), label, median, len(ratios), min(ratios), q1, q3, max(ratios), TARGET_RATIO))
    # Other programs' load only ever adds time: the fastest run of each kind is the least disturbed.
    print("%s %s: fastest runs: without Lullcast %.1f ms, with it %.1f ms, ratio %.3f"
          % (e2e.arch(), label, fastest_without, fastest, fastest / fastest_without))


def bench_hook(desktop, e2e, args):
    tools = desktop.wine.install([e2e.build_file("hookbench.exe")], folder="Tools")
    bench = os.path.join(tools, "hookbench.exe")
    folders = {"Lullcast": desktop.folder}
    if args.compare:
        folders["other build"] = desktop.wine.install(
            [os.path.join(args.compare, e2e.PROGRAM), os.path.join(args.compare, e2e.HOOK_LIBRARY)], folder="Other")
    kinds = ["without"] + list(folders)

    def measure(kind, round_number):
        if kind == "without":
            return run_bench(desktop, bench, args.windows)
        desktop.folder = folders[kind]
        try:
            desktop.start_running_copy()
            elapsed = run_bench(desktop, bench, args.windows)
            stop_lullcast(desktop, round_number)
        finally:
            desktop.folder = folders["Lullcast"]
        return elapsed

    run_bench(desktop, bench, args.windows)  # warm-up: the first run pays for loading
    times = {kind: [] for kind in kinds}
    for round_number in range(1, args.rounds + 1):
        # The order turns from round to round, so that a change of load weighs on every kind alike.
        shift = round_number % len(kinds)
        for kind in kinds[shift:] + kinds[:shift]:
            times[kind].append(measure(kind, round_number))
        print("round %2d, %d windows: %s" % (round_number, args.windows, ", ".join(
            "%s %.1f ms" % (kind, times[kind][-1]) for kind in kinds)), flush=True)
    for kind in kinds[1:]:
        ratios = [a / b for a, b in zip(times[kind], times["without"])]
        summary(e2e, kind, ratios, min(times[kind]), min(times["without"]))


def cpu_seconds(pid):
    """User and system CPU time of a Linux process so far, in seconds."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def process_of_prefix(prefix, matches):
    """The Linux process of the Wine prefix whose command line matches, or None."""
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % name, "rb") as f:
                if not matches(f.read().decode("utf-8", "replace").split("\0")):
                    continue
            with open("/proc/%s/environ" % name, "rb") as f:
                if ("WINEPREFIX=" + prefix).encode() in f.read().split(b"\0"):
                    return int(name)
        except OSError:
            continue
    return None


def bench_idle(desktop, e2e, args):
    desktop.start_running_copy()
    for i in range(args.idle_windows):
        desktop.driver.create("Idle window %d" % i, (20 + i % 40 * 10, 20 + i % 30 * 10, 300, 120))
    time.sleep(5)  # the reports of the new windows are handled
    # The started process is Wine's launcher; the program runs in a process of its own.
    prefix = desktop.wine.prefix
    pids = {"Lullcast": process_of_prefix(prefix, lambda args: args[0].endswith("\\Lullcast.exe")),
            "wineserver": process_of_prefix(prefix, lambda args: os.path.basename(args[0]).startswith("wineserver"))}
    if not pids["Lullcast"]:
        raise SystemExit("Lullcast's process was not found")
    before = {name: cpu_seconds(pid) for name, pid in pids.items() if pid}
    started = time.monotonic()
    time.sleep(args.seconds)
    elapsed = time.monotonic() - started
    after = {name: cpu_seconds(pid) for name, pid in pids.items() if pid}
    for name in before:
        used = after[name] - before[name]
        print("%s: %s took %.2f s of CPU in %.1f s with %d idle windows on the desktop: %.2f %% of one core%s"
              % (e2e.arch(), name, used, elapsed, args.idle_windows, 100 * used / elapsed,
                 " (target under %.0f %%)" % TARGET_CPU_PERCENT if name == "Lullcast" else
                 " (shared with the driver and the desktop)"))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    winetest.add_build_arguments(parser)
    parser.add_argument("--windows", type=int, default=300)
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--compare", metavar="DIR", help="another build folder, measured in the same rounds")
    parser.add_argument("--idle-windows", type=int, default=0)
    parser.add_argument("--seconds", type=float, default=30)
    args = parser.parse_args()

    winetest.choose_build(args)
    import lullcast_e2e as e2e

    desktop = e2e.LullcastDesktop()
    try:
        if args.idle_windows:
            bench_idle(desktop, e2e, args)
        else:
            bench_hook(desktop, e2e, args)
    finally:
        desktop.close()


if __name__ == "__main__":
    main()
