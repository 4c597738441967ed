"""The calendar's year-and-month label on a system without the named Japanese faces: a fresh Wine prefix
made by plain `wineboot -i`, without the face replacements the other tests get, under a non-Japanese locale."""
import os
import shutil
import subprocess
import tempfile
import time

import e2elib

suite = e2elib.Suite("e2e_plain_prefix")


def plain_prefix(env):
    prefix = tempfile.mkdtemp(prefix="mokuna-plain-prefix-")
    env = dict(env, WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    subprocess.run(["wine", "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=300)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)
    # The markers by which the runner knows a prefix as set up: it then adds no replacements of its own.
    for marker in (".mokuna-ready", ".mokuna-fontlink"):
        open(os.path.join(prefix, marker), "w").close()
    registry = open(os.path.join(prefix, "user.reg"), encoding="utf-8", errors="replace").read()
    assert "Fonts\\\\Replacements" not in registry
    return prefix


def glyphs(shot, left, top, right, bottom):
    """The dark marks of a strip, split at blank columns: one bitmap (tuple of column bit strings) each."""
    def ink(x, y):
        return sum(shot.pixel(x, y)) < 300
    columns = [tuple(ink(x, y) for y in range(top, bottom)) for x in range(left, right)]
    found, current = [], []
    for column in columns + [()]:
        if any(column):
            current.append(column)
        elif current:
            found.append(tuple(current))
            current = []
    return found


@suite.case
def month_label_shows_year_and_month_kanji():
    with e2elib.Display(size="800x600") as display:
        env = dict(display.env, LANG="C.UTF-8", LC_ALL="C.UTF-8")
        prefix = plain_prefix(env)
        display.env.update(env)
        display.env["MOKUNA_WINEPREFIX"] = prefix
        try:
            folder = e2elib.scratch_folder(e2elib.default_files(with_plugin=False))
            with open(os.path.join(folder, "edll.ini"), "wb") as f:
                f.write(b"Top=300\r\nLeft=500\r\nShowCalender=1\r\nCalX=100\r\nCalY=100\r\n")
            app = e2elib.Mokuna(folder, display).start()
            try:
                app.main_window_geometry()
                calendar = e2elib.wait_for(
                    lambda: next((w for w in display.visible_windows() if w[1].startswith("Calender")), None), 20)
                assert calendar, "the calendar did not show"
                display.settled(calendar[2:])
                shot = display.grab()
                display.save_png(e2elib.artifact("plain-prefix-calendar.png"))
                _, _, x, y, w, h = calendar
                # The label's line at the bottom right of the client area: "yyyy年m月".
                label = glyphs(shot, x + 150, y + h - 22, x + w - 3, y + h - 2)
                month = time.localtime()
                text = f"{month.tm_year}年{month.tm_mon}月"
                assert len(label) == len(text), f"{len(label)} marks for {text}"
                year_kanji, month_kanji = label[len(text) - 1 - len(str(month.tm_mon)) - 1], label[-1]
                # A face without the character draws the same empty box for each: 年 and 月 must differ, and
                # so must the first two digits of the year.
                assert year_kanji != month_kanji, "年 and 月 drawn as boxes"
                assert label[0] != label[1], "the digits drawn as boxes"
                app.close_by_menu()
                assert app.wait_exit(30)
            finally:
                app.kill()
        finally:
            subprocess.run(["wineserver", "-k"], env=dict(env, WINEPREFIX=prefix), timeout=60)
            shutil.rmtree(prefix, ignore_errors=True)


suite.run()
