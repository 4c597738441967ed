#!/usr/bin/env python3
"""Private memory of Mokuna.exe at start against a bare window of the character's size, in one run.

The windows build's programs run under Wine on a private Xvfb; Private_Dirty is read SECONDS after each start.
Mokuna starts in a fresh folder (making the mask files), then again there, as every day; then in a folder with
the default character's frames, animated. A benchmark: it fails only when a program cannot be started. Prints
the medians of RUNS runs.
    memory_bench.py --idle: each program also sits idle for a minute, and the CPU it and the prefix's
    wineserver use meanwhile is printed beside its memory at the end."""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2elib  # noqa: E402

RUNS, SECONDS, IDLE = 3, 4.0, 60.0


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
    return None


def private_dirty_kb(pid):
    with open(f"/proc/{pid}/smaps_rollup") as f:
        return next(int(line.split()[1]) for line in f if line.startswith("Private_Dirty:"))


def cpu_seconds(pids):
    """User and system time of the processes (the wineserver's comm starts with "wineserver")."""
    total = 0
    for pid in pids:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        total += int(fields[11]) + int(fields[12])
    return total / os.sysconf("SC_CLK_TCK")


def wineserver_pid():
    prefix = os.path.realpath(os.environ.get("MOKUNA_WINEPREFIX", "")).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/comm", "rb") as f, open(f"/proc/{pid}/environ", "rb") as e:
                if f.read().startswith(b"wineserver") and b"WINEPREFIX=" + prefix in e.read().split(b"\0"):
                    return int(pid)
        except OSError:
            pass
    raise RuntimeError("no wineserver for MOKUNA_WINEPREFIX")


def measure(display, folder, exe_name, seconds=SECONDS, idle=0.0):
    """Private_Dirty in KB, and with idle the CPU in % of one core that the program and the wineserver used
    over idle seconds after that."""
    app = e2elib.Mokuna(folder, display, program=exe_name).start()
    time.sleep(seconds)
    try:
        program = e2elib.wait_for(lambda: program_pid(app.proc.pid, exe_name), 30)
        if not program:
            raise RuntimeError(f"{exe_name} is not running")
        pids = [program] + ([wineserver_pid()] if idle else [])
        before, start = cpu_seconds(pids), time.monotonic()
        time.sleep(idle)
        cpu = 100 * (cpu_seconds(pids) - before) / (time.monotonic() - start) if idle else 0.0
        return private_dirty_kb(pids[0]), cpu
    finally:
        app.kill()


def main(idle):
    mokuna = [e2elib.build_file(f) for f in ("host/Mokuna.exe", "scheduler/Kavrel.dll", "plugin/Fennick.dll")]
    mokuna += [os.path.join(e2elib.SOURCE_DIR, "assets", f) for f in e2elib.ASSET_FILES]
    mokuna = [f for f in mokuna if os.path.exists(f)]
    frames = [os.path.join(e2elib.SOURCE_DIR, "assets", f) for f in ("climon-blink.bmp", "climon-talk.bmp")]
    figures = {"bare window": [], "Mokuna, first": [], "Mokuna, later": [], "Mokuna, animated": []}
    with e2elib.Display() as display:
        bare = e2elib.scratch_folder([e2elib.build_file("tests/win/bench/bare_window.exe")])
        measure(display, bare, "bare_window.exe", 1.0)  # Wine's first start warms its caches
        for _ in range(RUNS):
            figures["bare window"].append(measure(display, bare, "bare_window.exe", idle=idle))
            folder = e2elib.scratch_folder(mokuna)
            figures["Mokuna, first"].append(measure(display, folder, "Mokuna.exe", idle=idle))
            figures["Mokuna, later"].append(measure(display, folder, "Mokuna.exe", idle=idle))
            figures["Mokuna, animated"].append(measure(display, e2elib.scratch_folder(mokuna + frames), "Mokuna.exe",
                                                       idle=idle))
    print(f"Private_Dirty {SECONDS:g} s after start (with --idle: after {idle:g} s more, and the CPU of the program "
          f"and the wineserver over those), median of {len(figures['bare window'])} (each run's figures in brackets)")
    base_kb, base_cpu = (statistics.median(f[i] for f in figures["bare window"]) for i in (0, 1))
    for name, runs in figures.items():
        kb, cpu = (statistics.median(f[i] for f in runs) for i in (0, 1))
        print(f"  {name:16} {kb / 1024:5.1f} MB  [{', '.join(f'{k / 1024:.1f}' for k, _ in runs)}]  "
              f"difference {(kb - base_kb) / 1024:.1f} MB   CPU {cpu:.2f} %, difference {cpu - base_cpu:+.2f} %")


if __name__ == "__main__":
    main(IDLE if sys.argv[1:] == ["--idle"] else 0.0)
