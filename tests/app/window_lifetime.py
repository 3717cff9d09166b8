#!/usr/bin/env python3
"""window_lifetime.py - the viewer never outlives its window.

Each case starts its own X server (Xvfb on a free display) and the real
viewer on it, then takes the window away as the window system can: the
window destroyed from outside (`xdotool windowclose`), the X server killed
(a lost connection), and the window manager's close request. The process
must be gone within a few seconds; the close request ends it with status 1.

Needs Xvfb, xdotool and python3; no display of its own.
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from viewer_e2e import check, send_close, verdict  # noqa: E402

GONE_WITHIN = 5.0          # seconds a vanished window may take to end the process


def start_server():
    """Xvfb on the first free display; returns the process and ':N'."""
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp"], pass_fds=(write,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    end = time.time() + 30
    while not number.endswith(b"\n") and time.time() < end:
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    if not number.strip():
        server.kill()
        raise RuntimeError("Xvfb did not start")
    return server, ":" + number.decode().strip()


class Session:
    """One X server and the viewer on it, in a scratch working directory."""

    def __init__(self, binary, workdir, name):
        self.server, self.display = start_server()
        self.env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb")
        self.log = os.path.join(workdir, name + ".out")
        with open(self.log, "w") as out, open(os.path.join(workdir, name + ".err"), "w") as err:
            self.viewer = subprocess.Popen([binary], cwd=workdir, env=self.env, stdout=out, stderr=err,
                                           stdin=subprocess.DEVNULL)

    def xdotool(self, *words):
        return subprocess.run(["xdotool"] + [str(w) for w in words], env=self.env, capture_output=True,
                              text=True, timeout=30).stdout

    def main_window(self):
        """Waits for the welcome text and returns the viewer's top-level window."""
        end = time.time() + 60
        while time.time() < end and self.viewer.poll() is None:
            with open(self.log, errors="replace") as console:
                ready = "other options by selecting them from the Options menu\n" in console.read()
            if ready:
                best = None
                for word in self.xdotool("search", "--onlyvisible", "--pid", self.viewer.pid).split():
                    shape = self.xdotool("getwindowgeometry", word)
                    size = re.search(r"Geometry: (\d+)x(\d+)", shape)
                    if size and int(size.group(1)) >= 480 and int(size.group(2)) >= 480:
                        if best is None or int(size.group(2)) > best[1]:
                            best = (int(word), int(size.group(2)))
                if best is not None:
                    return best[0]
            time.sleep(0.2)
        return None

    def ended_within(self, seconds):
        try:
            return self.viewer.wait(seconds)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        for process in (self.viewer, self.server):
            if process.poll() is None:
                process.kill()
                process.wait(10)


def case(binary, workdir, name, take_away, expect_status=None):
    session = Session(binary, workdir, name)
    try:
        window = session.main_window()
        if not check(window is not None, name + ": the viewer shows its window"):
            return
        time.sleep(0.5)
        take_away(session, window)
        status = session.ended_within(GONE_WITHIN)
        check(status is not None, "%s: the process is gone within %g s" % (name, GONE_WITHIN))
        if expect_status is not None:
            check(status == expect_status, "%s: exit status %d (got %s)" % (name, expect_status, status))
    finally:
        session.stop()


def destroy_window(session, window):
    session.xdotool("windowclose", window)


def kill_server(session, window):
    session.server.send_signal(signal.SIGKILL)
    session.server.wait(10)


def close_request(session, window):
    saved = os.environ.get("DISPLAY")
    os.environ["DISPLAY"] = session.display
    try:
        send_close(window)
    finally:
        if saved is None:
            del os.environ["DISPLAY"]
        else:
            os.environ["DISPLAY"] = saved


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--source-root", required=True)
    args = parser.parse_args()
    binary = os.path.abspath(args.binary)
    workdir = tempfile.mkdtemp(prefix="molvane-lifetime-")
    try:
        os.symlink(os.path.join(args.source_root, "Textures"), os.path.join(workdir, "Textures"))
        case(binary, workdir, "window destroyed", destroy_window)
        case(binary, workdir, "X server killed", kill_server)
        case(binary, workdir, "close request", close_request, expect_status=1)
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
