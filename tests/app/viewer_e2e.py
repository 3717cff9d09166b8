#!/usr/bin/env python3
"""viewer_e2e.py - the real molvane viewer driven as a user drives it.

Starts the program on the X display of $DISPLAY in a scratch working
directory (with the textures), clicks the real menu bar and menu items with
the mouse (their places are read from screenshots), types a path into the
real open-file dialog, middle-clicks atoms, and checks the console text, the
pictures and the exit status. Screenshots of the main representations are
kept in the artifacts folder.

Needs only python3, xdotool and ImageMagick's import.
"""
import argparse
import ctypes
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

ARGS = None
FAILURES = []


def check(condition, message):
    if condition:
        print("ok   " + message, flush=True)
    else:
        print("FAIL " + message, flush=True)
        FAILURES.append(message)
    return condition


def run(command, timeout=30, check_result=False):
    result = subprocess.run(command, capture_output=True, timeout=timeout, text=True)
    if check_result and result.returncode != 0:
        raise RuntimeError("%s: %s" % (" ".join(command), result.stderr))
    return result.stdout


def xdotool(*words):
    return run(["xdotool"] + [str(w) for w in words])


# ---------------------------------------------------------------------------
# Screenshots
# ---------------------------------------------------------------------------
class Picture:
    """The root window as RGB bytes."""

    def __init__(self):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              capture_output=True, timeout=60, check=True).stdout
        fields, at = [], 0
        while len(fields) < 4:
            while data[at:at + 1].isspace():
                at += 1
            if data[at:at + 1] == b"#":
                at = data.index(b"\n", at) + 1
                continue
            start = at
            while not data[at:at + 1].isspace():
                at += 1
            fields.append(data[start:at])
        assert fields[0] == b"P6" and fields[3] == b"255"
        self.width, self.height = int(fields[1]), int(fields[2])
        self.rgb = data[at + 1:at + 1 + self.width * self.height * 3]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def save_png(self, path, box):
        x0, y0, w, h = box
        rows = []
        for y in range(y0, y0 + h):
            i = (y * self.width + x0) * 3
            rows.append(b"\x00" + self.rgb[i:i + w * 3])

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b"")
        with open(path, "wb") as out:
            out.write(png)


def lit_pixels(picture, box):
    """Pixels of the 3D view that are not background, with their colours."""
    x0, y0, w, h = box
    lit = []
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            r, g, b = picture.pixel(x, y)
            if r + g + b > 60:
                lit.append((x, y, r, g, b))
    return lit


def colour_classes(lit):
    """Coarse colour classes that cover at least 1% of the lit pixels."""
    counts = {}
    for _, _, r, g, b in lit:
        key = (r // 86, g // 86, b // 86)
        counts[key] = counts.get(key, 0) + 1
    return {k for k, n in counts.items() if n >= max(20, len(lit) // 100)}


def difference(a, b, box):
    """Share of the pixels of `box` that differ clearly between two pictures."""
    x0, y0, w, h = box
    changed = 0
    for y in range(y0, y0 + h, 2):
        for x in range(x0, x0 + w, 2):
            pa, pb = a.pixel(x, y), b.pixel(x, y)
            if abs(pa[0] - pb[0]) + abs(pa[1] - pb[1]) + abs(pa[2] - pb[2]) > 60:
                changed += 1
    return changed / float((w // 2) * (h // 2))


# ---------------------------------------------------------------------------
# The running program and its console
# ---------------------------------------------------------------------------
class Viewer:
    """The program started in `workdir` (or in `cwd` when given, the console
    logs staying in `workdir`), in `locale` when given."""

    def __init__(self, workdir, name, arguments=(), locale=None, cwd=None):
        self.log = os.path.join(workdir, name + ".out")
        self.err = open(os.path.join(workdir, name + ".err"), "w")
        self.out = open(self.log, "w")
        environment = dict(os.environ)
        if locale:
            environment["LC_ALL"] = locale
        self.process = subprocess.Popen([ARGS.binary] + list(arguments), cwd=cwd or workdir,
                                        stdout=self.out, stderr=self.err, env=environment)
        self.mark = 0

    def text(self):
        with open(self.log, "r", errors="replace") as console:
            return console.read()

    def wait_for(self, pattern, timeout=60, start=None):
        """Waits for a regular expression in the console after `start` (default:
        the mark); returns the match and moves the mark behind it."""
        start = self.mark if start is None else start
        end = time.time() + timeout
        while True:
            match = re.compile(pattern).search(self.text(), start)
            if match:
                self.mark = match.end()
                return match
            if self.process.poll() is not None or time.time() > end:
                return None
            time.sleep(0.1)

    def windows(self):
        out = xdotool("search", "--onlyvisible", "--pid", self.process.pid)
        return [int(w) for w in out.split()]

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)
        self.out.close()
        self.err.close()


def geometry(window):
    values = {}
    for line in xdotool("getwindowgeometry", "--shell", window).splitlines():
        if "=" in line:
            key, value = line.split("=", 1)
            values[key] = int(value)
    return values.get("X", 0), values.get("Y", 0), values.get("WIDTH", 0), values.get("HEIGHT", 0)


def click(x, y, button=1, hold=0.1):
    """Presses and releases a button at (x, y), held about as long as a
    person holds it (the viewer looks at the buttons once per frame)."""
    xdotool("mousemove", "--sync", x, y)
    time.sleep(0.15)
    xdotool("mousedown", button)
    time.sleep(hold)
    released = time.time()
    xdotool("mouseup", button)
    return released


def drag(x, y, dx, dy, button, steps=12):
    """Holds a button down at (x, y) and moves the pointer by (dx, dy)."""
    xdotool("mousemove", "--sync", x, y)
    time.sleep(0.2)
    xdotool("mousedown", button)
    time.sleep(0.2)
    for i in range(1, steps + 1):
        xdotool("mousemove", "--sync", x + dx * i // steps, y + dy * i // steps)
        time.sleep(0.06)
    time.sleep(0.2)
    xdotool("mouseup", button)
    time.sleep(0.8)


class Window:
    """The main window: the menu bar along its top, the 3D view below."""

    def __init__(self, viewer):
        self.viewer = viewer
        self.id = None
        end = time.time() + 60
        while self.id is None and time.time() < end:
            # The top-level window is the tallest; the 3D view inside it is a child.
            for w in viewer.windows():
                x, y, width, height = geometry(w)
                if width >= 480 and height >= 480 and (self.id is None or height > self.box[3]):
                    self.id, self.box = w, (x, y, width, height)
            time.sleep(0.2)
        if self.id is None:
            raise RuntimeError("no window of the viewer appeared")
        self.find_menu_bar()

    def find_menu_bar(self):
        """The menu bar is the light band above the black 3D view; its entries
        are the runs of dark text pixels."""
        x0, y0, w, h = self.box
        for attempt in range(100):
            picture = Picture()
            bottom = None
            for y in range(y0 + 2, y0 + 80):
                if sum(picture.pixel(x0 + w // 2, y)) < 30 and sum(picture.pixel(x0 + w - 10, y)) < 30:
                    bottom = y
                    break
            if bottom is not None:
                columns = []
                for x in range(x0, x0 + w):
                    if any(sum(picture.pixel(x, y)) < 330 for y in range(y0 + 1, bottom - 1)):
                        columns.append(x)
                entries = []
                for x in columns:
                    if entries and x - entries[-1][1] <= 6:
                        entries[-1][1] = x
                    else:
                        entries.append([x, x])
                if len(entries) == 5:
                    self.menu_y = (y0 + bottom) // 2
                    self.entries = [(a + b) // 2 for a, b in entries]
                    self.view = (x0, bottom, w, y0 + h - bottom)
                    return
            time.sleep(0.2)
        raise RuntimeError("menu bar not found")


def popup_entries(picture, box):
    """The rows of a popup menu: ('item', y) for items, ('-', y) for separators."""
    x0, y0, w, h = box
    background = picture.pixel(x0 + w - 4, y0 + h // 2)
    rows = []
    for y in range(y0 + 2, y0 + h - 2):
        ink = line = 0
        for x in range(x0 + 3, x0 + w - 3):
            p = picture.pixel(x, y)
            d = abs(p[0] - background[0]) + abs(p[1] - background[1]) + abs(p[2] - background[2])
            if d > 24:
                line += 1
            if d > 90:
                ink += 1
        rows.append((y, ink, line))
    entries, run_rows = [], []
    for y, ink, line in rows + [(None, 0, 0)]:
        if y is not None and (ink > 0 or line > (w - 6) * 0.5):
            run_rows.append((y, ink, line))
            continue
        if run_rows:
            first, last = run_rows[0][0], run_rows[-1][0]
            wide = all(l > (w - 6) * 0.5 for _, _, l in run_rows)
            entries.append(("-" if last - first <= 2 and wide else "item", (first + last) // 2))
            run_rows = []
    return entries


class Menus:
    def __init__(self, viewer, window):
        self.viewer, self.window = viewer, window

    def escape(self):
        for _ in range(3):
            xdotool("key", "Escape")
            time.sleep(0.2)

    def open_popup(self, known, x, y, shape):
        """Clicks at (x, y) and returns the box and rows of the popup that opens,
        once it shows the expected shape (a string of 'i' and '-')."""
        click(x, y)
        end = time.time() + 15
        while time.time() < end:
            new = [w for w in self.viewer.windows() if w not in known]
            for w in new:
                box = geometry(w)
                if box[2] < 20 or box[3] < 10:
                    continue
                entries = popup_entries(Picture(), box)
                found = "".join("-" if kind == "-" else "i" for kind, _ in entries)
                if found == shape:
                    return w, box, entries
            time.sleep(0.2)
        return None

    def choose(self, path, attempts=4):
        """Chooses a menu item: path is a list of (menu bar entry index or item
        index, expected shape of the popup) steps; the last index is clicked.
        Returns the time of the click, or None when the menus did not open."""
        for attempt in range(attempts):
            known = set(self.viewer.windows())
            x, y = self.window.entries[path[0][0]], self.window.menu_y
            ok = True
            box = None
            for step, (index, shape) in enumerate(path[1:]):
                opened = self.open_popup(known, x, y, shape)
                if opened is None:
                    ok = False
                    break
                w, box, entries = opened
                known.add(w)
                items = [e for e in entries if e[0] == "item"]
                x, y = box[0] + min(60, box[2] // 3), items[index][1]
            if ok:
                return click(x, y)        # the time of the release, which chooses the item
            self.escape()
            time.sleep(0.5)
        return None


# The popups of the menu tree as shapes ('i' item, '-' separator).
FILE_NEW = "i-i"            # Load, separator, Exit (no recentpdb.txt)
FILE_RECENT1 = "i-i-i"      # Load, separator, one recent entry, separator, Exit
OPTIONS = "iiiiii-i"
RENDER = "iiii-i"
ATOMS = "ii"
BONDS = "ii"
NAVIGATION_MENU = "i-iii"

FILE, OPTIONS_BAR, RENDER_BAR, NAVIGATION, HELP = range(5)


def send_close(window):
    """Asks the window to close as a window manager does (WM_DELETE_WINDOW)."""
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    display = x11.XOpenDisplay(None)
    event = Event()
    event.xclient.type = 33                      # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)


# ---------------------------------------------------------------------------
# The user's session
# ---------------------------------------------------------------------------
WELCOME = ("Welcome to Molvane\n"
           "\nLoad a PDB file by selecting one from the file menu\n"
           "Use the LEFT mouse button to rotate the molecule\n"
           "Use the RIGHT mouse button to zoom in and out\n"
           "Use the MIDDLE button to select an atom and display its information\n\n"
           "You may re-center the molecule by selecting Navigation->Center Molecule\n"
           "You may change the rendering settings from the render menu, and any\n"
           "other options by selecting them from the Options menu\n")

# The radius keeps its decimal point whatever the locale (the first session
# runs in German, where printf would otherwise write "1,36").
ATOM_BLOCK = (r"\nAtom Number:     \d+\nChemical Name:   [A-Za-z]+ \([A-Za-z ]{1,2}\)\n"
              r"VDW Radius:      \d+\.\d\d Ang\nAtomic Weight:   \d+\nChain:           \S+\n"
              r"Residue:         \S+\nAtom Valence:    -?\d+\nTotal Bonds:     \d+\n"
              r"Bonded to Atoms: (None|(\d+\([A-Za-z ]{1,2}\) )+)\n")


def wait_refresh(viewer):
    """A refresh: its message, then the bond count again (no read)."""
    start = viewer.mark
    if viewer.wait_for(r"\nRefreshing Structure\.\.\.\n", 30) is None:
        return False
    return (viewer.wait_for(r"(?m)^\d+ bonds found\n", 60) is not None and
            "atoms found" not in viewer.text()[start:viewer.mark])


def wait_ready(viewer, what, timeout=120):
    match = viewer.wait_for(r"Generating Display List\.\.\.\nReady\n", timeout)
    check(match is not None, what + ": the scene is recorded (\"Generating Display List...\", \"Ready\")")
    time.sleep(0.8)        # a few frames more on the screen
    return match is not None


def middle_click_atom(viewer, window, picture, what):
    """Middle-clicks the lit pixel nearest the middle of the 3D view that has
    lit pixels all round it (inside a sphere, or on a line)."""
    x0, y0, w, h = window.view
    cx, cy = x0 + w // 2, y0 + h // 2
    best = None
    for x, y, r, g, b in lit_pixels(picture, window.view):
        if x0 + 3 <= x < x0 + w - 3 and y0 + 3 <= y < y0 + h - 3:
            around = sum(1 for dx in (-2, 0, 2) for dy in (-2, 0, 2) if sum(picture.pixel(x + dx, y + dy)) > 60)
            d = (x - cx) ** 2 + (y - cy) ** 2
            if around == 9 and (best is None or d < best[0]):
                best = (d, x, y)
    if not check(best is not None, what + ": an atom is visible to click"):
        return
    start = len(viewer.text())
    for attempt in range(3):
        click(best[1], best[2], 2, hold=0.3)
        if viewer.wait_for(ATOM_BLOCK, 10, start):
            check(True, what + ": the middle button prints the atom block")
            return
    check(False, what + ": the middle button prints the atom block")


def load_through_dialog(viewer, menus, path, found_text="PDB File Found ", file_menu=FILE_NEW):
    """File > "Load PDB Structure...", then the path typed into the dialog;
    true once the console answers with found_text and the path. file_menu
    is the File menu's layout at the time."""
    for attempt in range(3):
        before = set(viewer.windows())
        if not menus.choose([(FILE, None), (0, file_menu)]):
            continue
        dialog = None
        end = time.time() + 20
        while dialog is None and time.time() < end:
            for w in viewer.windows():
                if w not in before:
                    box = geometry(w)
                    if box[2] > 250 and box[3] > 150:
                        dialog = w
            time.sleep(0.2)
        if dialog is None:
            menus.escape()
            continue
        time.sleep(1.5)                          # let the dialog settle and list the folder
        box = geometry(dialog)
        xdotool("mousemove", "--sync", box[0] + box[2] // 2, box[1] + box[3] // 2)
        run(["xdotool", "windowfocus", "--sync", str(dialog)], timeout=10)
        time.sleep(0.3)
        xdotool("type", "--delay", "25", "--", path)
        time.sleep(0.5)
        xdotool("key", "Return")
        answer = r"\n" + re.escape(found_text + path) + r"\n"
        found = viewer.wait_for(answer, 20)
        if found is None:
            xdotool("key", "Return")
            found = viewer.wait_for(answer, 20)
        if found is not None:
            return True
        menus.escape()
    return False


def locale_installed(name):
    listed = run(["locale", "-a"]).split()
    return name.lower().replace("-", "") in [n.lower().replace("-", "") for n in listed]


def first_session(workdir, pdb):
    # A decimal-comma locale: the atom block must still print "1.36 Ang".
    german = "de_DE.UTF-8"
    check(locale_installed(german), "the %s locale is installed (scripts/setup.sh)" % german)
    viewer = Viewer(workdir, "first", locale=german)
    try:
        check(viewer.wait_for(re.escape(WELCOME), 60) is not None, "the welcome text, exactly")
        time.sleep(0.5)
        check(viewer.text() == WELCOME, "the welcome text is printed once, and nothing else")
        window = Window(viewer)
        menus = Menus(viewer, window)
        empty = Picture()
        check(len(lit_pixels(empty, window.view)) == 0, "before loading the 3D view is black")

        # Help > "See Help..."
        start = len(viewer.text())
        menus.choose([(HELP, None), (0, "i")])
        check(viewer.wait_for(re.escape(WELCOME[len("Welcome to Molvane\n"):]), 20, start) is not None,
              "See Help... prints the help text")

        # The dialog cancelled: nothing printed, nothing loaded.
        before = set(viewer.windows())
        start = len(viewer.text())
        if menus.choose([(FILE, None), (0, FILE_NEW)]):
            end = time.time() + 20
            while time.time() < end and not [w for w in viewer.windows() if w not in before
                                             and geometry(w)[2] > 250]:
                time.sleep(0.2)
            time.sleep(1.0)
            xdotool("key", "Escape")
            time.sleep(1.5)
            check(viewer.text()[start:] == "" and not [w for w in viewer.windows() if w not in before],
                  "cancelling the dialog prints nothing and closes it")

        # File > "Load PDB Structure..." and the dialog.
        start = len(viewer.text())
        loaded = load_through_dialog(viewer, menus, pdb)
        check(loaded, "the dialog opens the typed path: \"PDB File Found\"")
        if not loaded:
            return viewer
        check(viewer.wait_for(r"(\d+) atoms found", 30, start) is not None, "\"%d atoms found\" follows")
        check(viewer.wait_for(r" \((\d+) unbonded\)\n", 30) is not None, "\" (%d unbonded)\" follows")
        check(viewer.wait_for(r"(?m)^(\d+) bonds found\n", 30) is not None, "\"%d bonds found\" follows")
        wait_ready(viewer, "load")
        lines = Picture()
        lines.save_png(os.path.join(ARGS.artifacts, "lines.png"), window.box)
        lit = lit_pixels(lines, window.view)
        check(len(lit) > 500, "the molecule shows in line mode (%d lit pixels)" % len(lit))
        check(len(colour_classes(lit)) >= 2, "line mode shows two or more element colours")
        check(os.path.exists(os.path.join(workdir, "recentpdb.txt")) and
              open(os.path.join(workdir, "recentpdb.txt")).read() == pdb + "\n",
              "recentpdb.txt holds the loaded path")
        middle_click_atom(viewer, window, lines, "line mode")

        # The left button turns the molecule, the right button brings it closer.
        x0, y0, w, h = window.view
        drag(x0 + w // 2, y0 + h // 2, 60, 20, 1)
        turned = Picture()
        check(difference(lines, turned, window.view) > 0.01, "a left drag turns the molecule")
        drag(x0 + w // 2, y0 + h // 2, 0, -120, 3)
        closer = Picture()
        closer.save_png(os.path.join(ARGS.artifacts, "lines_closer.png"), window.box)
        lit_closer = lit_pixels(closer, window.view)
        check(len(lit_closer) > len(lit_pixels(turned, window.view)),
              "a right drag upwards brings the molecule closer")

        # Render > "Draw Atoms..." > "Draw Atoms in 3D".
        menus.choose([(RENDER_BAR, None), (0, RENDER), (0, ATOMS)])
        check(wait_refresh(viewer),
              "Draw Atoms in 3D refreshes the structure")
        wait_ready(viewer, "spheres")
        spheres = Picture()
        spheres.save_png(os.path.join(ARGS.artifacts, "spheres.png"), window.box)
        lit_spheres = lit_pixels(spheres, window.view)
        check(len(lit_spheres) > 1.2 * len(lit), "spheres cover more of the view than lines (%d > %d)"
              % (len(lit_spheres), len(lit)))
        check(len(colour_classes(lit_spheres)) >= 2, "spheres show element colours")
        middle_click_atom(viewer, window, spheres, "spheres")

        # Render > "Draw Bonds..." > "Draw Bonds in 3D".
        menus.choose([(RENDER_BAR, None), (1, RENDER), (0, BONDS)])
        check(wait_refresh(viewer),
              "Draw Bonds in 3D refreshes the structure")
        wait_ready(viewer, "cylinders")
        cylinders = Picture()
        cylinders.save_png(os.path.join(ARGS.artifacts, "cylinders.png"), window.box)
        lit_cylinders = lit_pixels(cylinders, window.view)
        check(len(lit_cylinders) > len(lit_spheres), "cylinders are thicker than lines (%d > %d)"
              % (len(lit_cylinders), len(lit_spheres)))

        # Render > "Draw CPK Space Filled", on and off again.
        menus.choose([(RENDER_BAR, None), (2, RENDER)])
        check(wait_refresh(viewer), "Draw CPK Space Filled refreshes the structure")
        wait_ready(viewer, "space filling")
        cpk = Picture()
        cpk.save_png(os.path.join(ARGS.artifacts, "spacefilled.png"), window.box)
        check(len(lit_pixels(cpk, window.view)) > len(lit_cylinders), "space-filling spheres cover the most")
        menus.choose([(RENDER_BAR, None), (2, RENDER)])
        wait_ready(viewer, "space filling off")

        # Back to crosses, then Options > "Colour By Chain".
        menus.choose([(RENDER_BAR, None), (0, RENDER), (1, ATOMS)])
        wait_ready(viewer, "crosses")
        menus.choose([(OPTIONS_BAR, None), (3, OPTIONS)])
        check(wait_refresh(viewer),
              "Colour By Chain refreshes the structure")
        wait_ready(viewer, "chain colours")
        chain = Picture()
        chain.save_png(os.path.join(ARGS.artifacts, "chain.png"), window.box)
        check(difference(cylinders, chain, window.view) > 0.005, "colouring by chain changes the picture")

        # Navigation > "Spin" turns the view from frame to frame until chosen again.
        menus.choose([(NAVIGATION, None), (0, NAVIGATION_MENU)])
        time.sleep(1.0)
        first, second = Picture(), (time.sleep(1.2), Picture())[1]
        check(difference(first, second, window.view) > 0.005, "Spin turns the molecule by itself")
        menus.choose([(NAVIGATION, None), (0, NAVIGATION_MENU)])
        time.sleep(1.0)
        first, second = Picture(), (time.sleep(0.7), Picture())[1]
        check(difference(first, second, window.view) < 0.001, "Spin again stops it")

        # File > "Exit" (the File menu now has the recent entry).
        menus.choose([(FILE, None), (2, FILE_RECENT1)])
        try:
            status = viewer.process.wait(20)
        except subprocess.TimeoutExpired:
            status = None
        check(status == 1, "Exit ends the program with status 1 (got %s)" % status)
        return viewer
    finally:
        viewer.stop()


def second_session(workdir, pdb):
    # A file named on the command line opens as a dialog choice does, after
    # the welcome text; an option Qt does not know is passed over.
    viewer = Viewer(workdir, "second", [pdb, "--unknown-option"])
    try:
        check(viewer.wait_for(re.escape(WELCOME), 60) is not None, "second start: the welcome text")
        check(viewer.wait_for(r"\nPDB File Found " + re.escape(pdb) + r"\n", 30) is not None,
              "a file named on the command line is opened")
        wait_ready(viewer, "the file named on the command line")
        window = Window(viewer)
        menus = Menus(viewer, window)
        # File > the recent entry.
        check(menus.choose([(FILE, None), (1, FILE_RECENT1)]), "the File menu shows one recent entry")
        check(viewer.wait_for(r"\nPDB File Found " + re.escape(pdb) + r"\n", 30) is not None,
              "the recent entry opens the file with its full path")
        wait_ready(viewer, "recent entry")
        recent = Picture()
        check(len(lit_pixels(recent, window.view)) > 500, "the molecule shows after the recent entry")
        check(open(os.path.join(workdir, "recentpdb.txt")).read() == pdb + "\n",
              "the recent entry leaves recentpdb.txt as it was")

        # Closing the window through the window system ends the program too.
        send_close(window.id)
        try:
            status = viewer.process.wait(20)
        except subprocess.TimeoutExpired:
            status = None
        check(status == 1, "closing the window ends the program with status 1 (got %s)" % status)
    finally:
        viewer.stop()


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--source-root", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--artifacts", required=True)
    ARGS = parser.parse_args()
    ARGS.binary = os.path.abspath(ARGS.binary)
    if not os.environ.get("DISPLAY"):
        print("no X display (run under xvfb-run)")
        return 1
    os.makedirs(ARGS.artifacts, exist_ok=True)
    workdir = tempfile.mkdtemp(prefix="molvane-e2e-")
    try:
        os.symlink(os.path.join(ARGS.source_root, "Textures"), os.path.join(workdir, "Textures"))
        pdb = os.path.join(workdir, "structures", "1hpv.pdb")
        os.makedirs(os.path.dirname(pdb))
        shutil.copy(os.path.join(ARGS.data, "1hpv.pdb"), pdb)
        first_session(workdir, pdb)
        second_session(workdir, pdb)
        for name in ("first.out", "second.out"):
            path = os.path.join(workdir, name)
            if os.path.exists(path):
                shutil.copy(path, os.path.join(ARGS.artifacts, name))
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return verdict()


def check_script_arguments():
    """The arguments every check script of the viewer takes: the program,
    the source tree, the test data and where to keep what it saw."""
    parser = argparse.ArgumentParser()
    for name in ("--binary", "--source-root", "--data", "--artifacts"):
        parser.add_argument(name, required=True)
    arguments = parser.parse_args()
    arguments.binary = os.path.abspath(arguments.binary)
    os.makedirs(arguments.artifacts, exist_ok=True)
    return arguments


def verdict():
    """The closing line of a check script and its exit status."""
    if FAILURES:
        print("%d check(s) failed" % len(FAILURES))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
