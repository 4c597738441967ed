"""The character's commands as a user meets them: the announcement on a double click, the menu, hiding
and bringing back through the tray icon, exit, the clock and the calendar. The program runs in a Wine
virtual desktop, which has a taskbar with a notification area; its windows are then drawn inside the one
desktop window at their Windows coordinates."""
import os
import signal
import subprocess
import time

import e2elib

SIZE = (1024, 768)
CHAR_LEFT, CHAR_TOP = 500, 400
CAL_X, CAL_Y = 620, 80
# The default picture is 116 x 102; the window is one pixel larger each way.
CHAR_W, CHAR_H = 117, 103
# The balloon stands left of the character with the bottom edges level (the picture is 102 high).
BALLOON_W, BALLOON_H, LABEL = 330, 170, 28
BALLOON_LEFT, BALLOON_TOP = CHAR_LEFT - BALLOON_W, CHAR_TOP + 102 - BALLOON_H
suite = e2elib.Suite("commands_e2e")


def write_ini(folder, **keys):
    lines = [f"Left={CHAR_LEFT}", f"Top={CHAR_TOP}", f"CalX={CAL_X}", f"CalY={CAL_Y}"]
    lines += [f"{k}={v}" for k, v in keys.items()]
    with open(os.path.join(folder, "edll.ini"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n[DLLlist]\r\nKavrel\r\n").encode("cp932"))


class Desktop:
    """Mokuna.exe in a virtual desktop of its own Xvfb."""

    def __init__(self, folder, char_place=(CHAR_LEFT, CHAR_TOP)):
        self.folder = folder
        self.char_left, self.char_top = char_place
        self.display = e2elib.Display(size=f"{SIZE[0]}x{SIZE[1]}")
        self.proc = None

    def __enter__(self):
        self.display.start()
        env = dict(self.display.env)
        self.log = open(os.path.join(self.folder, "wine-stderr.log"), "wb")
        # A session of its own, so that the whole Wine process tree started here can be ended at once.
        self.proc = subprocess.Popen([e2elib.WINE_RUN, "explorer", "/desktop=mokunacmd,%dx%d" % SIZE, "Mokuna.exe"],
                                     cwd=self.folder, env=env, stdout=self.log, stderr=subprocess.STDOUT,
                                     start_new_session=True)
        return self

    def __exit__(self, *exc):
        if self.proc and self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait(10)
        self.log.close()
        self.display.stop()

    def shot(self, name=None):
        if name:
            self.display.save_png(e2elib.artifact(f"commands-{name}.png"))
        return self.display.grab()

    def background(self):
        # The desktop colour, read in a corner nothing of ours covers.
        return self.display.grab().pixel(5, 5)

    def changed(self, shot, x, y, w, h, step=3):
        """How many sampled pixels of the rectangle differ from the desktop colour."""
        bg = shot.pixel(5, 5)
        return sum(1 for yy in range(y, y + h, step) for xx in range(x, x + w, step) if shot.pixel(xx, yy) != bg)

    def character_shown(self):
        return self.changed(self.display.grab(), self.char_left, self.char_top, CHAR_W, CHAR_H) > 200

    def wait_character(self, timeout=60):
        if not e2elib.wait_for(self.character_shown, timeout, 0.3):
            raise AssertionError("the character did not appear")
        # The tray icon and the timers come at the end of start-up: an icon of many colours in the tray.
        x, y = self.tray_icon()
        area = (x - 8, y - 8, 16, 16)
        if not self.display.settled(area, 10, lambda shot: len(set(e2elib.pixels(shot.region(*area)))) >= 4):
            raise AssertionError("no tray icon")

    def character_centre(self):
        return self.char_left + CHAR_W // 2, self.char_top + CHAR_H // 2

    def tray_icon(self):
        # The only icon of the notification area, at the right end of the taskbar.
        return SIZE[0] - 11, SIZE[1] - 10

    def double_click(self, x, y):
        self.display.xdotool("mousemove", x, y, "click", "--repeat", 2, "--delay", 60, 1)

    def right_click_menu(self):
        x, y = self.character_centre()
        self.display.open_menu(x, y)

    def menu_item_from_bottom(self, n):
        """With the menu open: n = 1 is the last item (終了), 2 the one above it (隠す)."""
        self.display.key(*(["Up"] * n), "Return")


def count_colour(shot, colour, x, y, w, h):
    return sum(1 for yy in range(y, y + h) for xx in range(x, x + w) if shot.pixel(xx, yy) == colour)


def outside_character_changes(desk, before, after):
    """Sampled pixels that changed between two screenshots, away from the character and the taskbar."""
    n = 0
    for y in range(0, SIZE[1] - 40, 4):
        for x in range(0, SIZE[0], 4):
            if CHAR_LEFT <= x < CHAR_LEFT + CHAR_W and CHAR_TOP <= y < CHAR_TOP + CHAR_H:
                continue
            if before.pixel(x, y) != after.pixel(x, y):
                n += 1
    return n


def text_lines(shot):
    """Bands of dark rows in the balloon's text area: one per line of text shown (0 without a balloon)."""
    if not balloon_shown(shot):
        return 0
    bands, inside = 0, False
    for y in range(BALLOON_TOP + LABEL, BALLOON_TOP + BALLOON_H - 12):
        dark = any(sum(shot.pixel(x, y)) < 150 for x in range(BALLOON_LEFT + LABEL, BALLOON_LEFT + BALLOON_W - 30))
        if dark and not inside:
            bands += 1
        inside = dark
    return bands


def balloon_shown(shot):
    r, g, b = shot.pixel(BALLOON_LEFT + BALLOON_W // 2, BALLOON_TOP + BALLOON_H // 2)
    return (r, g, b) != shot.pixel(5, 5) and min(r, g, b) > 200


@suite.case
def double_click_announces_date_and_time():
    folder = e2elib.scratch_folder(e2elib.default_files())
    write_ini(folder, SerifuInterval=1)
    with Desktop(folder) as desk:
        desk.wait_character()
        # A single click says nothing.
        desk.display.click(*desk.character_centre())
        time.sleep(1.5)
        assert not balloon_shown(desk.shot()), "a single click made the character speak"
        time.sleep(0.5)
        desk.double_click(*desk.character_centre())
        # The first line comes at the next tick, the second a second later.
        assert e2elib.wait_for(lambda: text_lines(desk.shot()) == 1, 10, 0.2), "no balloon after a double click"
        desk.shot("announcement-first-line")
        assert e2elib.wait_for(lambda: text_lines(desk.shot()) == 2, 10, 0.2), "the second line did not follow"
        desk.shot("announcement-two-lines")


@suite.case
def menu_hides_everything_and_tray_brings_it_back():
    folder = e2elib.scratch_folder(e2elib.default_files())
    write_ini(folder, ShowCalender=1)
    with Desktop(folder) as desk:
        desk.wait_character()
        shot = desk.shot("calendar-and-character")
        assert desk.changed(shot, CAL_X + 10, CAL_Y + 30, 200, 120) > 500, "the calendar is not shown"
        before_menu = shot
        desk.right_click_menu()
        menu_shot = desk.shot("menu-open")
        assert outside_character_changes(desk, before_menu, menu_shot) > 100, "no menu on a right click"
        desk.menu_item_from_bottom(2)  # 隠す
        assert e2elib.wait_for(lambda: not desk.character_shown(), 10, 0.3), "the character stayed"
        hidden = desk.shot("hidden")
        assert desk.changed(hidden, CAL_X + 10, CAL_Y + 30, 200, 120) < 20, "the calendar stayed"
        desk.double_click(*desk.tray_icon())
        assert e2elib.wait_for(desk.character_shown, 10, 0.3), "a double click on the tray icon did not bring it back"
        back = desk.shot("shown-again")
        assert desk.changed(back, CAL_X + 10, CAL_Y + 30, 200, 120) > 500, "the calendar did not come back"


@suite.case
def exit_from_the_tray_menu_ends_the_program_and_writes_settings():
    folder = e2elib.scratch_folder(e2elib.default_files())
    # No edll.ini: the character stands at its default place.
    with Desktop(folder, char_place=(894, 393)) as desk:
        desk.wait_character()
        # The tray icon's right-button menu is the character's menu; it opens on the press.
        before = desk.shot()
        x, y = desk.tray_icon()
        desk.display.xdotool("mousemove", x, y, "mousedown", 3)
        assert e2elib.wait_for(lambda: outside_character_changes(desk, before, desk.shot()) > 100, 10), \
            "no menu on a tray press"
        desk.display.settled((0, 0, *SIZE))
        desk.shot("tray-menu")
        desk.display.xdotool("mouseup", 3)
        desk.display.settled((0, 0, *SIZE))
        desk.menu_item_from_bottom(1)  # 終了
        ini = os.path.join(folder, "edll.ini")
        assert e2elib.wait_for(lambda: os.path.exists(ini), 20, 0.3), "edll.ini was not written"
        assert e2elib.wait_for(lambda: not desk.character_shown(), 20, 0.3), "the character is still there"
        text = open(ini, "rb").read().decode("cp932")
        assert text.startswith("MokunaImage=climon.bmp\r\n"), text
        assert "\r\nCalX=100\r\nCalY=100\r\n[DLLlist]\r\nKavrel\r\n" in text, text


@suite.case
def clock_shows_over_the_character():
    folder = e2elib.scratch_folder(e2elib.default_files())
    write_ini(folder, ShowTime=1)
    with Desktop(folder) as desk:
        desk.wait_character()
        shot = desk.shot("clock")
        # An opaque label at 32, 32 of the character window: one background colour over most of it, and
        # the time drawn in one other colour.
        counts = {}
        for y in range(CHAR_TOP + 32, CHAR_TOP + 53):
            for x in range(CHAR_LEFT + 32, CHAR_LEFT + 107):
                counts[shot.pixel(x, y)] = counts.get(shot.pixel(x, y), 0) + 1
        ranked = sorted(counts.values(), reverse=True)
        assert ranked[0] > 75 * 21 // 2, f"no opaque clock label: {ranked[:4]}"
        assert len(ranked) > 1 and ranked[1] > 30, f"no time on the clock label: {ranked[:4]}"


@suite.case
def calendar_shows_this_month_with_today_marked():
    folder = e2elib.scratch_folder(e2elib.default_files())
    write_ini(folder, ShowCalender=1)
    with Desktop(folder) as desk:
        desk.wait_character()
        desk.display.settled((CAL_X, CAL_Y, 240, 190))
        shot = desk.shot("calendar")
        yellow = count_colour(shot, (255, 255, 0), CAL_X, CAL_Y, 240, 190)
        assert yellow > 40, f"no yellow mark for today ({yellow} pixels)"



def picture(name):
    return e2elib.Screenshot(subprocess.run(["convert", os.path.join(e2elib.SOURCE_DIR, "assets", name), "ppm:-"],
                                            capture_output=True, check=True).stdout)


@suite.case
def the_character_blinks_and_talks_with_its_frames_only():
    # Where each frame differs from the picture, and what the picture and the frame have there.
    still, frames = picture("climon.bmp"), {part: picture(f"climon-{part}.bmp") for part in ("blink", "talk")}
    spots = {part: [(x, y) for y in range(still.height) for x in range(still.width)
                    if frame.pixel(x, y) != still.pixel(x, y)] for part, frame in frames.items()}

    def shows(shot, part):  # the frame's own pixels where it differs from the picture
        at = lambda x, y: shot.pixel(CHAR_LEFT + x, CHAR_TOP + y)  # noqa: E731
        return sum(at(x, y) == frames[part].pixel(x, y) for x, y in spots[part]) > 0.9 * len(spots[part])

    def character(shot):
        return shot.region(CHAR_LEFT, CHAR_TOP, still.width, still.height)

    today = None
    for name, keys, with_frames in (("no frames", {}, False), ("Animate=0", {"Animate": 0}, True),
                                    ("frames", {}, True)):
        folder = e2elib.scratch_folder(e2elib.default_files() + [
            os.path.join(e2elib.SOURCE_DIR, "assets", f"climon-{part}.bmp") for part in frames if with_frames])
        write_ini(folder, SerifuInterval=1, **keys)
        with Desktop(folder) as desk:
            desk.wait_character()
            if name != "frames":
                # Still: every shot over six seconds is the picture as it was before frames existed.
                end, seen = time.monotonic() + 6, set()
                while time.monotonic() < end:
                    seen.add(character(desk.display.grab()))
                today = today or next(iter(seen))
                assert seen == {today}, f"{name}: {len(seen)} different looks"
                continue
            looks = {}  # eyes closed or not: a shot of each
            assert e2elib.wait_for(lambda: looks.setdefault(shows(shot := desk.display.grab(), "blink"), shot) and
                                   len(looks) == 2, 20, 0), f"the eyes were only ever {'closed' if True in looks else 'open'}"
            desk.double_click(*desk.character_centre())
            talking = e2elib.wait_for(lambda: next((s for s in [desk.shot()] if shows(s, "talk")), None), 10, 0)
            assert talking, "the mouth never opened"
            for look, shot in (("eyes-closed", looks[True]), ("mouth-open", talking)):
                header = b"P6 %d %d 255\n" % (shot.width, shot.height)
                subprocess.run(["convert", "ppm:-", e2elib.artifact(f"commands-{look}.png")], input=header + shot.data,
                               check=True)


suite.run()
