"""Benchmark of CFeed::Load under Wine (not a test).

Runs bench/bench_feeds.exe of a Windows build in a private Wine session: it writes local
feeds of 100, 1,000 and 10,000 items, and times Load of each against a bare parse and walk of
the same file by the platform's XML parser, printing the medians and their ratio.

    python3 bench/bench_feeds.py [--build DIR]... [--runs N] [--sizes 100,1000,10000] [--breakdown] [--nested-only]

DIR is a Windows build folder; by default $LULLCAST_BUILD, else both build/windows-i686 (the
program is a 32-bit one) and build/windows-x86_64 of the native build.
"""
import argparse
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
import winetest  # noqa: E402


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", action="append", help="Windows build folder (may be given more than once)")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="100,1000,10000")
    parser.add_argument("--breakdown", action="store_true", help="also show where the time of a load goes")
    parser.add_argument("--nested-only", action="store_true", help="only the documents that nest a field in itself")
    args = parser.parse_args(argv)

    builds = args.build or ([os.environ["LULLCAST_BUILD"]] if os.environ.get("LULLCAST_BUILD") else
                            [os.path.join(ROOT, "build", "windows-" + arch) for arch in ("i686", "x86_64")])
    programs = [os.path.join(build, "bench", "bench_feeds.exe") for build in builds]
    missing = [program for program in programs if not os.path.isfile(program)]
    if missing:
        sys.exit("missing %s: build the Windows target bench_feeds first" % ", ".join(missing))
    command = ["--runs", str(args.runs), "--sizes", args.sizes] + (["--breakdown"] if args.breakdown else []) \
        + (["--nested-only"] if args.nested_only else [])
    status = 0
    with winetest.WineSession() as session:
        for build, program in zip(builds, programs):
            folder = session.install([program], folder="LullcastBench")
            with tempfile.TemporaryFile() as output:
                process = session.spawn(os.path.join(folder, "bench_feeds.exe"), *command,
                                        stdout=output, stderr=subprocess.STDOUT)
                status = status or process.wait(timeout=1800)
                output.seek(0)
                print("bench_feeds under Wine, build %s" % build)
                print(output.read().decode("utf-8", "replace"), flush=True)
    return status


if __name__ == "__main__":
    sys.exit(main())
