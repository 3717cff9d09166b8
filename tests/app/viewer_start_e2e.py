#!/usr/bin/env python3
"""viewer_start_e2e.py - the real viewer started as the desktop starts it:
`molvane FILE` with a gzip-compressed mmCIF file (a relative name, Qt's own
-platform option before it) must open it as the dialog would and reach
"Ready"; a FILE that is not there gets the dialog's message and the viewer
stays up. Started with no X display, or with one that is not there, it ends
with status 2 and one line that points to molvane-render. Started again and
again alone on a display, it reaches its welcome text every time.
"""
import gzip
import os
import shutil
import subprocess
import sys
import tempfile
import time

import viewer_e2e as e2e
from viewer_e2e import Viewer, check, wait_ready

WELCOME_END = r"other options by selecting them from the Options menu\n"


def write_mmcif_gz(pdb, target):
    """The atoms of a PDB file as a gzip-compressed mmCIF file (ids as the
    serial numbers, so the last one is the atom count the reader prints)."""
    rows = []
    with open(pdb) as lines:
        for line in lines:
            if line.startswith(("ATOM  ", "HETATM")):
                rows.append("%s %d %s %s %s %s %s %s %s\n" % (
                    line[:6].strip(), int(line[6:11]), line[76:78].strip() or "?", line[12:16].strip(),
                    line[17:20].strip(), line[21].strip() or "?", line[30:38].strip(), line[38:46].strip(),
                    line[46:54].strip()))
    head = ("data_start\nloop_\n" + "".join("_atom_site.%s\n" % t for t in (
        "group_PDB", "id", "type_symbol", "auth_atom_id", "auth_comp_id", "auth_asym_id",
        "Cartn_x", "Cartn_y", "Cartn_z")))
    with gzip.open(target, "wt") as out:
        out.write(head + "".join(rows))


def no_display(workdir):
    """No DISPLAY, then a DISPLAY naming a server that is not there."""
    free = next(n for n in range(90, 200) if not os.path.exists("/tmp/.X11-unix/X%d" % n)
                and not os.path.exists("/tmp/.X%d-lock" % n))
    for what, display in (("DISPLAY unset", None), ("DISPLAY=:%d (no server)" % free, ":%d" % free)):
        environment = dict(os.environ)
        environment.pop("DISPLAY", None)
        environment.pop("WAYLAND_DISPLAY", None)
        environment.pop("QT_QPA_PLATFORM", None)
        if display:
            environment["DISPLAY"] = display
        try:
            result = subprocess.run([e2e.ARGS.binary], cwd=workdir, env=environment, capture_output=True,
                                    text=True, timeout=60)
        except subprocess.TimeoutExpired:
            check(False, what + ": the viewer ends")
            continue
        lines = result.stderr.splitlines()
        check(result.returncode == 2, what + ": exit status 2 (got %d)" % result.returncode)
        check(len(lines) == 1 and "display" in lines[0] and "molvane-render" in lines[0],
              what + ": one line that says so and points to molvane-render (%r)" % result.stderr)
        check("core dumped" not in result.stderr and "Reinstalling" not in result.stderr,
              what + ": no abort from Qt")


def named_file(workdir, folder, atoms):
    """`molvane -platform xcb structures/start.cif.gz` from workdir."""
    relative = os.path.join(os.path.basename(folder), "start.cif.gz")
    absolute = os.path.join(folder, "start.cif.gz")
    viewer = Viewer(workdir, "named", arguments=["-platform", "xcb", relative])
    try:
        check(viewer.wait_for(WELCOME_END, 60) is not None, "a named file: the welcome text first")
        found = viewer.wait_for(r"\nPDB File Found %s\n" % absolute.replace(".", r"\."), 60)
        check(found is not None, "a named file: \"PDB File Found\" with its absolute path")
        check(viewer.wait_for(r"%d atoms found \(\d+ unbonded\)\n" % atoms, 60) is not None,
              "a named .cif.gz file: its %d atoms read" % atoms)
        wait_ready(viewer, "a named .cif.gz file")
        with open(os.path.join(workdir, "recentpdb.txt")) as recent:
            check(recent.readline() == absolute + "\n", "a named file enters the recent list")
    finally:
        viewer.stop()


def missing_file(workdir):
    viewer = Viewer(workdir, "missing", arguments=["not-there.cif"])
    try:
        missing = os.path.join(workdir, "not-there.cif")
        check(viewer.wait_for(r"\nNo PDB File Found %s\n" % missing.replace(".", r"\."), 60) is not None,
              "a missing named file: the dialog's message")
        time.sleep(2.0)
        check(viewer.process.poll() is None, "a missing named file: the viewer stays up")
        check("atoms found" not in viewer.text(), "a missing named file: nothing is read")
    finally:
        viewer.stop()


def alone_on_display(workdir, starts=20):
    """Started again and again on a display with no other client: the X
    server resets whenever its last client leaves, and a start must not
    fall into that (the display check leaving just before Qt connects)."""
    failed = []
    for k in range(starts):
        viewer = Viewer(workdir, "alone")
        try:
            if viewer.wait_for(WELCOME_END, 30) is None:
                failed.append("start %d: status %s, %s" % (k + 1, viewer.process.poll(),
                                                          open(viewer.err.name).read().strip()[:200]))
        finally:
            viewer.stop()
    check(not failed, "%d starts alone on the display: each reaches the welcome text %s" % (starts, failed))


def main():
    e2e.ARGS = e2e.check_script_arguments()
    if not os.environ.get("DISPLAY"):
        print("no X display (run under xvfb-run)")
        return 1
    workdir = tempfile.mkdtemp(prefix="molvane-start-e2e-")
    try:
        os.symlink(os.path.join(e2e.ARGS.source_root, "Textures"), os.path.join(workdir, "Textures"))
        folder = os.path.join(workdir, "structures")
        os.makedirs(folder)
        write_mmcif_gz(os.path.join(e2e.ARGS.data, "1ubq.pdb"), os.path.join(folder, "start.cif.gz"))
        no_display(workdir)
        alone_on_display(workdir)
        named_file(workdir, folder, 661)
        missing_file(workdir)
        for name in ("named.out", "missing.out"):
            path = os.path.join(workdir, name)
            if os.path.exists(path):
                shutil.copy(path, os.path.join(e2e.ARGS.artifacts, "start-" + name))
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return e2e.verdict()


if __name__ == "__main__":
    sys.exit(main())
