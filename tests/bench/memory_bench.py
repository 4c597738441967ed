#!/usr/bin/env python3
"""Private memory of Mokuna.exe at start against a bare window of the character's size, in one run.

Each program runs under Wine in a scratch folder on a private Xvfb; SECONDS after its start the Private_Dirty
of its Wine process (/proc/PID/smaps_rollup) is read. Mokuna is measured twice per run: its first start in a
fresh folder (which also makes the mask files) and a later start in the same folder, as every day's start is.
Prints the figures, their medians over the runs, and the differences to the bare window. A benchmark, not a test: it never fails on a figure, only when a program cannot be started.

  tests/bench/memory_bench.py [--mokuna DIR] [--bare EXE] [--runs N] [--seconds S]

--mokuna: the folder holding Mokuna.exe, Kavrel.dll and Fennick.dll (default: the windows build's);
--bare: the baseline program (default: the windows build's tests/win/bench/bare_window.exe).
Use MOKUNA_WINEPREFIX for a prefix of your own."""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2elib  # noqa: E402


def private_dirty_kb(pid):
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            if line.startswith("Private_Dirty:"):
                return int(line.split()[1])
    raise RuntimeError(f"no Private_Dirty for process {pid}")


def wine_process(popen, exe_name, timeout=30):
    """The process of the Windows program: the started one once Wine has exec'd into it, else a descendant."""
    def matches(pid):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                first = f.read().split(b"\0")[0].decode("utf-8", "replace")
        except OSError:
            return False
        return first.replace("\\", "/").lower().endswith(exe_name.lower())

    def children(pid):
        try:
            with open(f"/proc/{pid}/task/{pid}/children") as f:
                return [int(c) for c in f.read().split()]
        except OSError:
            return []

    def look():
        todo = [popen.pid]
        while todo:
            pid = todo.pop()
            if matches(pid):
                return pid
            todo += children(pid)
        return None

    pid = e2elib.wait_for(look, timeout, 0.05)
    if not pid:
        raise RuntimeError(f"{exe_name} did not start")
    return pid


def measure(display, folder, exe_name, seconds):
    app = e2elib.Mokuna(folder, display, program=exe_name).start()
    try:
        started = time.monotonic()
        pid = wine_process(app.proc, exe_name)
        time.sleep(max(0.0, seconds - (time.monotonic() - started)))
        return private_dirty_kb(pid)
    finally:
        app.kill()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mokuna", default=os.path.join(e2elib.BUILD_DIR, "host"))
    parser.add_argument("--bare", default=e2elib.build_file("tests/win/bench/bare_window.exe"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=4.0)
    args = parser.parse_args()

    program = [os.path.join(args.mokuna, "Mokuna.exe")]
    for name, default in (("Kavrel.dll", "scheduler/Kavrel.dll"), ("Fennick.dll", "plugin/Fennick.dll")):
        beside = os.path.join(args.mokuna, name)
        program.append(beside if os.path.exists(beside) else e2elib.build_file(default))
    program = [p for p in program if os.path.exists(p)]
    assets = [os.path.join(e2elib.SOURCE_DIR, "assets", f) for f in e2elib.ASSET_FILES]

    bare_name = os.path.basename(args.bare)
    bare, first, later = [], [], []
    with e2elib.Display() as display:
        bare_folder = e2elib.scratch_folder([args.bare])
        measure(display, bare_folder, bare_name, 1.0)  # Wine's first start warms its caches
        for _ in range(args.runs):
            bare.append(measure(display, bare_folder, bare_name, args.seconds))
            folder = e2elib.scratch_folder(program + assets)
            first.append(measure(display, folder, "Mokuna.exe", args.seconds))
            later.append(measure(display, folder, "Mokuna.exe", args.seconds))

    def mb(kb):
        return f"{kb / 1024:.1f} MB"

    b = statistics.median(bare)
    print(f"Private_Dirty {args.seconds:g} s after start, median of {args.runs} (each run's figures in brackets)")
    print(f"  bare window      {mb(b)}  [{', '.join(mb(k) for k in bare)}]  {args.bare}")
    for name, figures in (("Mokuna, later", later), ("Mokuna, first", first)):
        m = statistics.median(figures)
        print(f"  {name:16} {mb(m)}  [{', '.join(mb(k) for k in figures)}]  difference {mb(m - b)}")
    print(f"  (Mokuna from {os.path.dirname(program[0])})")


if __name__ == "__main__":
    main()
