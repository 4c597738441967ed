#!/usr/bin/env python3
"""Idle cost of Mokuna.exe against a bare window of the character's size, in one run: CPU of the program and of
the prefix's wineserver over MINUTE seconds of doing nothing, and private memory (Private_Dirty) at the end.

Mokuna runs with the default character animated (its frame files beside it) and still (without them); each
start first settles for SETTLE seconds. A benchmark: it fails only when a program cannot be started.
    idle_bench.py [RUNS]"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import memory_bench  # noqa: E402
from memory_bench import e2elib  # noqa: E402

MINUTE, SETTLE = 60.0, 5.0
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK  # utime, stime


def wineserver_pid():
    prefix = os.path.realpath(os.environ["MOKUNA_WINEPREFIX"]).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/comm", "rb") as f:
                if not f.read().startswith(b"wineserver"):
                    continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                env = dict(v.split(b"=", 1) for v in f.read().split(b"\0") if b"=" in v)
            if os.path.realpath(env.get(b"WINEPREFIX", b"")) == prefix:
                return int(pid)
        except OSError:
            pass
    raise RuntimeError("no wineserver for MOKUNA_WINEPREFIX")


def measure(display, folder, exe_name):
    """(CPU % of one core of program + wineserver, private memory in KB)"""
    app = e2elib.Mokuna(folder, display, program=exe_name).start()
    try:
        time.sleep(SETTLE)
        pid, server = memory_bench.program_pid(app.proc.pid, exe_name), wineserver_pid()
        before, start = cpu_seconds(pid) + cpu_seconds(server), time.monotonic()
        time.sleep(MINUTE)
        used = cpu_seconds(pid) + cpu_seconds(server) - before
        return 100 * used / (time.monotonic() - start), memory_bench.private_dirty_kb(app.proc.pid, exe_name)
    finally:
        app.kill()


def main(runs):
    os.environ.setdefault("MOKUNA_WINEPREFIX", os.path.join(e2elib.BUILD_DIR, "wineprefix"))
    still = [e2elib.build_file(f) for f in ("host/Mokuna.exe", "scheduler/Kavrel.dll", "plugin/Fennick.dll")]
    still = [f for f in still if os.path.exists(f)] + [os.path.join(e2elib.SOURCE_DIR, "assets", f)
                                                       for f in e2elib.ASSET_FILES]
    frames = [os.path.join(e2elib.SOURCE_DIR, "assets", f) for f in ("climon-blink.bmp", "climon-talk.bmp")]
    figures = {"bare window": [], "Mokuna, animated": [], "Mokuna, still": []}
    with e2elib.Display() as display:
        folders = {"bare window": (e2elib.scratch_folder([e2elib.build_file("tests/win/bench/bare_window.exe")]),
                                   "bare_window.exe"),
                   "Mokuna, animated": (e2elib.scratch_folder(still + frames), "Mokuna.exe"),
                   "Mokuna, still": (e2elib.scratch_folder(still), "Mokuna.exe")}
        for folder, exe in folders.values():  # first starts: Wine warms its caches, Mokuna makes its masks
            first = e2elib.Mokuna(folder, display, program=exe).start()
            time.sleep(SETTLE)
            first.kill()
        for _ in range(runs):
            for name, (folder, exe) in folders.items():
                figures[name].append(measure(display, folder, exe))
    print(f"Idle over {MINUTE:g} s after {SETTLE:g} s, program + wineserver, CPU of one core; Private_Dirty at the end")
    base_cpu = sum(c for c, _ in figures["bare window"]) / runs
    base_kb = sum(k for _, k in figures["bare window"]) / runs
    for name, runs_figures in figures.items():
        cpu = sum(c for c, _ in runs_figures) / runs
        kb = sum(k for _, k in runs_figures) / runs
        each = ", ".join(f"{c:.2f} %/{k / 1024:.1f} MB" for c, k in runs_figures)
        print(f"  {name:17} CPU {cpu:5.2f} % ({cpu - base_cpu:+.2f})  memory {kb / 1024:5.1f} MB "
              f"({(kb - base_kb) / 1024:+.1f})  [{each}]")


if __name__ == "__main__":
    main(int(sys.argv[1]) if len(sys.argv) > 1 else 1)
