#!/usr/bin/env python3
"""viewer_timing.py - the real viewer timed as a user meets it.

Starts molvane on $DISPLAY, opens a structure through File > "Load PDB
Structure..." and the dialog, and measures the time from pressing Return in
the dialog to "Ready" on the console; then reads the peak resident memory of
the process (VmHWM); then, with the large-structure guard switched off,
the time from the click on "Draw Atoms in 3D" and on "Draw Bonds in 3D" to
"Ready", and the peak memory after each. Structures: tests/data/4jsv.pdb and 99999 atoms
made of copies of it moved apart and renumbered.

    xvfb-run -a -s "-screen 0 1280x1024x24" python3 bench/app/viewer_timing.py \
        --binary build/src/app/molvane --source-root .
"""
import argparse
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "app"))
import viewer_e2e as e2e  # noqa: E402


def write_copies(source, target, count):
    serial, copy = 0, 0
    with open(target, "w") as out:
        while serial < count:
            with open(source) as lines:
                for line in lines:
                    if serial >= count:
                        break
                    if not line.startswith(("ATOM  ", "HETATM")) or len(line) < 54:
                        continue
                    serial += 1
                    x = float(line[30:38]) + 80.0 * copy
                    line = line[:6] + "%5d" % serial + line[11:30] + "%8.3f" % x + line[38:]
                    out.write(line)
            copy += 1
        out.write("END\n")


def peak_rss_mb(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def timed_load(workdir, path, name):
    recent = os.path.join(workdir, "recentpdb.txt")
    if os.path.exists(recent):
        os.unlink(recent)                # the File menu without recent entries
    viewer = e2e.Viewer(workdir, name)
    try:
        if viewer.wait_for(r"other options by selecting them from the Options menu\n", 60) is None:
            return None
        window = e2e.Window(viewer)
        menus = e2e.Menus(viewer, window)
        # The dialog, as in the end-to-end test, but the clock starts at Return.
        before = set(viewer.windows())
        if not menus.choose([(e2e.FILE, None), (0, e2e.FILE_NEW)]):
            return None
        end = time.time() + 20
        dialog = None
        while dialog is None and time.time() < end:
            for w in viewer.windows():
                if w not in before and e2e.geometry(w)[2] > 250:
                    dialog = w
            time.sleep(0.2)
        time.sleep(1.5)
        e2e.run(["xdotool", "windowfocus", "--sync", str(dialog)], timeout=10)
        e2e.xdotool("type", "--delay", "10", "--", path)
        time.sleep(0.5)
        mark = len(viewer.text())
        start = time.time()             # includes starting xdotool: a few ms too many
        e2e.xdotool("key", "Return")
        while "Ready\n" not in viewer.text()[mark:]:
            if time.time() - start > 120 or viewer.process.poll() is not None:
                return None
            time.sleep(0.005)
        results = [("load, lines", time.time() - start, peak_rss_mb(viewer.process.pid))]
        # Spheres, then cylinders too, with the large-structure guard off.
        menus.choose([(e2e.OPTIONS_BAR, None), (0, e2e.OPTIONS), (1, "ii")])
        time.sleep(0.5)
        for label, path in (("spheres", [(e2e.RENDER_BAR, None), (0, e2e.RENDER), (0, e2e.ATOMS)]),
                            ("spheres and cylinders", [(e2e.RENDER_BAR, None), (1, e2e.RENDER), (0, e2e.BONDS)])):
            mark = len(viewer.text())
            clicked = menus.choose(path)
            if not clicked:
                break
            while "Ready\n" not in viewer.text()[mark:]:
                if time.time() - clicked > 120 or viewer.process.poll() is not None:
                    return results
                time.sleep(0.005)
            results.append((label, time.time() - clicked, peak_rss_mb(viewer.process.pid)))
        return results
    finally:
        viewer.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--source-root", required=True)
    args = parser.parse_args()
    args.binary = os.path.abspath(args.binary)
    e2e.ARGS = args
    workdir = tempfile.mkdtemp(prefix="molvane-timing-")
    try:
        os.symlink(os.path.join(os.path.abspath(args.source_root), "Textures"), os.path.join(workdir, "Textures"))
        kinase = os.path.join(workdir, "4jsv.pdb")
        shutil.copy(os.path.join(args.source_root, "tests", "data", "4jsv.pdb"), kinase)
        big = os.path.join(workdir, "big.pdb")
        write_copies(kinase, big, 99999)       # serials fit the five columns
        for label, path in (("4jsv (22194 atoms)", kinase), ("99999 atoms", big)):
            results = timed_load(workdir, path, "timing")
            if not results:
                print("%-20s failed" % label)
            for what, seconds, rss in results or []:
                print("%-20s %-22s to Ready %.3f s, peak RSS %.1f MB" % (label, what, seconds, rss))
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
