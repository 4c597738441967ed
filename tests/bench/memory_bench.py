#!/usr/bin/env python3
"""Private memory of Mokuna.exe at start against a bare window of the character's size, in one run.

The windows build's programs run under Wine on a private Xvfb; Private_Dirty is read SECONDS after each start.
Mokuna starts in a fresh folder (making the mask files), then again there, as every day. A benchmark: it fails
only when a program cannot be started. Prints the medians of RUNS runs."""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2elib  # noqa: E402

RUNS, SECONDS = 3, 4.0


def program_pid(root, exe_name):
    todo = [root]  # the Windows program is the started process once Wine has exec'd into it, else a descendant
    while todo:
        pid = todo.pop()
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                name = f.read().split(b"\0")[0].decode("utf-8", "replace").replace("\\", "/").lower()
            if name.endswith(exe_name.lower()):
                return pid
            with open(f"/proc/{pid}/task/{pid}/children") as f:
                todo += [int(c) for c in f.read().split()]
        except OSError:  # gone meanwhile
            pass
    raise RuntimeError(f"{exe_name} is not running")


def private_dirty_kb(root, exe_name):
    with open(f"/proc/{program_pid(root, exe_name)}/smaps_rollup") as f:
        return next(int(line.split()[1]) for line in f if line.startswith("Private_Dirty:"))


def measure(display, folder, exe_name, seconds=SECONDS):
    app = e2elib.Mokuna(folder, display, program=exe_name).start()
    time.sleep(seconds)
    try:
        return private_dirty_kb(app.proc.pid, exe_name)
    finally:
        app.kill()


def main():
    mokuna = [e2elib.build_file(f) for f in ("host/Mokuna.exe", "scheduler/Kavrel.dll", "plugin/Fennick.dll")]
    mokuna += [os.path.join(e2elib.SOURCE_DIR, "assets", f) for f in e2elib.ASSET_FILES]
    figures = {"bare window": [], "Mokuna, later": [], "Mokuna, first": []}
    with e2elib.Display() as display:
        bare = e2elib.scratch_folder([e2elib.build_file("tests/win/bench/bare_window.exe")])
        measure(display, bare, "bare_window.exe", 1.0)  # Wine's first start warms its caches
        for _ in range(RUNS):
            figures["bare window"].append(measure(display, bare, "bare_window.exe"))
            folder = e2elib.scratch_folder([f for f in mokuna if os.path.exists(f)])
            figures["Mokuna, first"].append(measure(display, folder, "Mokuna.exe"))
            figures["Mokuna, later"].append(measure(display, folder, "Mokuna.exe"))
    print(f"Private_Dirty {SECONDS:g} s after start, median of {RUNS} (each run's figures in brackets)")
    base = statistics.median(figures["bare window"])
    for name, kbs in figures.items():
        m = statistics.median(kbs)
        print(f"  {name:14} {m / 1024:5.1f} MB  [{', '.join(f'{k / 1024:.1f}' for k in kbs)}]  "
              f"difference {(m - base) / 1024:.1f} MB")


if __name__ == "__main__":
    main()
