#!/usr/bin/env python3
"""render_timing.py - molvane-render timed as a whole process, with no display.

Each case runs the renderer several times from the shell's view (start to
exit, PNG written) and reports the fastest and the median wall time, the CPU
time of the fastest run and the peak memory. The large structure is 99999
atoms made of copies of tests/data/4jsv.pdb moved apart and renumbered, as
bench/app/viewer_timing.py makes it.

    python3 bench/render/render_timing.py --binary build/src/app/molvane-render --source-root .

Targets on a 2-core machine with llvmpipe: 99999 atoms, balls and sticks,
--no-autoselect, 1920x1080 in at most 1.0 s; 1ubq at 1200x900, balls and
sticks, in at most 0.3 s.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
from viewer_timing import write_copies  # noqa: E402


def timed(command, cwd, environment):
    """Wall time, CPU time (all threads) and peak memory of one run."""
    start = time.perf_counter()
    child = subprocess.Popen(command, cwd=cwd, env=environment, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE)
    errors = child.stderr.read()
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        raise RuntimeError("%s: %s" % (" ".join(command), errors.decode(errors="replace")))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--source-root", required=True)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    binary = os.path.abspath(args.binary)
    root = os.path.abspath(args.source_root)
    environment = dict(os.environ)
    environment.pop("DISPLAY", None)
    environment.pop("WAYLAND_DISPLAY", None)
    workdir = tempfile.mkdtemp(prefix="molvane-render-timing-")
    try:
        os.symlink(os.path.join(root, "Textures"), os.path.join(workdir, "Textures"))
        big = os.path.join(workdir, "big.pdb")
        write_copies(os.path.join(root, "tests", "data", "4jsv.pdb"), big, 99999)
        ubq = os.path.join(root, "tests", "data", "1ubq.pdb")
        sticks = ["--atoms", "balls", "--bonds", "sticks", "--quiet"]
        cases = [
            ("99999 atoms, balls+sticks, 1920x1080", [big, "--no-autoselect", "--size", "1920x1080"] + sticks, 1.0),
            ("1ubq, balls+sticks, 1200x900", [ubq] + sticks, 0.3),
            ("1ubq, lines (default), 1200x900", [ubq, "--quiet"], None),
            ("99999 atoms, default (autoselect), 1920x1080", [big, "--size", "1920x1080", "--quiet"], None),
        ]
        print("load average at start: %.2f %.2f %.2f on %d cores" % (os.getloadavg() + (os.cpu_count(),)))
        print("%-46s %9s %9s %9s %9s  %s" % ("case", "best s", "median s", "cpu s", "peak MB", "target"))
        for label, options, target in cases:
            runs = []
            for k in range(args.runs):
                runs.append(timed([binary] + options + ["-o", "out.png"], workdir, environment))
            best = min(runs)
            median = statistics.median(r[0] for r in runs)
            verdict = "" if target is None else ("<= %.1f s %s" % (target, "met" if best[0] <= target else "MISSED"))
            print("%-46s %9.3f %9.3f %9.3f %9.1f  %s" % (label, best[0], median, best[1], max(r[2] for r in runs),
                                                        verdict), flush=True)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
