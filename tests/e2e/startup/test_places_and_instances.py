"""The real Mokuna.exe on a screen other than the one its places were stored on, and started twice."""
import os
import re
import time

import e2elib

suite = e2elib.Suite("e2e_places_and_instances")

SCREEN_W, SCREEN_H = 1600, 1200


def write_ini(folder, text):
    with open(os.path.join(folder, "edll.ini"), "wb") as f:
        f.write(text)


def ini_values(folder):
    text = open(os.path.join(folder, "edll.ini"), "rb").read().decode("ascii")
    return {k: v for k, v in re.findall(r"^(\w+)=(.*?)\r$", text, re.M)}


def calendar_window(display, timeout=20):
    def look():
        for w in display.visible_windows():
            if w[1].startswith("Calender"):
                return w
        return None
    return e2elib.wait_for(look, timeout, 0.2)


def character_windows(display):
    return [w for w in display.visible_windows() if w[1] == ""]


def character_geometry(app, display, timeout=30):
    """The character window (117 x 103 with the default picture): the program's tray icon may show as a
    nameless window of its own where there is no notification area, and it may come first."""
    app.main_window_geometry()
    app.main_window = e2elib.wait_for(
        lambda: next((w for w in character_windows(display) if tuple(w[4:]) == (117, 103)), None), timeout, 0.2)
    assert app.main_window, f"no character window among {character_windows(display)}"
    return app.main_window[2:]


def close_and_wait(app):
    app.close_by_menu()
    assert app.wait_exit(30), "Mokuna did not end after Exit"


def files_of(folder):
    """Bytes and modification time of every file the program may touch (not the test's own log)."""
    return {name: (open(os.path.join(folder, name), "rb").read(), os.stat(os.path.join(folder, name)).st_mtime_ns)
            for name in sorted(os.listdir(folder)) if not name.endswith(".log")}


def on_screen(x, y, w, h):
    return 0 <= x and 0 <= y and x + w <= SCREEN_W and y + h <= SCREEN_H


@suite.case
def windows_stored_off_every_screen_come_back():
    with e2elib.Display(size=f"{SCREEN_W}x{SCREEN_H}") as display:
        # Far off the screen: both come back. Partly off the screen but within reach: both stay put.
        for left, top, cal_x, cal_y, stays in ((5000, 4000, 5000, 4000, False), (-40, 10, -150, 300, True)):
            folder = e2elib.scratch_folder(e2elib.default_files())
            write_ini(folder, f"Top={top}\r\nLeft={left}\r\nShowCalender=1\r\nCalX={cal_x}\r\nCalY={cal_y}\r\n"
                      .encode())
            app = e2elib.Mokuna(folder, display).start()
            try:
                x, y, w, h = character_geometry(app, display)
                cal = calendar_window(display)
                assert cal, "the calendar did not show"
                display.settled(cal[2:])
                display.save_png(e2elib.artifact(f"places-{left}-{top}.png"))
                if stays:
                    assert (x, y) == (left, top), (x, y)
                    assert cal[2] <= cal_x + 10 and cal[3] <= cal_y + 40, cal  # the frame's client area
                else:
                    assert on_screen(x, y, w, h), (x, y, w, h)
                    assert on_screen(*cal[2:]), cal
                    # Both came back to the same corner: the calendar stands beside the character, not on it.
                    assert cal[2] + cal[4] <= x or cal[3] + cal[5] <= y, (cal, (x, y))
                close_and_wait(app)
            finally:
                app.kill()
            values = ini_values(folder)
            if stays:
                assert (values["Left"], values["Top"], values["CalX"], values["CalY"]) == tuple(
                    map(str, (left, top, cal_x, cal_y))), values
            else:
                # The new places are what exit writes.
                assert int(values["Left"]) + w <= SCREEN_W and int(values["Top"]) + h <= SCREEN_H, values
                assert 0 <= int(values["CalX"]) < SCREEN_W and 0 <= int(values["CalY"]) < SCREEN_H, values


@suite.case
def second_start_in_the_same_folder_shows_the_first_and_ends():
    with e2elib.Display() as display:
        folder = e2elib.scratch_folder(e2elib.default_files())
        write_ini(folder, b"Top=300\r\nLeft=400\r\nShowCalender=1\r\nCalX=50\r\nCalY=60\r\n")
        first = e2elib.Mokuna(folder, display).start()
        try:
            x, y, w, h = first.main_window_geometry()
            assert calendar_window(display)
            # Hide: right click, the item above Exit. Only a tray double click (or a second start) shows again.
            display.open_menu(x + w // 2, y + h // 2)
            display.key("Up", "Up", "Return")
            assert e2elib.wait_for(lambda: not display.visible_windows(), 10), display.visible_windows()
            before = files_of(folder)

            second = e2elib.Mokuna(folder, display)
            second.log_path = os.path.join(e2elib.scratch_folder(), "second.log")
            started = time.monotonic()
            second.start()
            try:
                assert second.wait_exit(10), "the second start did not end within 10 s"
                took = time.monotonic() - started
                assert second.proc.returncode == 0
            finally:
                second.kill()
            print(f"second start ended after {took:.1f} s", flush=True)
            # The first one shows its windows again and runs on.
            assert e2elib.wait_for(lambda: len(character_windows(display)) == 1, 10), display.visible_windows()
            assert calendar_window(display)
            display.save_png(e2elib.artifact("instances-shown-again.png"))
            assert first.proc.poll() is None
            assert files_of(folder) == before, "the second start touched the folder's files"
            first.main_window = None
            close_and_wait(first)
        finally:
            first.kill()
        assert ini_values(folder)["Left"] == "400"


@suite.case
def starts_in_different_folders_run_side_by_side():
    with e2elib.Display() as display:
        apps = []
        try:
            for left in (100, 600):
                folder = e2elib.scratch_folder(e2elib.default_files())
                write_ini(folder, f"Top=300\r\nLeft={left}\r\n".encode())
                apps.append(e2elib.Mokuna(folder, display).start())
                assert e2elib.wait_for(lambda: len(character_windows(display)) == len(apps), 60), \
                    display.visible_windows()
            display.paint_background()
            display.save_png(e2elib.artifact("instances-two-folders.png"))
            assert sorted(w[2] for w in character_windows(display)) == [100, 600]
            for app in apps:
                assert app.proc.poll() is None
        finally:
            for app in apps:
                app.kill()


suite.run()
