#!/usr/bin/env python3
"""viewer_frames.py - what the real viewer costs while it shows a structure.

Starts molvane on $DISPLAY with libswapcount.so preloaded (it counts the
frames presented), opens a structure through File > "Load PDB Structure..."
and measures:
  - idle: the CPU the process uses (all threads, % of one core) and the
    frames it presents while nothing moves, over 10 s after "Ready";
  - spin after the first load: frames presented a second with Navigation >
    "Spin" on;
  - spin after a refresh ("Colour By Chain" on and off): the same again;
and, for a small hostile file (20 atoms, 13000 CONECT lines, 139999 bonds)
as sticks at High detail, the time of each refresh to "Ready" and the peak
resident memory.

    xvfb-run -a -s "-screen 0 1280x1024x24" python3 bench/app/viewer_frames.py \
        --binary build/src/app/molvane --swapcount build/bench/app/libswapcount.so \
        --source-root .
"""
import argparse
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "app"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import viewer_e2e as e2e  # noqa: E402
import viewer_timing as timing  # noqa: E402

SPIN = [(e2e.NAVIGATION, None), (0, e2e.NAVIGATION_MENU)]
CHAIN = [(e2e.OPTIONS_BAR, None), (3, e2e.OPTIONS)]
BONDS_3D = [(e2e.RENDER_BAR, None), (1, e2e.RENDER), (0, e2e.BONDS)]
DETAIL_HIGH = [(e2e.RENDER_BAR, None), (4, e2e.RENDER), (2, "iii")]


def write_hostile(path):
    """20 atoms; CONECT lines of 11 partners each from one of the 20 to
    serial numbers without atoms, until the bond table is full."""
    with open(path, "w") as out:
        for i in range(1, 21):
            out.write("ATOM  %5d  C   ALA A%4d    %8.3f%8.3f%8.3f  1.00  0.00           C\n"
                      % (i, i, 1.5 * (i % 5), 1.5 * (i // 5), 0.0))
        for line in range(13000):
            a = 1 + line % 20
            partners = [21 + (line // 20) * 11 + k for k in range(11)]
            out.write("CONECT%5d" % a + "".join("%5d" % p for p in partners) + "\n")
        out.write("END\n")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def swaps(path):
    try:
        with open(path) as f:
            return int(f.read().strip() or 0)
    except (OSError, ValueError):
        return 0


def open_viewer(workdir, path):
    viewer, window, menus = timing.start_viewer(workdir, "frames")
    if menus is None or timing.load_through_dialog(viewer, menus, path) is None:
        return viewer, None, None
    return viewer, window, menus


def idle(viewer, counter, seconds=10):
    time.sleep(3)
    c0, s0, t0 = cpu_seconds(viewer.process.pid), swaps(counter), time.time()
    time.sleep(seconds)
    c1, s1, t1 = cpu_seconds(viewer.process.pid), swaps(counter), time.time()
    return 100.0 * (c1 - c0) / (t1 - t0), (s1 - s0) / (t1 - t0)


def spin_rate(menus, counter, seconds=10):
    menus.choose(SPIN)
    time.sleep(2)
    s0, t0 = swaps(counter), time.time()
    time.sleep(seconds)
    rate = (swaps(counter) - s0) / (time.time() - t0)
    menus.choose(SPIN)
    time.sleep(1)
    return rate


def refresh(viewer, menus, path):
    return timing.choose_until_ready(viewer, menus, path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--swapcount", required=True)
    parser.add_argument("--source-root", required=True)
    parser.add_argument("--atoms", type=int, default=99030)
    parser.add_argument("--skip-hostile", action="store_true")
    parser.add_argument("--spin-twice", action="store_true")
    args = parser.parse_args()
    args.binary = os.path.abspath(args.binary)
    e2e.ARGS = args
    workdir = tempfile.mkdtemp(prefix="molvane-frames-")
    counter = os.path.join(workdir, "swaps")
    os.environ["LD_PRELOAD"] = os.path.abspath(args.swapcount)
    os.environ["SWAP_COUNT_FILE"] = counter
    try:
        os.symlink(os.path.join(os.path.abspath(args.source_root), "Textures"), os.path.join(workdir, "Textures"))
        kinase = os.path.join(workdir, "4jsv.pdb")
        shutil.copy(os.path.join(args.source_root, "tests", "data", "4jsv.pdb"), kinase)
        big = os.path.join(workdir, "large.pdb")
        timing.write_copies(kinase, big, args.atoms)
        hostile = os.path.join(workdir, "hostile.pdb")
        write_hostile(hostile)

        viewer, window, menus = open_viewer(workdir, big)
        try:
            if menus is None:
                print("%d atoms: load failed" % args.atoms)
            else:
                cpu, rate = idle(viewer, counter)
                print("%d atoms, idle after load: %.1f %% of a core, %.1f frames presented a second"
                      % (args.atoms, cpu, rate), flush=True)
                first = spin_rate(menus, counter)
                if args.spin_twice:
                    print("%d atoms, spinning: %.1f frames a second after the first load, then %.1f"
                          % (args.atoms, first, spin_rate(menus, counter)), flush=True)
                refresh(viewer, menus, CHAIN)
                refresh(viewer, menus, CHAIN)
                again = spin_rate(menus, counter)
                print("%d atoms, spinning: %.1f frames a second after the first load, %.1f after a refresh"
                      % (args.atoms, first, again), flush=True)
        finally:
            viewer.stop()

        if args.skip_hostile:
            return 0
        viewer, window, menus = open_viewer(workdir, hostile)
        try:
            if menus is None:
                print("hostile file: load failed")
            else:
                times = [refresh(viewer, menus, BONDS_3D), refresh(viewer, menus, DETAIL_HIGH)]
                times += [refresh(viewer, menus, CHAIN), refresh(viewer, menus, CHAIN)]
                shown = ", ".join("failed" if t is None else "%.2f s" % t for t in times)
                rss = timing.peak_rss_mb(viewer.process.pid)
                cpu, rate = idle(viewer, counter)
                print("hostile file (20 atoms, 139999 bonds) as sticks at High detail: refreshes %s; peak RSS "
                      "%.1f MB; idle %.1f %% of a core" % (shown, rss, cpu), flush=True)
        finally:
            viewer.stop()
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
