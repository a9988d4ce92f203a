#!/usr/bin/env python3
"""What Lullcast's window hook costs the other programs, counted rather than timed.

Under Wine every call a program makes into the window system is a request to the Wine server, and a
system-wide hook adds its own requests to every window event of every program: the hook chain's
(start_hook_chain, get_hook_info for CallNextHookEx, finish_hook_chain) and those of what the hook
does (a posted message is a get_window_info and a send_message). This benchmark counts them: the
Wine server runs with its request trace on (wineserver -d1: a line for each request, named, after
the id of the thread that made it), and hookbench.exe, which creates and destroys top-level windows
one after the other, runs once in each case, each on a desktop of its own:

    no hook             no window hook on the desktop;
    floor hook          floorhook.exe has installed FloorHook.dll, a hook that posts one message to a
                        window of its installer for each window event a watcher must hear of (a
                        window created, activated, moved or sized, minimised or maximised, destroyed)
                        and passes the event on: the least that any hook reporting window events pays;
    Lullcast.exe alone  Lullcast.exe of the build runs without its hook library: what its own
                        windows on the desktop cost the others' windows (Wine walks the top-level
                        windows when it places and activates a window);
    Lullcast            Lullcast.exe of the build runs, its hook from Lullcast.dll installed;
    other build         (with --compare) the same with another build's Lullcast.exe and Lullcast.dll.

It prints, for each case, the requests that hookbench's threads make per window created and
destroyed, with the requests that differ from the no-hook case; then the ratios Lullcast / no hook
and Lullcast / floor hook (and the other build's, and Lullcast / other build); and last what the
hook itself adds per window (Lullcast against Lullcast.exe alone) set against what the floor hook
adds (against no hook).

Only the windows after hookbench's first are counted: the requests from its second window's
creation to its last window's creation, divided by their number. The first window pays once for
what a process pays once (loading the hook library, looking up the window to post to), and the
program's start and end are left out too. The counts do not depend on the machine's load; they
vary by a few hundredths from run to run (messages from the X server come at their own pace).

    python3 bench/bench_hook_requests.py [--build DIR | --arch x86_64|i686] [--windows 200] [--compare DIR2]

DIR is a Windows build folder holding Lullcast.exe, Lullcast.dll, lcdriver.exe, hookbench.exe,
floorhook.exe and FloorHook.dll (default: build/windows-ARCH of this checkout, or $LULLCAST_BUILD).
DIR2 needs only Lullcast.exe and Lullcast.dll, of the same bitness (an older build, say). With 200
windows a run takes about a minute.
"""
import argparse
import collections
import os
import re
import subprocess
import sys
import threading

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path[:0] = [os.path.join(ROOT, "tests", "support"), os.path.join(ROOT, "service")]
import bench_hook  # noqa: E402
import winetest  # noqa: E402

WORKLOAD = "hookbench.exe"
WORKLOAD_WINDOW_CLASS = "LullcastBenchWindow"  # the class of hookbench's windows
FLOOR_INSTALLER = "floorhook.exe"
FLOOR_LIBRARY = "FloorHook.dll"
ALONE = "Lullcast.exe alone"  # Lullcast running without its hook library
WAIT = 600  # seconds that a program of the benchmark may take, traced, on a loaded machine

# A line of the server's trace: "TID: name( arguments )" for a request, "TID: name() = ..." for its
# reply; other lines (fd passing, wake-ups, signals) start with "TID: *".
_LINE = re.compile(r"([0-9a-f]+): ([a-z_0-9]+)\((\))?")
_FIRST_THREAD = re.compile(r"pid=([0-9a-f]+), tid=([0-9a-f]+)")
_NEW_THREAD = re.compile(r"tid=([0-9a-f]+)")
_IMAGE = re.compile(r'imagepath=L"((?:[^"\\]|\\.)*)"')


class WorkloadRun:
    """The requests of one run of the workload, by name, counted from its second window on."""

    def __init__(self, process):
        self.process = process
        self.windows = 0
        self.requests = collections.Counter()
        self._second = None
        self._last = None

    def request(self, name, line):
        self.requests[name] += 1
        if name == "create_window" and ('class=L"%s"' % WORKLOAD_WINDOW_CLASS) in line:
            self.windows += 1
            if self.windows == 2:
                self._second = self.requests.copy()
            elif self.windows > 2:
                self._last = self.requests.copy()

    def per_window(self):
        """{request name: requests per window}, over the windows from the second to the last."""
        if self.windows < 3:
            raise ValueError("a run of %d windows counts none: at least 3 are needed" % self.windows)
        counted = self.windows - 2
        return {name: (self._last[name] - self._second[name]) / counted
                for name in self._last if self._last[name] != self._second[name]}


class RequestCounter:
    """Reads the Wine server's trace line by line and counts the requests of the workload's processes.

    The trace names a request's thread only; threads are tied to their processes by the replies
    that make them known (a process's first thread, a thread made in its own process), and a
    process to its program by the startup information it asks for."""

    def __init__(self, image):
        self._image = image.lower()
        self._process_of = {}  # thread id -> process id
        self._new_thread_here = set()  # threads whose new_thread request makes a thread in their own process
        self._runs = {}  # process id -> WorkloadRun
        self._done = set()
        self._changed = threading.Condition()

    def feed(self, line):
        match = _LINE.match(line)
        if not match:
            return
        thread, name, reply = match.groups()
        if reply:
            self._reply(thread, name, line)
            return
        if name == "new_thread" and "process=ffffffff," in line:
            self._new_thread_here.add(thread)
        run = self._runs.get(self._process_of.get(thread))
        if run:
            with self._changed:
                run.request(name, line)
                self._changed.notify_all()

    def _reply(self, thread, name, line):
        if name == "init_first_thread":
            match = _FIRST_THREAD.search(line)
            if match:
                self._process_of[match.group(2)] = match.group(1)
        elif name == "new_thread":
            match = _NEW_THREAD.search(line)
            if thread in self._new_thread_here and match and thread in self._process_of:
                self._process_of[match.group(1)] = self._process_of[thread]
            self._new_thread_here.discard(thread)
        elif name == "get_startup_info":
            match = _IMAGE.search(line)
            process = self._process_of.get(thread)
            if match and process:
                image = match.group(1).replace("\\\\", "\\").lower()
                if image == self._image or image.endswith("\\" + self._image):
                    with self._changed:
                        self._runs[process] = WorkloadRun(process)

    def finished_run(self, windows, timeout=WAIT):
        """The next run of the workload that has created that many windows (it counts no more after
        its last creation); None when none has within the timeout."""
        with self._changed:
            run = self._changed.wait_for(lambda: next(
                (run for process, run in self._runs.items() if process not in self._done and run.windows >= windows),
                None), timeout=timeout)
            if run:
                self._done.add(run.process)
                del self._runs[run.process]
            return run

    def read(self, stream):
        """Feeds every line of the stream, to its end."""
        for line in stream:
            self.feed(line)


class FloorHook:
    """floorhook.exe running, with its hook installed."""

    def __init__(self, session, installer):
        self.process = session.spawn(installer, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self._output = winetest.OutputLines(self.process)
        line = self._output.next(WAIT)
        if line != "ready":
            raise SystemExit("floorhook.exe did not install its hook (exit code %s, said %r)"
                             % (self.process.poll(), line))

    def stop(self):
        """Removes the hook; returns how many reports the installer received."""
        self.process.stdin.close()
        line = self._output.next(WAIT)
        self.process.wait(timeout=WAIT)
        match = re.match(r"posted (\d+)$", line or "")
        if self.process.returncode != 0 or not match:
            raise SystemExit("floorhook.exe did not end cleanly (exit code %s, said %r)" % (self.process.returncode, line))
        return int(match.group(1))


def traced_desktop(e2e, with_hook_library):
    """A new LullcastDesktop whose Wine server traces its requests, and a counter that reads the trace."""
    counter = RequestCounter(WORKLOAD)
    read_end, write_end = os.pipe()
    trace = os.fdopen(read_end, encoding="utf-8", errors="replace")
    threading.Thread(target=counter.read, args=(trace,), daemon=True).start()
    try:
        desktop = e2e.LullcastDesktop(with_hook_library=with_hook_library, server_trace=write_end)
    finally:
        os.close(write_end)  # the server holds the pipe now: the trace ends when the server does
    return desktop, counter


def count_run(desktop, counter, workload, windows):
    bench_hook.run_bench(desktop, workload, windows)
    run = counter.finished_run(windows)
    if run is None:
        raise SystemExit("the server's trace showed no run of %s with %d windows" % (WORKLOAD, windows))
    return run.per_window()


def count_case(e2e, args, case):
    """{request name: requests per window} of the workload in that case, on a desktop of its own: what
    one case leaves on the desktop (the shell keeps a window for each notification icon it was
    given, for one) would weigh on the next."""
    desktop, counter = traced_desktop(e2e, with_hook_library=case != ALONE)
    try:
        tools = desktop.wine.install([e2e.build_file(name) for name in (WORKLOAD, FLOOR_INSTALLER, FLOOR_LIBRARY)],
                                     folder="Tools")
        workload = os.path.join(tools, WORKLOAD)
        if case == "no hook":
            return count_run(desktop, counter, workload, args.windows)
        if case == "floor hook":
            floor = FloorHook(desktop.wine, os.path.join(tools, FLOOR_INSTALLER))
            requests = count_run(desktop, counter, workload, args.windows)
            posted = floor.stop()
            if posted < args.windows:
                raise SystemExit("the floor hook reported %d events for %d windows: it did not run"
                                 % (posted, args.windows))
            return requests
        if case == "other build":
            desktop.folder = desktop.wine.install(
                [os.path.join(args.compare, e2e.PROGRAM), os.path.join(args.compare, e2e.HOOK_LIBRARY)],
                folder="Other")
        desktop.start_running_copy()
        requests = count_run(desktop, counter, workload, args.windows)
        bench_hook.stop_lullcast(desktop, 1)
        return requests
    finally:
        desktop.close()


def total(requests):
    return sum(requests.values())


def report(e2e, args, counts):
    base = counts["no hook"]
    print("%s: Wine server requests of %s per window created and destroyed (windows 2 to %d of %d):"
          % (e2e.arch(), WORKLOAD, args.windows, args.windows))
    for case, requests in counts.items():
        added = sorted(((requests.get(name, 0) - base.get(name, 0), name) for name in set(requests) | set(base)),
                       key=lambda item: (-abs(item[0]), item[1]))
        shown = ", ".join("%+.2f %s" % (difference, name) for difference, name in added if abs(difference) >= 0.05)
        print("  %-18s %8.2f%s" % (case, total(requests), "" if case == "no hook" else
                                   "   (against no hook: %s)" % (shown or "the same")))
    ratios = [("Lullcast", "no hook"), ("Lullcast", "floor hook")]
    if "other build" in counts:
        ratios += [("other build", "no hook"), ("other build", "floor hook"), ("Lullcast", "other build")]
    for above, below in ratios:
        print("%s: %s / %s: %.3f" % (e2e.arch(), above, below, total(counts[above]) / total(counts[below])))
    # What the hook itself adds, apart from what Lullcast's own windows on the desktop cost.
    floor = total(counts["floor hook"]) - total(base)
    for case in ("Lullcast", "other build"):
        if case in counts:
            added = total(counts[case]) - total(counts[ALONE])
            print("%s: requests per window that the hook adds: %s %.2f (against %s), floor hook %.2f (against no "
                  "hook): ratio %.3f" % (e2e.arch(), case, added, ALONE, floor, added / floor))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    winetest.add_build_arguments(parser)
    parser.add_argument("--windows", type=int, default=200, help="windows per run of hookbench.exe (at least 3)")
    parser.add_argument("--compare", metavar="DIR2", help="another build folder, counted in the same run")
    args = parser.parse_args()
    if args.windows < 3:
        parser.error("--windows must be at least 3: the first window is not counted, and the count runs "
                     "from the second window's creation to the last one's")

    winetest.choose_build(args)
    import lullcast_e2e as e2e

    cases = ["no hook", "floor hook", ALONE, "Lullcast"] + (["other build"] if args.compare else [])
    counts = {case: count_case(e2e, args, case) for case in cases}
    report(e2e, args, counts)


if __name__ == "__main__":
    main()
