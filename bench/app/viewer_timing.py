#!/usr/bin/env python3
"""viewer_timing.py - the real viewer timed as a user meets it.

Starts molvane on $DISPLAY, opens a structure through File > "Load PDB
Structure..." and the dialog, and measures the time from pressing Return in
the dialog to "Ready" on the console; then reads the peak resident memory of
the process (VmHWM) after a few seconds on screen; then, with the
large-structure guard switched off, the time from the click on "Draw Atoms
in 3D", on "Draw Bonds in 3D" and on High detail to "Ready", and the peak
memory a few seconds after each. Structures: tests/data/4jsv.pdb and 99999 atoms
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


def start_viewer(workdir, name):
    """The viewer in workdir with no recent entries, once its welcome is out."""
    recent = os.path.join(workdir, "recentpdb.txt")
    if os.path.exists(recent):
        os.unlink(recent)                # the File menu without recent entries
    viewer = e2e.Viewer(workdir, name)
    if viewer.wait_for(r"other options by selecting them from the Options menu\n", 60) is None:
        return viewer, None, None
    window = e2e.Window(viewer)
    return viewer, window, e2e.Menus(viewer, window)


def load_through_dialog(viewer, menus, path):
    """File > "Load PDB Structure...", the path typed into the dialog; the
    seconds from pressing Return to "Ready", or None."""
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
    start = time.time()                 # includes starting xdotool: a few ms too many
    e2e.xdotool("key", "Return")
    while "Ready\n" not in viewer.text()[mark:]:
        if time.time() - start > 600 or viewer.process.poll() is not None:
            return None
        time.sleep(0.005)
    return time.time() - start


def choose_until_ready(viewer, menus, path, limit=600):
    """A menu item chosen; the seconds from the click to "Ready", or None."""
    mark = len(viewer.text())
    clicked = menus.choose(path)
    if not clicked:
        return None
    while "Ready\n" not in viewer.text()[mark:]:
        if time.time() - clicked > limit or viewer.process.poll() is not None:
            return None
        time.sleep(0.005)
    return time.time() - clicked


SETTLE = 3.0  # seconds on screen before the peak is read: the frames drawn count too


def timed_load(workdir, path, name):
    viewer, window, menus = start_viewer(workdir, name)
    try:
        if menus is None:
            return None
        seconds = load_through_dialog(viewer, menus, path)
        if seconds is None:
            return None
        time.sleep(SETTLE)
        results = [("load, lines", seconds, peak_rss_mb(viewer.process.pid))]
        # Spheres, then cylinders too, with the large-structure guard off;
        # then the same at High detail.
        menus.choose([(e2e.OPTIONS_BAR, None), (0, e2e.OPTIONS), (1, "ii")])
        time.sleep(0.5)
        for label, path in (("spheres", [(e2e.RENDER_BAR, None), (0, e2e.RENDER), (0, e2e.ATOMS)]),
                            ("spheres and cylinders", [(e2e.RENDER_BAR, None), (1, e2e.RENDER), (0, e2e.BONDS)]),
                            ("the same at High detail", [(e2e.RENDER_BAR, None), (4, e2e.RENDER), (2, "iii")])):
            seconds = choose_until_ready(viewer, menus, path)
            if seconds is None:
                break
            time.sleep(SETTLE)
            results.append((label, seconds, peak_rss_mb(viewer.process.pid)))
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
                print("%-20s %-24s to Ready %.3f s, peak RSS %.1f MB" % (label, what, seconds, rss))
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
