"""Shared pieces of the end-to-end tests: scratch folders, Wine, screenshots, and a gtest-style XML report
so that the test script counts these cases with the others.

Typical use:

    import e2elib
    suite = e2elib.Suite("startup")

    @suite.case
    def shows_character():
        with e2elib.Display() as display:                  # a private Xvfb, solid background colour
            folder = e2elib.scratch_folder(e2elib.default_files())
            with e2elib.Mokuna(folder, display) as app:    # Mokuna.exe under Wine in that folder
                x, y, w, h = app.main_window_geometry()     # waits for the character window
                shot = display.grab()                       # the screen; shot.pixel(x, y) -> (r, g, b)
                display.save_png(e2elib.artifact("startup-shows_character.png"))
                app.close_by_menu()                         # right click, last menu item ("終了")
                assert app.wait_exit(30)

    suite.run()

Display: start()/stop() (or with), .env (environment with DISPLAY), grab() -> Screenshot, save_png(path),
  paint_background() (main_window_geometry calls it: Wine's start paints the root black),
  click(x, y, button=1), open_menu(x, y) (a right click, then waits for the menu), double_click(x, y, gap=0.05),
  drag(x0, y0, x1, y1), key(*names), move(x, y),
  visible_windows() -> [(id, name, x, y, w, h)], find_window(name=None, cls=None, timeout=10),
  settled(region, timeout, condition) -> the grab once region shows the same twice and condition holds,
  focus(wid) (gives a window the keyboard and waits until it has it).
Mokuna(folder, display): start() (or with), proc (the Popen), main_window_geometry(timeout=60) -> (x, y, w, h)
  of the character window, message_box(timeout=30) -> window or None, dismiss_message_box(key=None: clicks
  the button of a one-button box; or a key name such as "Return" or "Escape"), close_by_menu(),
  wait_exit(timeout) -> bool, kill(), debug_output() -> the texts the program sent to OutputDebugString
  (Shift-JIS decoded): the general error handler's and the edll.ini Retry/Cancel question.
scratch_folder(files): a fresh folder with copies of files, removed at exit (MOKUNA_E2E_KEEP=1 keeps it).
default_files(): the built Mokuna.exe, Kavrel.dll (and Fennick.dll when built) plus the default pictures
  and notes from assets/.  artifact(name): a path under RESULTS_DIR for screenshots worth keeping."""
import atexit
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback
from xml.sax.saxutils import quoteattr

SOURCE_DIR = os.environ.get("MOKUNA_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "../..")))
BUILD_DIR = os.environ.get("MOKUNA_BUILD_DIR", os.path.join(SOURCE_DIR, "build/windows"))
RESULTS_DIR = os.environ.get("MOKUNA_TEST_RESULTS", os.path.join(BUILD_DIR, "test-results"))
WINE_RUN = os.path.join(SOURCE_DIR, "cmake/wine-run.sh")


def wait_for(condition, timeout, interval=0.1):
    """Polls condition until it is true or timeout seconds pass; returns its last value. The one way the
    end-to-end tests wait: on a condition with a bound, never for a fixed time where a condition can be seen."""
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= end:
            return value
        time.sleep(interval)


_scratch_folders = []


@atexit.register
def _remove_scratch_folders():
    # MOKUNA_E2E_KEEP=1 keeps them for a look after a failure.
    if os.environ.get("MOKUNA_E2E_KEEP") != "1":
        for folder in _scratch_folders:
            shutil.rmtree(folder, ignore_errors=True)


def scratch_folder(files=()):
    """A new empty working folder holding copies of the given files; removed when the script ends."""
    folder = tempfile.mkdtemp(prefix="mokuna-e2e-")
    _scratch_folders.append(folder)
    for f in files:
        shutil.copy(f, folder)
    return folder


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], check=True)
    return path


def artifact(name):
    """A path for a file worth keeping after the run (screenshots), under RESULTS_DIR/e2e-artifacts."""
    folder = os.path.join(RESULTS_DIR, "e2e-artifacts")
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, name)


def build_file(relative):
    return os.path.join(BUILD_DIR, relative)


ASSET_FILES = ("climon.bmp", "fukidasi.bmp", "back.bmp", "version.txt")


def default_files(with_plugin=True):
    """The program, its DLLs and the default files, as a user's folder holds them."""
    files = [build_file("host/Mokuna.exe"), build_file("scheduler/Kavrel.dll")]
    if with_plugin and os.path.exists(build_file("plugin/Fennick.dll")):
        files.append(build_file("plugin/Fennick.dll"))
    files += [os.path.join(SOURCE_DIR, "assets", f) for f in ASSET_FILES]
    return files


def pixels(rgb):
    """The (r, g, b) byte triples of RGB bytes."""
    return (rgb[i:i + 3] for i in range(0, len(rgb), 3))


class Screenshot:
    """The whole screen as RGB pixels."""

    def __init__(self, ppm):
        match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", ppm)
        self.width, self.height = int(match.group(1)), int(match.group(2))
        self.data = ppm[match.end():]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def region(self, x, y, w, h):
        """The RGB bytes of the rectangle (x, y, w, h), clipped to the screen, row after row."""
        x0, y0, x1, y1 = max(x, 0), max(y, 0), min(x + w, self.width), min(y + h, self.height)
        return b"".join(self.data[(row * self.width + x0) * 3:(row * self.width + x1) * 3] for row in range(y0, y1))


class Display:
    """A private Xvfb with a solid background, so tests neither share a screen nor depend on one."""

    def __init__(self, size="1280x1024", background=(58, 110, 165)):
        self.size = size
        self.background = background
        self.proc = None
        self.name = None
        self.env = dict(os.environ)

    def start(self):
        for n in range(150, 400):
            if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
                continue
            proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", f"{self.size}x24", "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # Another test may have taken the same number a moment earlier: that Xvfb then exits, and the lock
            # names the other one.
            ours = lambda: self._lock_holder(n) == proc.pid and os.path.exists(f"/tmp/.X11-unix/X{n}")  # noqa: E731
            wait_for(lambda: ours() or proc.poll() is not None, 10)
            if proc.poll() is None and ours():
                self.proc, self.name = proc, f":{n}"
                break
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        if not self.proc:
            raise RuntimeError("no Xvfb display could be started")
        self.env["DISPLAY"] = self.name
        # Paint the root window in one colour: what shows through a shaped window is then known.
        self.paint_background()
        subprocess.run([WINE_RUN, "--setup-only"], env=self.env, check=True)
        return self

    @staticmethod
    def _lock_holder(n):
        try:
            with open(f"/tmp/.X{n}-lock") as f:
                return int(f.read().strip() or 0)
        except (OSError, ValueError):
            return None

    def settled(self, region, timeout=10, condition=lambda shot: True):
        """Waits (bounded) until region (x, y, w, h) of the screen shows the same in two grabs in a row and
        condition(grab) holds; returns the last grab, or None when that never came."""
        previous = [None]

        def same_again():
            shot = self.grab()
            part = shot.region(*region)
            steady, previous[0] = part == previous[0], part
            return shot if steady and condition(shot) else None
        return wait_for(same_again, timeout, 0.05)

    def focus(self, wid):
        """Gives window wid the keyboard (without a window manager nobody else does) and waits until it has it."""
        self.xdotool("windowfocus", wid)
        return wait_for(lambda: self.xdotool("getwindowfocus").strip() == wid, 5, 0.05)

    def paint_background(self):
        """Paints the root window in the background colour (Wine's start blacks it out)."""
        r, g, b = self.background
        subprocess.run(["display", "-window", "root", "-size", "8x8", f"xc:rgb({r},{g},{b})"], env=self.env,
                       check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)

    def stop(self):
        if self.proc:
            self.proc.terminate()
            self.proc.wait(10)
            self.proc = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True, text=True).stdout

    def grab(self):
        ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env, capture_output=True,
                             check=True).stdout
        return Screenshot(ppm)

    def save_png(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True)
        return path

    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def click(self, x, y, button=1):
        self.xdotool("mousemove", x, y, "click", button)

    def open_menu(self, x, y):
        """Right-clicks at (x, y) and waits (bounded) for the menu: a window of the program not there before."""
        before = {w[0] for w in self.visible_windows()}
        self.click(x, y, 3)
        return wait_for(lambda: any(w[0] not in before for w in self.visible_windows()), 10)

    def double_click(self, x, y, gap=0.05):
        self.move(x, y)
        self.xdotool("click", 1)
        time.sleep(gap)
        self.xdotool("click", 1)

    def drag(self, x0, y0, x1, y1, steps=10):
        self.move(x0, y0)
        self.xdotool("mousedown", 1)
        for i in range(1, steps + 1):
            self.move(x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps)
            time.sleep(0.03)
        self.xdotool("mouseup", 1)

    def key(self, *names):
        for name in names:
            self.xdotool("key", name)
            time.sleep(0.15)

    def visible_windows(self, cls="mokuna.exe"):
        """(id, name, x, y, w, h) of every mapped window of the Windows program cls (its WM_CLASS)."""
        windows = []
        for wid in self.xdotool("search", "--onlyvisible", "--class", f"^{re.escape(cls)}$").split():
            geometry = self.xdotool("getwindowgeometry", "--shell", wid)
            values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            named = subprocess.run(["xdotool", "getwindowname", wid], env=self.env, capture_output=True, text=True)
            # A window that went away meanwhile answers with an error: skip it.
            if "X" not in values or named.returncode != 0 or named.stderr:
                continue
            name = named.stdout.rstrip("\n")
            windows.append((wid, name, int(values["X"]), int(values["Y"]), int(values["WIDTH"]),
                            int(values["HEIGHT"])))
        return windows

    def find_window(self, name=None, size=None, timeout=10, cls="mokuna.exe"):
        """The first visible window with that exact name and/or (w, h), waiting up to timeout seconds."""
        def look():
            for w in self.visible_windows(cls):
                if (name is None or w[1] == name) and (size is None or (w[4], w[5]) == tuple(size)):
                    return w
            return None
        return wait_for(look, timeout, 0.2)


class Mokuna:
    """Mokuna.exe under Wine, started in folder on display."""

    def __init__(self, folder, display, program="Mokuna.exe"):
        self.folder = folder
        self.display = display
        self.program = program
        self.proc = None
        self.log_path = os.path.join(folder, "wine-stderr.log")
        self.main_window = None

    def start(self):
        env = dict(self.display.env)
        # +debugstr: what the program hands to OutputDebugString reaches stderr, where tests read it.
        env["WINEDEBUG"] = "-all,+debugstr"
        self.log = open(self.log_path, "wb")
        self.proc = subprocess.Popen([WINE_RUN, self.program], cwd=self.folder, env=env, stdout=self.log,
                                     stderr=subprocess.STDOUT)
        return self

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.kill()

    def main_window_geometry(self, timeout=60):
        """(x, y, w, h) of the character window: the program's first visible window without a name."""
        def look():
            for w in self.display.visible_windows():
                if w[1] == "":
                    return w
            return None
        self.main_window = wait_for(look, timeout, 0.2)
        if not self.main_window:
            raise AssertionError("the character window did not appear")
        self.display.paint_background()
        # The first paint finished before anyone looks at the screen: the window shows more than the background,
        # the same twice in a row.
        bg = bytes(self.display.background)
        window = self.main_window[2:]
        painted = lambda shot: any(p != bg for p in pixels(shot.region(*window)))  # noqa: E731
        self.display.settled(window, 10, painted)
        return self.main_window[2:]

    def message_box(self, timeout=30, caption="Oribel Mokuna"):
        return self.display.find_window(name=caption, timeout=timeout)

    def dismiss_message_box(self, caption="Oribel Mokuna", key=None):
        box = self.message_box(caption=caption)
        if not box:
            raise AssertionError("no message box")
        wid, _, x, y, w, h = box
        if key is None:
            # The button of a one-button box sits centred near its bottom edge.
            self.display.click(x + w // 2, y + h - 21)
        else:
            # Without a window manager nobody gives the box the keyboard: take it there directly.
            self.display.focus(wid)
            self.display.key(key)
        return box

    def close_by_menu(self):
        """Right click on the character, then the last item of its menu: Exit."""
        if not self.main_window:
            self.main_window_geometry()
        _, _, x, y, w, h = self.main_window
        self.display.open_menu(x + w // 2, y + h // 2)
        self.display.key("Up", "Return")

    def wait_exit(self, timeout=30):
        return wait_for(lambda: self.proc.poll() is not None, timeout)

    def kill(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(10)
        if getattr(self, "log", None):
            self.log.close()

    def debug_output(self):
        """Texts the program passed to OutputDebugString, decoded from Shift-JIS."""
        self.log.flush()
        with open(self.log_path, "rb") as f:
            raw = f.read()
        texts = []
        for m in re.finditer(rb'OutputDebugString[AW] "((?:[^"\\]|\\.)*)"', raw):
            texts.append(_unescape(m.group(1)))
        return texts


def _unescape(escaped):
    """Undoes Wine's debugstr escaping (\\n, \\xNN, octal) and decodes the bytes as Shift-JIS."""
    out = bytearray()
    i = 0
    while i < len(escaped):
        c = escaped[i]
        if c != 0x5C or i + 1 >= len(escaped):
            out.append(c)
            i += 1
            continue
        n = escaped[i + 1]
        simple = {ord("n"): 10, ord("r"): 13, ord("t"): 9, ord("\\"): 92, ord('"'): 34}
        if n in simple:
            out.append(simple[n])
            i += 2
        elif n == ord("x"):
            digits = re.match(rb"[0-9a-fA-F]{1,2}", escaped[i + 2:i + 4]).group(0)
            out.append(int(digits, 16))
            i += 2 + len(digits)
        elif 0x30 <= n <= 0x37:
            digits = re.match(rb"[0-7]{1,3}", escaped[i + 1:i + 4]).group(0)
            out.append(int(digits, 8) & 0xFF)
            i += 1 + len(digits)
        else:
            out.append(n)
            i += 2
    return out.decode("cp932", errors="replace")


class Suite:
    """Runs named cases (functions), prints gtest-like lines and writes <name>.xml into RESULTS_DIR."""

    def __init__(self, name):
        self.name = name
        self.cases = []

    def case(self, func):
        self.cases.append(func)
        return func

    def run(self):
        os.makedirs(RESULTS_DIR, exist_ok=True)
        results = []
        for func in self.cases:
            start = time.monotonic()
            print(f"[ RUN      ] {self.name}.{func.__name__}", flush=True)
            try:
                func()
                failure = None
                print(f"[       OK ] {self.name}.{func.__name__}", flush=True)
            except Exception:  # a failed case must not stop the others
                failure = traceback.format_exc()
                print(failure, f"[  FAILED  ] {self.name}.{func.__name__}", sep="\n", flush=True)
            results.append((func.__name__, time.monotonic() - start, failure))
        failed = sum(1 for r in results if r[2])
        with open(os.path.join(RESULTS_DIR, f"{self.name}.xml"), "w", encoding="utf-8") as out:
            out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
            out.write(f'<testsuites tests="{len(results)}" failures="{failed}">\n')
            out.write(f'<testsuite name={quoteattr(self.name)} tests="{len(results)}" failures="{failed}">\n')
            for name, seconds, failure in results:
                out.write(f'<testcase name={quoteattr(name)} classname={quoteattr(self.name)} time="{seconds:.3f}"')
                if failure:
                    out.write(f'><failure message={quoteattr(failure.splitlines()[-1])}/></testcase>\n')
                else:
                    out.write("/>\n")
            out.write("</testsuite>\n</testsuites>\n")
        sys.exit(1 if failed else 0)
