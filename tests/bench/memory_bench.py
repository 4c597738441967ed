#!/usr/bin/env python3
"""Private memory of Mokuna.exe at start against a bare window of the character's size, in one run.

The windows build's programs run under Wine on a private Xvfb; Private_Dirty is read SECONDS after each start.
Mokuna starts in a fresh folder (making the mask files), then again there, as every day, then with the default
frames (animated). A benchmark: it fails only when a program cannot be started. Prints the medians of RUNS runs;
with --idle, after each start has idled a minute more, with the CPU its program and the wineserver used then."""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2elib  # noqa: E402

RUNS, SECONDS = 3, 4.0
IDLE = 60.0 if sys.argv[1:] == ["--idle"] else 0.0


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


def wineserver_pid():
    prefix = os.environ.get("MOKUNA_WINEPREFIX") or os.path.expanduser("~/.cache/mokuna/wineprefix")  # wine-run.sh's
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/comm", "rb") as f, open(f"/proc/{pid}/environ", "rb") as e:
                if f.read().startswith(b"wineserver") and f"WINEPREFIX={prefix}".encode() in e.read().split(b"\0"):
                    return int(pid)
        except OSError:  # gone meanwhile
            pass


def measure(display, folder, exe_name, seconds=SECONDS, idle=IDLE):
    """Private_Dirty in KB, and the CPU in % of one core that the program and the wineserver used over idle s."""
    app = e2elib.Mokuna(folder, display, program=exe_name).start()
    time.sleep(seconds)
    try:
        pids = [e2elib.wait_for(lambda: program_pid(app.proc.pid, exe_name), 30), wineserver_pid()]
        cpu = lambda: sum(sum(map(int, open(f"/proc/{p}/stat").read().rsplit(")", 1)[1].split()[11:13]))  # noqa: E731
                          for p in pids) / os.sysconf("SC_CLK_TCK")  # user + system seconds
        before = cpu()
        time.sleep(idle)
        with open(f"/proc/{pids[0]}/smaps_rollup") as f:
            kb = next(int(line.split()[1]) for line in f if line.startswith("Private_Dirty:"))
        return kb, 100 * (cpu() - before) / max(idle, 1)
    finally:
        app.kill()


def main():
    mokuna = [e2elib.build_file(f) for f in ("host/Mokuna.exe", "scheduler/Kavrel.dll", "plugin/Fennick.dll")]
    mokuna += [os.path.join(e2elib.SOURCE_DIR, "assets", f) for f in e2elib.ASSET_FILES]
    frames = [os.path.join(e2elib.SOURCE_DIR, "assets", f) for f in ("climon-blink.bmp", "climon-talk.bmp")]
    figures = {"bare window": [], "Mokuna, first": [], "Mokuna, later": [], "Mokuna, animated": []}
    with e2elib.Display() as display:
        bare = e2elib.scratch_folder([e2elib.build_file("tests/win/bench/bare_window.exe")])
        measure(display, bare, "bare_window.exe", 1.0, 0.0)  # Wine's first start warms its caches
        for _ in range(RUNS):
            figures["bare window"].append(measure(display, bare, "bare_window.exe"))
            folder = e2elib.scratch_folder([f for f in mokuna if os.path.exists(f)])
            figures["Mokuna, first"].append(measure(display, folder, "Mokuna.exe"))
            figures["Mokuna, later"].append(measure(display, folder, "Mokuna.exe"))
            folder = e2elib.scratch_folder([f for f in mokuna + frames if os.path.exists(f)])
            figures["Mokuna, animated"].append(measure(display, folder, "Mokuna.exe"))
    print(f"Private_Dirty {SECONDS + IDLE:g} s after start, median of {RUNS} (each run's figures in brackets)")
    base_kb, base_cpu = (statistics.median(f[i] for f in figures["bare window"]) for i in (0, 1))
    for name, runs in figures.items():
        kb, cpu = (statistics.median(f[i] for f in runs) for i in (0, 1))
        print(f"  {name:16} {kb / 1024:5.1f} MB  [{', '.join(f'{k / 1024:.1f}' for k, _ in runs)}]  difference "
              f"{(kb - base_kb) / 1024:.1f} MB" + (f"   idle CPU {cpu:.2f} % of a core ({cpu - base_cpu:+.2f})" * bool(IDLE)))


if __name__ == "__main__":
    main()
