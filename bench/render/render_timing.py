#!/usr/bin/env python3
"""render_timing.py - molvane-render timed as a whole process, with no display.

Each case runs the renderer several times from the shell's view (start to
exit, PNG written) and reports the fastest and the median wall time, the CPU
time of the fastest run and the peak memory. The rounds go through all the
cases in turn, so that another load on the machine falls on every case
alike. The large structure is 99999 atoms made of copies of
tests/data/4jsv.pdb moved apart and renumbered, as
bench/app/viewer_timing.py makes it.

With --pymol (PyMOL installed for the comparison only: apt-get install
pymol), the same large file is ray-traced to a headless PNG of the same
size and style in the same run, twice, and the defaults must be at least
five times faster than its best.

    python3 bench/render/render_timing.py --binary build/src/tools/molvane-render --source-root . \\
        [--pymol] [--keep DIR]

Targets on a 2-core machine with llvmpipe: 99999 atoms, balls and sticks,
--no-autoselect, 1920x1080 with the defaults (4 samples, depth cue) at
least 5 x faster than PyMOL, with --ao in at most 2.5 s; 1ubq at 1200x900,
balls and sticks, in at most 0.5 s; an 8000x8000 poster of 1ubq in at most
10 s and 600 MB.
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

# PyMOL's balls and sticks as Molvane draws them: balls of 0.3, sticks of
# 0.15 angstrom, on black, ray-traced.
PYMOL_SCRIPT = """bg_color black
set ray_opaque_background, 1
hide everything
alter all, vdw=1.0
rebuild
show sticks
show spheres
set sphere_scale, 0.3
set stick_radius, 0.15
png {output}, width=1920, height=1080, ray=1
"""


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
    parser.add_argument("--pymol", action="store_true", help="time PyMOL's ray-traced PNG of the same file")
    parser.add_argument("--keep", help="a folder to keep the pictures of the last round in")
    args = parser.parse_args()
    binary = os.path.abspath(args.binary)
    root = os.path.abspath(args.source_root)
    environment = dict(os.environ)
    environment.pop("DISPLAY", None)
    environment.pop("WAYLAND_DISPLAY", None)
    # PyMOL's wrapper runs the system's python3, whatever else is on PATH
    pymol_environment = dict(environment, PATH="/usr/bin:" + environment.get("PATH", ""))
    workdir = tempfile.mkdtemp(prefix="molvane-render-timing-")
    try:
        os.symlink(os.path.join(root, "Textures"), os.path.join(workdir, "Textures"))
        big = os.path.join(workdir, "big.pdb")
        write_copies(os.path.join(root, "tests", "data", "4jsv.pdb"), big, 99999)
        ubq = os.path.join(root, "tests", "data", "1ubq.pdb")
        sticks = ["--atoms", "balls", "--bonds", "sticks", "--quiet"]
        today = ["--samples", "1", "--fog", "0", "--viewer-view"]
        # label, command, picture, seconds at most, MB at most
        cases = [
            ("99999 atoms, balls+sticks, 1920x1080", [binary, big, "--no-autoselect", "--size", "1920x1080"] + sticks,
             "big.png", None, None),
            ("  the same with --ao", [binary, big, "--no-autoselect", "--size", "1920x1080", "--ao"] + sticks,
             "big-ao.png", 2.5, None),
            ("  the same as before (1 sample, no fog)", [binary, big, "--no-autoselect", "--size", "1920x1080"]
             + sticks + today, "big-before.png", None, None),
            ("1ubq, balls+sticks, 1200x900", [binary, ubq] + sticks, "1ubq.png", 0.5, None),
            ("1ubq, lines (default), 1200x900", [binary, ubq, "--quiet"], "1ubq-lines.png", None, None),
            ("1ubq, 8000x8000 poster (lines)", [binary, ubq, "--size", "8000x8000", "--quiet"], "poster.png", 10.0,
             600.0),
        ]
        pymol_case = None
        if args.pymol:
            script = os.path.join(workdir, "balls-sticks.pml")
            with open(script, "w") as out:
                out.write(PYMOL_SCRIPT.format(output="pymol-big.png"))
            pymol_case = ("PyMOL, 99999 atoms, ray-traced, 1920x1080", ["pymol", "-cq", big, script],
                          "pymol-big.png", None, None)
        print("load average at start: %.2f %.2f %.2f on %d cores" % (os.getloadavg() + (os.cpu_count(),)))
        runs = {case[0]: [] for case in cases + ([pymol_case] if pymol_case else [])}
        for round_ in range(args.runs):
            for label, command, picture, _, _ in cases:
                runs[label].append(timed(command + ["-o", picture], workdir, environment))
            if pymol_case and round_ < 2:  # tens of seconds a run: twice is enough
                runs[pymol_case[0]].append(timed(pymol_case[1], workdir, pymol_environment))
        print("%-46s %9s %9s %9s %9s  %s" % ("case", "best s", "median s", "cpu s", "peak MB", "target"))
        pymol_best = min(runs[pymol_case[0]])[0] if pymol_case else None
        for label, _, _, seconds, megabytes in cases + ([pymol_case] if pymol_case else []):
            best = min(runs[label])
            median = statistics.median(r[0] for r in runs[label])
            peak = max(r[2] for r in runs[label])
            verdicts = []
            if label.startswith("99999") and pymol_best is not None:
                verdicts.append("%.1f x faster than PyMOL (>= 5: %s)" % (pymol_best / best[0],
                                                                       "met" if pymol_best >= 5 * best[0] else "MISSED"))
            if seconds is not None:
                verdicts.append("<= %.1f s %s" % (seconds, "met" if best[0] <= seconds else "MISSED"))
            if megabytes is not None:
                verdicts.append("<= %.0f MB %s" % (megabytes, "met" if peak <= megabytes else "MISSED"))
            print("%-46s %9.3f %9.3f %9.3f %9.1f  %s" % (label, best[0], median, best[1], peak, "; ".join(verdicts)),
                  flush=True)
        if args.keep:
            os.makedirs(args.keep, exist_ok=True)
            for _, _, picture, _, _ in cases + ([pymol_case] if pymol_case else []):
                shutil.copy(os.path.join(workdir, picture), args.keep)
            print("pictures kept in %s" % args.keep)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
