"""Start-up and shutdown of the real Mokuna.exe: the character cut to its outline, the mask file, edll.ini
written at exit, and the failures that the general error handler reports."""
import os
import struct
import time

import e2elib

suite = e2elib.Suite("e2e_startup")

DEFAULT_INI = (b"MokunaImage=climon.bmp\r\nSerifuInterval=3\r\nFukidasiInterval=5\r\nEventPolling=500\r\n"
               b"LocalPolling=500\r\nTop=393\r\nLeft=894\r\nMaxSpeaking=7\r\nShowCalender=0\r\nShowTime=0\r\n"
               b"CalX=100\r\nCalY=100\r\n[DLLlist]\r\nKavrel\r\n")
CLIMON = os.path.join(e2elib.SOURCE_DIR, "assets", "climon.bmp")


def read_bmp24(path):
    """(width, height, pixel(x, y) -> (r, g, b)) of a 24-bit bottom-up bitmap."""
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    assert bits == 24 and height > 0
    stride = (width * 3 + 3) & ~3

    def pixel(x, y):
        i = offset + (height - 1 - y) * stride + x * 3
        return data[i + 2], data[i + 1], data[i]
    return width, height, pixel


def read_mask(path):
    """The rectangles of a mask file, checking its layout on the way."""
    data = open(path, "rb").read()
    n, header, kind, count, size = struct.unpack_from("<iIIII", data, 0)
    assert len(data) == 4 + n and n == 32 + 16 * count, (len(data), n, count)
    assert (header, kind, size) == (32, 1, 16 * count)
    return [struct.unpack_from("<4i", data, 36 + 16 * i) for i in range(count)]


def covered(rects):
    return {(x, y) for left, top, right, bottom in rects for y in range(top, bottom) for x in range(left, right)}


def expected_outline(width, height, pixel):
    """Pixels the character window shows: the non-transparent ones, never column 0, and column W where a
    run reaches the right edge."""
    t = pixel(0, 0)
    shown = set()
    for y in range(height):
        for x in range(1, width):
            if pixel(x, y) != t:
                shown.add((x, y))
        if pixel(width - 1, y) != t:
            shown.add((width, y))
    return shown


def start(folder, display):
    return e2elib.Mokuna(folder, display).start()


def close_and_wait(app):
    app.close_by_menu()
    assert app.wait_exit(30), "Mokuna did not end after Exit"


@suite.case
def first_start_shows_character_and_writes_defaults():
    width, height, pixel = read_bmp24(CLIMON)
    with e2elib.Display() as display:
        folder = e2elib.scratch_folder(e2elib.default_files())
        app = start(folder, display)
        try:
            x, y, w, h = app.main_window_geometry()
            assert (x, y, w, h) == (894, 393, width + 1, height + 1), (x, y, w, h)
            shot = display.grab()
            display.save_png(e2elib.artifact("startup-first.png"))

            # The screen inside the window: the picture where the outline is, the background elsewhere
            # (column 0 included), with no fringe of the transparent colour anywhere.
            background = display.background
            shown = expected_outline(width, height, pixel)
            wrong = []
            for py in range(h):
                for px in range(w):
                    want = pixel(px, py) if (px, py) in shown and px < width else background
                    if (px, py) in shown and px == width:
                        continue  # the window's own face, one column beyond the picture
                    if shot.pixel(x + px, y + py) != want:
                        wrong.append((px, py, shot.pixel(x + px, y + py), want))
            assert not wrong, f"{len(wrong)} pixels differ, first {wrong[:5]}"
            assert all(shot.pixel(x, y + py) == background for py in range(h))
            assert len(shown) > 5000  # the character really is there

            # The mask file was made beside the picture and holds exactly the outline.
            mask = os.path.join(folder, "climon.bmp.msk")
            assert os.path.exists(mask)
            assert covered(read_mask(mask)) == shown

            # The application window (the task-bar button) never shows; the character window does.
            names = [win[1] for win in display.visible_windows()]
            assert "Oribel Mokuna" not in names, names

            close_and_wait(app)
        finally:
            app.kill()
        assert open(os.path.join(folder, "edll.ini"), "rb").read() == DEFAULT_INI


@suite.case
def second_start_reuses_mask_file():
    width, height, pixel = read_bmp24(CLIMON)
    with e2elib.Display() as display:
        folder = e2elib.scratch_folder(e2elib.default_files())
        mask = os.path.join(folder, "climon.bmp.msk")
        app = start(folder, display)
        try:
            app.main_window_geometry()
            close_and_wait(app)
        finally:
            app.kill()
        generated = open(mask, "rb").read()

        # A mask of our own, one rectangle over the character's left part: the next start must cut the
        # window to it instead of making a new one from the picture.
        rect = (1, 1, 70, 102)
        with open(mask, "wb") as f:
            f.write(struct.pack("<iIIII4i4i", 48, 32, 1, 1, 16, *rect, *rect))
        own = open(mask, "rb").read()
        stamp = os.stat(mask).st_mtime_ns
        time.sleep(0.05)
        app = start(folder, display)
        try:
            x, y, w, h = app.main_window_geometry()
            shot = display.grab()
            display.save_png(e2elib.artifact("startup-own-mask.png"))
            for px, py in ((80, 50), (100, 66), (85, 90)):  # character, right of the rectangle
                assert pixel(px, py) != pixel(0, 0)
                assert shot.pixel(x + px, y + py) == display.background, (px, py)
            for px, py in ((30, 50), (43, 51), (20, 66)):  # character, inside the rectangle
                assert shot.pixel(x + px, y + py) == pixel(px, py), (px, py)
            close_and_wait(app)
        finally:
            app.kill()
        assert open(mask, "rb").read() == own != generated
        assert os.stat(mask).st_mtime_ns == stamp


@suite.case
def settings_survive_a_run():
    with e2elib.Display() as display:
        folder = e2elib.scratch_folder(e2elib.default_files())
        ini = os.path.join(folder, "edll.ini")
        with open(ini, "wb") as f:
            f.write(b"; old comment\r\ntop=200\r\nLeft =5\r\nLeft=300\r\nLeft=301\r\nMaxSpeaking=4\r\n"
                    b"ShowCalender=2\r\nEventPolling=0\r\nCalX=-20\r\nOther=1\r\n[dlllist]\r\nFennick\r\n\r\nKavrel\r\n")
        app = start(folder, display)
        try:
            assert app.main_window_geometry()[:2] == (300, 200)
            close_and_wait(app)
        finally:
            app.kill()
        assert open(ini, "rb").read() == (
            b"MokunaImage=climon.bmp\r\nSerifuInterval=3\r\nFukidasiInterval=5\r\nEventPolling=0\r\n"
            b"LocalPolling=500\r\nTop=200\r\nLeft=300\r\nMaxSpeaking=4\r\nShowCalender=0\r\nShowTime=0\r\n"
            b"CalX=-20\r\nCalY=100\r\n[DLLlist]\r\nFennick\r\n\r\nKavrel\r\n")


def expect_general_error(app, text):
    box = app.message_box()
    assert box, f"no message box for {text}"
    assert box[1] == "Oribel Mokuna"
    assert e2elib.wait_for(lambda: any(text in t for t in app.debug_output()), 10), app.debug_output()
    app.dismiss_message_box()


@suite.case
def bad_integer_is_reported_and_replaced_at_exit():
    with e2elib.Display() as display:
        folder = e2elib.scratch_folder(e2elib.default_files())
        ini = os.path.join(folder, "edll.ini")
        with open(ini, "wb") as f:
            f.write(b"Top=120\r\nLeft=1O0\r\ncalx=3\r\nMaxSpeaking=3\r\n[DLLlist]\r\nFennick\r\n\r\n")
        app = start(folder, display)
        try:
            expect_general_error(app, "'1O0' は整数ではありません")
            # Top came before the bad key and holds; the rest of start-up did not run: the window keeps
            # its designed size and rectangular shape and no mask file is made.
            x, y, w, h = app.main_window_geometry()
            assert (x, y, w, h) == (894, 120, 117, 103)
            shot = display.grab()
            display.save_png(e2elib.artifact("startup-bad-integer.png"))
            assert shot.pixel(x, y + 50) != display.background
            assert not os.path.exists(os.path.join(folder, "climon.bmp.msk"))
            close_and_wait(app)
        finally:
            app.kill()
        # Keys before the bad one hold (MaxSpeaking comes first), the bad one gives way to the value in
        # force, and the lines of the keys never read are kept as they were, the plug-in list among them.
        assert open(ini, "rb").read() == (
            b"MokunaImage=climon.bmp\r\nSerifuInterval=3\r\nFukidasiInterval=5\r\nEventPolling=500\r\n"
            b"LocalPolling=500\r\nTop=120\r\nLeft=894\r\nMaxSpeaking=3\r\nShowCalender=0\r\nShowTime=0\r\n"
            b"calx=3\r\nCalY=100\r\n[DLLlist]\r\nFennick\r\n\r\n")


@suite.case
def picture_that_cannot_be_loaded_is_reported():
    with e2elib.Display() as display:
        for image, message in ((b"nothere.bmp", "ファイル nothere.bmp は開けません"),
                               (b"climon.png", "拡張子 .png の画像形式は処理できません")):
            folder = e2elib.scratch_folder(e2elib.default_files())
            with open(os.path.join(folder, "edll.ini"), "wb") as f:
                f.write(b"MokunaImage=" + image + b"\r\n")
            app = start(folder, display)
            try:
                expect_general_error(app, message)
                assert app.main_window_geometry()[2:] == (117, 103)
                close_and_wait(app)
            finally:
                app.kill()
            assert open(os.path.join(folder, "edll.ini"), "rb").read().startswith(b"MokunaImage=" + image + b"\r\n")


@suite.case
def unwritable_ini_offers_retry_and_cancel():
    with e2elib.Display() as display:
        folder = e2elib.scratch_folder(e2elib.default_files())
        ini = os.path.join(folder, "edll.ini")
        with open(ini, "wb") as f:
            f.write(b"Top=77\r\n")

        def asked(app, count):
            return e2elib.wait_for(lambda: sum("edll.ini" in t for t in app.debug_output()) >= count, 15)

        # Retry while the file is still read-only asks again; Retry after it became writable saves.
        os.chmod(ini, 0o444)
        app = start(folder, display)
        try:
            app.main_window_geometry()
            app.close_by_menu()
            assert asked(app, 1)
            display.save_png(e2elib.artifact("startup-retry.png"))
            app.dismiss_message_box(key="Return")  # Retry
            assert asked(app, 2)
            os.chmod(ini, 0o644)
            app.dismiss_message_box(key="Return")
            assert app.wait_exit(30)
        finally:
            app.kill()
        assert open(ini, "rb").read().startswith(b"MokunaImage=climon.bmp\r\n")

        # Cancel ends the program and leaves the file as it was.
        with open(ini, "wb") as f:
            f.write(b"Top=77\r\n")
        os.chmod(ini, 0o444)
        app = start(folder, display)
        try:
            app.main_window_geometry()
            app.close_by_menu()
            assert asked(app, 1)
            assert "Access denied" in app.debug_output()[0] or "拒否" in app.debug_output()[0]
            app.dismiss_message_box(key="Escape")  # Cancel
            assert app.wait_exit(30)
        finally:
            app.kill()
            os.chmod(ini, 0o644)
        assert open(ini, "rb").read() == b"Top=77\r\n"


suite.run()
