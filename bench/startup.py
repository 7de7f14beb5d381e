#!/usr/bin/env python3
"""Start-up against its floor: how long after it is started a program's first window is mapped on
an X display, for Keyhaven's splash and for a minimal Qt window, each started many times in turn.

    startup.py KEYHAVEN MINIMAL_WINDOW [RUNS]

Run it on an X display (scripts/startup.sh starts Xvfb); each Keyhaven start runs in a fresh
folder of its own, so that no file of a real vault is touched.
"""
import glob
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, display


def time_to_map(d, command, env):
    while d.pending_events() > 0:
        d.next_event()
    start = time.monotonic()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    mapped = None
    try:
        deadline = start + 20
        while mapped is None and time.monotonic() < deadline:
            if d.pending_events() == 0:
                select.select([d.fileno()], [], [], 0.05)
            while d.pending_events() > 0:
                event = d.next_event()
                if event.type == X.MapNotify and mapped is None:
                    mapped = time.monotonic() - start
    finally:
        process.kill()
        process.wait()
    if mapped is None:
        raise SystemExit("no window was mapped: " + " ".join(command))
    return mapped


def main():
    keyhaven, minimal = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 15
    env = dict(os.environ, QT_QPA_PLATFORM="xcb")
    env.pop("QTWEBENGINE_CHROMIUM_FLAGS", None)
    times = {"minimal": [], "keyhaven": []}
    # One connection for every start: the server is not left without clients between them.
    d = display.Display()
    d.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    d.sync()
    with tempfile.TemporaryDirectory() as work:
        for run in range(runs + 1):
            times["minimal"].append(time_to_map(d, [minimal], env))
            folder = os.path.join(work, "run%d" % run)
            os.makedirs(folder)
            program = os.path.join(folder, "keyhaven")
            shutil.copy(keyhaven, program)
            # The libraries it brings, beside it as installed.
            for library in glob.glob(os.path.join(os.path.dirname(keyhaven), "libkeyhaven_*.so")):
                shutil.copy(library, folder)
            run_env = dict(env, HOME=folder, XDG_CONFIG_HOME=os.path.join(folder, "config"),
                           XDG_STATE_HOME=os.path.join(folder, "state"))
            times["keyhaven"].append(time_to_map(d, [program], run_env))
    # The first start of each warms the disk cache: left out.
    minimal_s = statistics.median(times["minimal"][1:])
    keyhaven_s = statistics.median(times["keyhaven"][1:])
    print("Window mapped after start, median of %d starts each:" % runs)
    print("  minimal Qt window (a QLabel):  %.3f s" % minimal_s)
    print("  Keyhaven's splash:             %.3f s  (%.2f x the minimal window)" % (keyhaven_s, keyhaven_s / minimal_s))


if __name__ == "__main__":
    main()
