#!/usr/bin/env python3
"""installed_viewer.py - the installed viewer started from an empty folder.

Starts BINARY (the installed /usr/bin/molvane) in an empty temporary working
directory, so the textures can only come from the installed data folder,
loads a small file of one carbon and one oxygen through the real open-file
dialog, shows its bond as sticks without atom crosses and checks that the
stick is grey at one end and red at the other, and that nothing on the
console complains about textures. Drives the program with the helpers of
viewer_e2e.py.
"""
import argparse
import os
import re
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import viewer_e2e as e2e  # noqa: E402
from viewer_e2e import check  # noqa: E402

# One carbon and one oxygen 1.43 apart along x.
CARBON_OXYGEN = (
    "ATOM      1  C   MOH A   1       0.000   0.000   0.000  1.00  0.00           C\n"
    "ATOM      2  O   MOH A   1       1.430   0.000   0.000  1.00  0.00           O\n"
    "END\n")


def grey_and_red(picture, box):
    """Counts the lit pixels that are clearly grey and clearly red."""
    grey = red = 0
    for _, _, r, g, b in e2e.lit_pixels(picture, box):
        if abs(r - g) < 20 and abs(g - b) < 20 and r > 60:
            grey += 1
        elif r > 80 and r > 3 * g and r > 3 * b:
            red += 1
    return grey, red


def session(workdir, empty, pdb):
    viewer = e2e.Viewer(workdir, "installed", cwd=empty)
    try:
        check(viewer.wait_for(re.escape(e2e.WELCOME), 60) is not None, "the installed viewer starts")
        window = e2e.Window(viewer)
        menus = e2e.Menus(viewer, window)
        check(e2e.load_through_dialog(viewer, menus, pdb), "the dialog opens the C-O file")
        e2e.wait_ready(viewer, "load")
        # Render > "Draw Bonds..." > "Draw Bonds in 3D", then the crosses off.
        menus.choose([(e2e.RENDER_BAR, None), (1, e2e.RENDER), (0, e2e.BONDS)])
        check(e2e.wait_refresh(viewer), "Draw Bonds in 3D refreshes the structure")
        e2e.wait_ready(viewer, "sticks")
        menus.choose([(e2e.RENDER_BAR, None), (0, e2e.RENDER), (1, e2e.ATOMS)])
        check(e2e.wait_refresh(viewer), "Draw Atoms as Crosses (off) refreshes the structure")
        e2e.wait_ready(viewer, "sticks without crosses")
        picture = e2e.Picture()
        picture.save_png(os.path.join(ARGS.artifacts, "installed_stick.png"), window.box)
        grey, red = grey_and_red(picture, window.view)
        check(grey > 200 and red > 200, "the C-O stick is grey and red (%d grey, %d red pixels)" % (grey, red))
        text = viewer.text()
        check("texture" not in text, "nothing on the console about textures")
        check(os.listdir(empty) == ["recentpdb.txt"], "the working directory holds only recentpdb.txt")
    finally:
        viewer.stop()
        shutil.copy(viewer.log, os.path.join(ARGS.artifacts, "installed.out"))


def desktop_files():
    """The desktop entry hands a file over and names the structure types;
    the package's file types reach the desktop's database."""
    with open("/usr/share/applications/molvane.desktop") as entry:
        lines = entry.read().splitlines()
    check("Exec=molvane %f" in lines, "the desktop entry hands a file to molvane (Exec=molvane %f)")
    check("MimeType=chemical/x-pdb;chemical/x-cif;chemical/x-mmcif;" in lines,
          "the desktop entry names the PDB, CIF and mmCIF types")
    check(os.path.exists("/usr/share/mime/packages/molvane.xml"), "the package installs its file types")
    globs = "/usr/share/mime/globs2"
    if os.path.exists("/usr/bin/update-mime-database") and os.path.exists(globs):
        with open(globs) as table:
            known = table.read()
        for pattern, kind in (("*.cif.gz", "chemical/x-cif"), ("*.ent", "chemical/x-pdb"),
                              ("*.mmcif", "chemical/x-mmcif")):
            check("%s:%s" % (kind, pattern) in known, "the desktop's database knows %s as %s" % (pattern, kind))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--artifacts", required=True)
    ARGS = parser.parse_args()
    ARGS.binary = os.path.abspath(ARGS.binary)
    e2e.ARGS = ARGS
    if not os.environ.get("DISPLAY"):
        print("no X display (run under xvfb-run)")
        return 1
    os.makedirs(ARGS.artifacts, exist_ok=True)
    workdir = tempfile.mkdtemp(prefix="molvane-installed-")
    try:
        empty = os.path.join(workdir, "empty")
        os.makedirs(empty)
        pdb = os.path.join(workdir, "carbonoxygen.pdb")
        with open(pdb, "w") as out:
            out.write(CARBON_OXYGEN)
        desktop_files()
        session(workdir, empty, pdb)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return e2e.verdict()


if __name__ == "__main__":
    sys.exit(main())
