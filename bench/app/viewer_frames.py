#!/usr/bin/env python3
"""viewer_frames.py - the real viewer's frames as a user meets them.

Starts molvane on $DISPLAY with libswapcount.so preloaded (it counts the
pictures the window presents), opens a structure through File > "Load PDB
Structure..." and measures:
  - 99030 atoms as balls and sticks (the large-molecule settings off), at
    Low and at High detail: the frames presented a second while the view
    spins, and the time from a click on the menu bar to its menu on the
    screen during the spin; before that, the CPU the idle viewer uses (all
    threads, % of one core) and the frames it presents, over 10 s; the
    peak resident memory;
  - a hostile file, 20 atoms whose CONECT records list 139999 bonds among
    themselves (every one drawn, most on top of others), as sticks at High
    detail: the time from a click on the menu bar to its menu; from the
    click on Options > "Draw Multiple bonds" to the new picture on the
    screen; from the click on Help > "See Help..." to its text on the
    console; the peak memory and the idle CPU.
The clicks on the menu bar go through XTest and the screen is read through
Xlib (ctypes), each in well under a millisecond (xdotool and import take
25-70 ms): a menu is on the screen when a new top-level window is mapped
and shows its rows. A command's picture is on the screen at the first
look at the 3D view (every 20 ms) that shows what it shows once the viewer
has gone idle.

    xvfb-run -a -s "-screen 0 1280x1024x24" python3 bench/app/viewer_frames.py \\
        --binary build/src/app/molvane --swapcount build/bench/app/libswapcount.so \\
        --source-root .
"""
import argparse
import ctypes
import os
import re
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "app"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import viewer_e2e as e2e  # noqa: E402
import viewer_timing as timing  # noqa: E402

SPIN = [(e2e.NAVIGATION, None), (0, e2e.NAVIGATION_MENU)]
MULTIPLE_BONDS = [(e2e.OPTIONS_BAR, None), (1, e2e.OPTIONS)]
GUARD_OFF = [(e2e.OPTIONS_BAR, None), (0, e2e.OPTIONS), (1, "ii")]
ATOMS_3D = [(e2e.RENDER_BAR, None), (0, e2e.RENDER), (0, e2e.ATOMS)]
BONDS_3D = [(e2e.RENDER_BAR, None), (1, e2e.RENDER), (0, e2e.BONDS)]
DETAIL_LOW = [(e2e.RENDER_BAR, None), (4, e2e.RENDER), (0, "iii")]
DETAIL_HIGH = [(e2e.RENDER_BAR, None), (4, e2e.RENDER), (2, "iii")]
HELP = [(e2e.HELP, None), (0, "i")]
HELP_TEXT = "other options by selecting them from the Options menu\n"


def write_hostile(path):
    """20 atoms in a 5 x 4 grid; CONECT lines of 11 partners each, all among
    the 20, until the bond table is full: the same 190 pairs over and over."""
    with open(path, "w") as out:
        for i in range(1, 21):
            out.write("ATOM  %5d  C   ALA A%4d    %8.3f%8.3f%8.3f  1.00  0.00           C\n"
                      % (i, i, 1.5 * (i % 5), 1.5 * (i // 5), 0.0))
        for line in range(20000):
            a = 1 + line % 20
            partners = [1 + (a - 1 + 1 + (line // 20 + k) % 19) % 20 for k in range(11)]
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


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
                ("data", ctypes.POINTER(ctypes.c_ubyte)), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class Screen:
    """The X display through Xlib and XTest: top-level windows, pixels, clicks."""

    def __init__(self):
        self.x11 = x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
        self.xtst = xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                   ctypes.POINTER(ctypes.c_uint)]
        x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(XWindowAttributes)]
        x11.XGetImage.restype = ctypes.POINTER(XImage)
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                  ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XFree.argtypes = [ctypes.c_void_p]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
        xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.display = x11.XOpenDisplay(None)
        self.root = x11.XDefaultRootWindow(self.display)

    def mapped(self):
        """The mapped top-level windows: {id: (x, y, width, height)}."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        self.x11.XQueryTree(self.display, self.root, ctypes.byref(root), ctypes.byref(parent), ctypes.byref(children),
                            ctypes.byref(count))
        windows = {}
        attributes = XWindowAttributes()
        for i in range(count.value):
            if self.x11.XGetWindowAttributes(self.display, children[i], ctypes.byref(attributes)) and \
                    attributes.map_state == 2:  # IsViewable
                windows[children[i]] = (attributes.x, attributes.y, attributes.width, attributes.height)
        if children:
            self.x11.XFree(children)
        return windows

    def grab(self, box):
        """The pixels of a box of the screen: RGB bytes, rows top first."""
        x, y, w, h = box
        image = self.x11.XGetImage(self.display, self.root, x, y, w, h, 0xffffffff, 2)  # ZPixmap
        if not image:
            return b""
        i = image.contents
        raw = ctypes.string_at(i.data, i.bytes_per_line * h)
        rgb = bytearray(w * h * 3)
        for row in range(h):
            line = raw[row * i.bytes_per_line:row * i.bytes_per_line + 4 * w]
            rgb[row * w * 3 + 0:(row + 1) * w * 3:3] = line[2::4]
            rgb[row * w * 3 + 1:(row + 1) * w * 3:3] = line[1::4]
            rgb[row * w * 3 + 2:(row + 1) * w * 3:3] = line[0::4]
        self.x11.XFree(i.data)
        self.x11.XFree(image)
        return bytes(rgb)

    def click(self, x, y, button=1):
        """Moves the pointer to (x, y), waits a moment and clicks; returns the
        time of the press."""
        self.xtst.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self.x11.XSync(self.display, 0)
        time.sleep(0.15)
        pressed = time.time()
        self.xtst.XTestFakeButtonEvent(self.display, button, 1, 0)
        self.x11.XSync(self.display, 0)
        time.sleep(0.05)
        self.xtst.XTestFakeButtonEvent(self.display, button, 0, 0)
        self.x11.XSync(self.display, 0)
        return pressed


class Grabbed:
    """A box of the screen, read as e2e.Picture is (pixel(x, y) in screen coordinates)."""

    def __init__(self, screen, box):
        self.box, self.rgb = box, screen.grab(box)

    def pixel(self, x, y):
        i = ((y - self.box[1]) * self.box[2] + (x - self.box[0])) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]


def differs(a, b, share=0.01, step=5):
    """More than `share` of the pixels (every step-th one looked at) differ
    by over 40 in a channel."""
    if len(a) != len(b):
        return True
    if a == b:
        return False
    changed = sum(1 for i in range(0, len(a) - 2, 3 * step)
                  if abs(a[i] - b[i]) > 40 or abs(a[i + 1] - b[i + 1]) > 40 or abs(a[i + 2] - b[i + 2]) > 40)
    return changed > share * len(a) / (3 * step)


def median(values):
    values = sorted(values)
    return values[len(values) // 2] if values else None


def menu_open_time(screen, window, entry=e2e.HELP, shape="i", limit=60):
    """Seconds from the press on a menu bar entry to its menu on the screen
    (a new top-level window mapped and showing its rows), or None; the menu
    is closed again."""
    known = set(screen.mapped())
    start = screen.click(window.entries[entry], window.menu_y)
    seen = None
    while seen is None and time.time() - start < limit:
        for w, box in screen.mapped().items():
            if w not in known and box[2] >= 20 and box[3] >= 10:
                found = "".join("-" if k == "-" else "i" for k, _ in e2e.popup_entries(Grabbed(screen, box), box))
                if found == shape:
                    seen = time.time() - start
        time.sleep(0.002)
    e2e.xdotool("key", "Escape")
    end = time.time() + limit
    while time.time() < end and set(screen.mapped()) - known:
        time.sleep(0.05)
    time.sleep(0.3)
    return seen


def command_to_picture(screen, viewer, window, menus, path, limit=180, quiet=1.0):
    """Seconds from the click on a menu item to "Ready" and to the picture
    the command leads to on the screen, or None. The 3D view is looked at
    every 20 ms until, after "Ready", the viewer has been idle (under a
    tenth of a core) and the view unchanged for `quiet` seconds, or for
    `limit` seconds; the time is that of the first look that saw the view
    as it then is."""
    mark = len(viewer.text())
    clicked = menus.choose(path)
    if not clicked:
        return None, None
    ready = None
    looks = []  # (seconds, every fifth pixel of the view, as RGB)
    cpu = [(0.0, cpu_seconds(viewer.process.pid))]
    while time.time() - clicked < limit and viewer.process.poll() is None:
        now = time.time() - clicked
        if ready is None and "Ready\n" in viewer.text()[mark:]:
            ready = now
        rgb = screen.grab(window.view)
        view = bytearray(len(rgb[0::15]) * 3)
        for c in range(3):
            view[c::3] = rgb[c::15]
        if not looks or looks[-1][1] != view:
            looks.append((now, view))
        cpu.append((now, cpu_seconds(viewer.process.pid)))
        while len(cpu) > 2 and cpu[1][0] <= now - quiet:
            cpu.pop(0)
        idle = now - cpu[0][0] >= quiet and (cpu[-1][1] - cpu[0][1]) / (now - cpu[0][0]) < 0.1
        if ready is not None and idle and now - looks[-1][0] >= quiet:
            break
        time.sleep(0.02)
    if ready is None or not looks:
        return ready, None
    final = looks[-1][1]
    first = next(t for t, view in looks if not differs(view, final, step=1))
    return ready, first


def command_to_text(viewer, menus, path, text, limit=600):
    """Seconds from the click on a menu item to its text on the console."""
    mark = len(viewer.text())
    clicked = menus.choose(path)
    if not clicked:
        return None
    while text not in viewer.text()[mark:]:
        if time.time() - clicked > limit or viewer.process.poll() is not None:
            return None
        time.sleep(0.01)
    return time.time() - clicked


def idle(viewer, counter, seconds=10):
    time.sleep(3)
    c0, s0, t0 = cpu_seconds(viewer.process.pid), swaps(counter), time.time()
    time.sleep(seconds)
    c1, s1, t1 = cpu_seconds(viewer.process.pid), swaps(counter), time.time()
    return 100.0 * (c1 - c0) / (t1 - t0), (s1 - s0) / (t1 - t0)


def spin(screen, viewer, window, menus, counter, seconds=10, samples=5):
    """Spin on: frames a second over `seconds`, then the time to open a
    menu `samples` times; spin off again."""
    menus.choose(SPIN)
    time.sleep(2)
    s0, t0 = swaps(counter), time.time()
    time.sleep(seconds)
    rate = (swaps(counter) - s0) / (time.time() - t0)
    opened = [menu_open_time(screen, window) for _ in range(samples)]
    menus.choose(SPIN)
    time.sleep(1)
    return rate, opened


def shown(seconds):
    return "failed" if seconds is None else "%.2f s" % seconds


def shown_list(values):
    if not values or None in values:
        return "failed (%s)" % ", ".join(shown(v) for v in values)
    return "median %.2f s, worst %.2f s" % (median(values), max(values))


def open_viewer(workdir, path):
    viewer, window, menus = timing.start_viewer(workdir, "frames")
    if menus is None or timing.load_through_dialog(viewer, menus, path) is None:
        return viewer, None, None
    return viewer, window, menus


def large(screen, workdir, path, atoms, counter):
    viewer, window, menus = open_viewer(workdir, path)
    try:
        if menus is None:
            print("%d atoms: load failed" % atoms)
            return
        menus.choose(GUARD_OFF)
        time.sleep(0.5)
        for step in (ATOMS_3D, BONDS_3D):
            timing.choose_until_ready(viewer, menus, step)
        cpu, rate = idle(viewer, counter)
        print("%d atoms as balls and sticks, idle: %.1f %% of a core, %.1f frames presented a second"
              % (atoms, cpu, rate), flush=True)
        for label, step in (("Low", None), ("High", DETAIL_HIGH)):
            if step:
                timing.choose_until_ready(viewer, menus, step)
                time.sleep(2)
            rate, opened = spin(screen, viewer, window, menus, counter)
            print("%d atoms as balls and sticks at %s detail, spinning: %.1f frames a second; a menu opens in %s"
                  % (atoms, label, rate, shown_list(opened)), flush=True)
        print("%d atoms: peak RSS %.1f MB" % (atoms, timing.peak_rss_mb(viewer.process.pid)), flush=True)
    finally:
        viewer.stop()


def hostile(screen, workdir, path, counter):
    viewer, window, menus = open_viewer(workdir, path)
    try:
        if menus is None:
            print("hostile file: load failed")
            return
        for step in (BONDS_3D, DETAIL_HIGH):
            timing.choose_until_ready(viewer, menus, step)
        time.sleep(1)
        found = re.findall(r"(?m)^(\d+) bonds found$", viewer.text())
        opened = [menu_open_time(screen, window) for _ in range(5)]
        ready, picture = command_to_picture(screen, viewer, window, menus, MULTIPLE_BONDS)
        help_times = [command_to_text(viewer, menus, HELP, HELP_TEXT) for _ in range(3)]
        back, again = command_to_picture(screen, viewer, window, menus, MULTIPLE_BONDS)
        menus.choose(MULTIPLE_BONDS)
        time.sleep(0.3)
        soon = menu_open_time(screen, window)  # while the command's frames are drawn
        rss = timing.peak_rss_mb(viewer.process.pid)
        cpu, rate = idle(viewer, counter)
        print("hostile file (20 atoms, %s bonds found) as sticks at High detail:" % (found[-1] if found else "?"))
        print("  a menu opens in %s; 0.3 s after a command's click in %s" % (shown_list(opened), shown(soon)))
        print("  Draw Multiple bonds: Ready in %s, new picture in %s; and back: Ready in %s, picture in %s"
              % (shown(ready), shown(picture), shown(back), shown(again)))
        print("  See Help...: text in %s" % shown_list(help_times))
        print("  peak RSS %.1f MB; idle %.1f %% of a core, %.1f frames presented a second" % (rss, cpu, rate),
              flush=True)
    finally:
        viewer.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--swapcount", required=True)
    parser.add_argument("--source-root", required=True)
    parser.add_argument("--atoms", type=int, default=99030)
    parser.add_argument("--skip-large", action="store_true")
    parser.add_argument("--skip-hostile", action="store_true")
    args = parser.parse_args()
    args.binary = os.path.abspath(args.binary)
    e2e.ARGS = args
    workdir = tempfile.mkdtemp(prefix="molvane-frames-")
    screen = Screen()
    counter = os.path.join(workdir, "swaps")
    os.environ["LD_PRELOAD"] = os.path.abspath(args.swapcount)
    os.environ["SWAP_COUNT_FILE"] = counter
    try:
        os.symlink(os.path.join(os.path.abspath(args.source_root), "Textures"), os.path.join(workdir, "Textures"))
        kinase = os.path.join(workdir, "4jsv.pdb")
        shutil.copy(os.path.join(args.source_root, "tests", "data", "4jsv.pdb"), kinase)
        if not args.skip_large:
            big = os.path.join(workdir, "large.pdb")
            timing.write_copies(kinase, big, args.atoms)
            large(screen, workdir, big, args.atoms, counter)
        if not args.skip_hostile:
            path = os.path.join(workdir, "hostile.pdb")
            write_hostile(path)
            hostile(screen, workdir, path, counter)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
