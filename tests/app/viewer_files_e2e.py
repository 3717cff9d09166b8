#!/usr/bin/env python3
"""viewer_files_e2e.py - the real molvane viewer given things that are not
files where it expects files: a FIFO chosen in the open-file dialog, a FIFO
put in place of the current file before a reload, and /dev/zero or a FIFO as
"recentpdb.txt" at start-up and during a run. Each must end in its message
and a program that still answers: a menu opens within a second. A load
replaces a link at the list's name with a new list, never writing through.

Drives the viewer as viewer_e2e.py does (xdotool, screenshots) and uses its
helpers. Needs only python3, xdotool and ImageMagick's import.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import viewer_e2e as e2e
from viewer_e2e import (FILE, FILE_NEW, OPTIONS, OPTIONS_BAR, WELCOME, Menus, Viewer, Window, check,
                        geometry, load_through_dialog, wait_ready)

BOND_ACCURACY = "iii"            # Good, Better, Best (Slow Load)
BOND_ACCURACY_ITEM = 6           # the seventh item of the Options menu
RESPONSE_LIMIT = 1.0             # seconds from a click on the menu bar to its popup


def park_pointer(window):
    """Moves the pointer off the menu bar to the middle of the 3D view, so the
    next click there is a real move (xdotool's --sync waits for a move)."""
    x0, y0, w, h = window.view
    e2e.xdotool("mousemove", "--sync", x0 + w // 2, y0 + h // 2)


def menu_opens_quickly(viewer, window, what):
    """Clicks the File entry of the menu bar; true when its popup appears
    within RESPONSE_LIMIT. A second try forgives one slow moment of a busy
    machine; a frozen program fails both."""
    for attempt in range(2):
        known = set(viewer.windows())
        released = e2e.click(window.entries[FILE], window.menu_y)
        opened = None
        while opened is None and time.time() - released < RESPONSE_LIMIT + 4:
            if any(geometry(w)[2] >= 20 for w in viewer.windows() if w not in known):
                opened = time.time() - released
            else:
                time.sleep(0.02)
        Menus(viewer, window).escape()
        park_pointer(window)
        if opened is not None and opened <= RESPONSE_LIMIT:
            return check(True, "%s: a menu opens within a second (%.2f s)" % (what, opened))
        time.sleep(1.0)
    return check(False, "%s: a menu opens within a second (%s)" %
                 (what, "never" if opened is None else "%.2f s" % opened))


def file_menu_has_no_list(viewer, window, what):
    """The File menu reads "Load PDB Structure...", separator, "Exit": the
    recent list is empty and read as missing."""
    menus = Menus(viewer, window)
    for attempt in range(3):
        opened = menus.open_popup(set(viewer.windows()), window.entries[FILE], window.menu_y, FILE_NEW)
        menus.escape()
        park_pointer(window)
        if opened is not None:
            return check(True, what + ": the File menu has no recent entries")
        time.sleep(0.5)
    return check(False, what + ": the File menu has no recent entries")


def list_replaces_link(recent, loaded, what):
    """The load wrote a new list in place of the link: a regular file naming
    the file loaded, and /dev/zero is as it was."""
    with open(recent) as f:
        listed = f.read()
    check(not os.path.islink(recent) and listed == loaded + "\n",
          what + ": a new list replaced the link (%r)" % listed)
    check(os.path.exists("/dev/zero") and not os.path.isfile("/dev/zero"), what + ": /dev/zero is left alone")


def replace(path, kind):
    """Puts a FIFO ("fifo"), a link to /dev/zero ("zero") or nothing at path."""
    if os.path.lexists(path):
        os.unlink(path)
    if kind == "fifo":
        os.mkfifo(path)
    elif kind == "zero":
        os.symlink("/dev/zero", path)


def start(workdir, name):
    viewer = Viewer(workdir, name)
    came = viewer.wait_for(re.escape(WELCOME), 60) is not None
    check(came, name + ": the welcome text comes")
    window = Window(viewer)
    return viewer, window


def load(viewer, menus, path, what, file_menu=e2e.FILE_NEW):
    start_at = len(viewer.text())
    loaded = load_through_dialog(viewer, menus, path, file_menu=file_menu)
    check(loaded, what + ": the dialog opens " + os.path.basename(path))
    if loaded:
        viewer.mark = start_at
        wait_ready(viewer, what)
    return loaded


def exit_viewer(viewer, menus, what, file_menu=FILE_NEW):
    menus.choose([(FILE, None), (file_menu.count("i") - 1, file_menu)])
    try:
        status = viewer.process.wait(20)
    except subprocess.TimeoutExpired:
        status = None
    check(status == 1, what + ": Exit ends the program with status 1 (got %s)" % status)


def zero_list_session(workdir, folder):
    recent = os.path.join(workdir, "recentpdb.txt")
    replace(recent, "zero")
    viewer, window = start(workdir, "zero-list")
    try:
        menus = Menus(viewer, window)
        time.sleep(0.5)
        check(viewer.text() == WELCOME, "/dev/zero as recentpdb.txt: the welcome text and nothing else")
        menu_opens_quickly(viewer, window, "/dev/zero as recentpdb.txt at start-up")
        file_menu_has_no_list(viewer, window, "/dev/zero as recentpdb.txt at start-up")

        a = os.path.join(folder, "a.pdb")
        load(viewer, menus, a, "a load with /dev/zero as recentpdb.txt")
        list_replaces_link(recent, a, "after a load with /dev/zero as recentpdb.txt")

        # During the run the list becomes a FIFO.
        replace(recent, "fifo")
        b = os.path.join(folder, "b.pdb")
        load(viewer, menus, b, "a load with a FIFO as recentpdb.txt", e2e.FILE_RECENT1)
        file_menu_has_no_list(viewer, window, "after a load with a FIFO as recentpdb.txt")
        menu_opens_quickly(viewer, window, "a FIFO as recentpdb.txt during a run")

        # A FIFO chosen in the dialog.
        fifo = os.path.join(folder, "fifo.pdb")
        replace(fifo, "fifo")
        refused = load_through_dialog(viewer, menus, fifo, "No PDB File Found ")
        check(refused, "a FIFO chosen in the dialog: \"No PDB File Found\"")
        menu_opens_quickly(viewer, window, "after a FIFO chosen in the dialog")

        # The current file becomes a FIFO, then Options > "Bond Accuracy..." > "Better" reloads it.
        replace(b, "fifo")
        start_at = len(viewer.text())
        menus.choose([(OPTIONS_BAR, None), (BOND_ACCURACY_ITEM, OPTIONS), (1, BOND_ACCURACY)])
        check(viewer.wait_for(r"\nNo PDB File Found " + re.escape(b) + r"\n", 20, start_at) is not None,
              "a reload of a FIFO: \"No PDB File Found\"")
        menu_opens_quickly(viewer, window, "after a reload of a FIFO")
        exit_viewer(viewer, menus, "after the FIFOs")
    finally:
        viewer.stop()


def fifo_list_session(workdir, folder):
    recent = os.path.join(workdir, "recentpdb.txt")
    replace(recent, "fifo")
    viewer, window = start(workdir, "fifo-list")
    try:
        menus = Menus(viewer, window)
        menu_opens_quickly(viewer, window, "a FIFO as recentpdb.txt at start-up")
        file_menu_has_no_list(viewer, window, "a FIFO as recentpdb.txt at start-up")

        # During the run the list becomes a link to /dev/zero.
        replace(recent, "zero")
        load(viewer, menus, os.path.join(folder, "a.pdb"), "a load after /dev/zero replaced recentpdb.txt")
        list_replaces_link(recent, os.path.join(folder, "a.pdb"), "after /dev/zero replaced recentpdb.txt")
        menu_opens_quickly(viewer, window, "/dev/zero as recentpdb.txt during a run")
        exit_viewer(viewer, menus, "with /dev/zero as recentpdb.txt", e2e.FILE_RECENT1)
    finally:
        viewer.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--source-root", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--artifacts", required=True)
    e2e.ARGS = parser.parse_args()
    e2e.ARGS.binary = os.path.abspath(e2e.ARGS.binary)
    e2e.ARGS.source_root = os.path.abspath(e2e.ARGS.source_root)
    e2e.ARGS.data = os.path.abspath(e2e.ARGS.data)
    if not os.environ.get("DISPLAY"):
        print("no X display (run under xvfb-run)")
        return 1
    os.makedirs(e2e.ARGS.artifacts, exist_ok=True)
    workdir = tempfile.mkdtemp(prefix="molvane-files-e2e-")
    try:
        os.symlink(os.path.join(e2e.ARGS.source_root, "Textures"), os.path.join(workdir, "Textures"))
        folder = os.path.join(workdir, "structures")
        os.makedirs(folder)
        for name in ("a.pdb", "b.pdb"):
            shutil.copy(os.path.join(e2e.ARGS.data, "1ubq.pdb"), os.path.join(folder, name))
        zero_list_session(workdir, folder)
        fifo_list_session(workdir, folder)
        for name in ("zero-list.out", "fifo-list.out"):
            path = os.path.join(workdir, name)
            if os.path.exists(path):
                shutil.copy(path, os.path.join(e2e.ARGS.artifacts, name))
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return e2e.verdict()


if __name__ == "__main__":
    sys.exit(main())
