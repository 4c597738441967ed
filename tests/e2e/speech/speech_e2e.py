"""The character speaks what a scheduled plug-in returns: lines paced in the balloon beside it, the balloon
cut to its outline and gone after the linger time; a code-900 result reaches the timetable and an error
code becomes the error remark. The plug-in is the test plug-in Tplug.dll, whose Say(n) returns line n of
tplug.txt."""
import os
import time

import e2elib

suite = e2elib.Suite("speech_e2e")

CHAR_LEFT, CHAR_TOP = 700, 500          # edll.ini puts the character here
CHAR_W, CHAR_H = 116, 102               # climon.bmp
BALLOON_W, BALLOON_H = 330, 170         # fukidasi.bmp
BALLOON_LEFT = CHAR_LEFT - BALLOON_W    # bottom edges level, balloon on the left
BALLOON_TOP = CHAR_TOP + CHAR_H - BALLOON_H
LABEL = 28                              # Label1's offset inside the balloon


def folder_with(kavrel_entries, tplug_lines, linger=5):
    folder = e2elib.scratch_folder(e2elib.default_files() + [e2elib.build_file("tests/win/scheduler/Tplug.dll")])
    with open(os.path.join(folder, "edll.ini"), "wb") as f:
        f.write(f"Left={CHAR_LEFT}\r\nTop={CHAR_TOP}\r\nSerifuInterval=3\r\nFukidasiInterval={linger}\r\n"
                .encode("cp932"))
    with open(os.path.join(folder, "kavrel.ini"), "wb") as f:
        f.write("".join(e + "\r\n" for e in kavrel_entries).encode("cp932"))
    with open(os.path.join(folder, "tplug.txt"), "wb") as f:
        f.write("".join(line + "\r\n" for line in tplug_lines).encode("cp932"))
    return folder


def balloon_shown(shot, background):
    """The balloon's body, well inside its outline, is on the screen."""
    x, y = BALLOON_LEFT + BALLOON_W // 2, BALLOON_TOP + BALLOON_H // 2
    r, g, b = shot.pixel(x, y)
    return (r, g, b) != background and min(r, g, b) > 200


LINE_PITCH = 13                         # 12-pixel font: one line of text every 13 rows


def text_lines(shot):
    """How many lines of text the balloon shows: the label's text begins with a line break, so line k
    (from 1) stands LINE_PITCH * k rows below the label's top. Only the middle rows of each line are
    looked at, where neither the line above nor the one below reaches."""
    lines = 0
    for k in range(1, 8):
        top = BALLOON_TOP + LABEL + LINE_PITCH * k
        if any(sum(shot.pixel(x, y)) < 300 for y in range(top + 3, top + 8)
               for x in range(BALLOON_LEFT + LABEL, BALLOON_LEFT + 290)):
            lines += 1
    return lines


def watch(display, until, timeout):
    """Grabs the screen until until(shot) holds; returns (seconds since start, shot) or (None, last)."""
    last = [None]

    def look():
        last[0] = display.grab()
        return until(last[0])
    seen = e2elib.wait_for(look, timeout)
    return (time.monotonic() if seen else None), last[0]


@suite.case
def lines_are_paced_in_the_balloon_and_it_goes_after_lingering():
    first, second = "こんにちは，モクナです．", "きょうもよろしくにゅ．"
    folder = folder_with(["* * * * /60 Tplug 1 Say"], [f"Tplug Say 000 {first} {second}"])
    with e2elib.Display() as display, e2elib.Mokuna(folder, display) as app:
        x, y, w, h = app.main_window_geometry()
        assert (x, y) == (CHAR_LEFT, CHAR_TOP), (x, y)
        bg = display.background

        shown_at, shot = watch(display, lambda s: balloon_shown(s, bg) and text_lines(s) >= 1, 60)
        assert shown_at, "the balloon never showed a line"
        display.save_png(e2elib.artifact("speech-first-line.png"))
        assert text_lines(shot) == 1, text_lines(shot)
        # Cut to its outline: the picture's corners (the transparent colour) show the desktop.
        assert shot.pixel(BALLOON_LEFT + 1, BALLOON_TOP + 1) == bg, shot.pixel(BALLOON_LEFT + 1, BALLOON_TOP + 1)
        assert shot.pixel(BALLOON_LEFT + BALLOON_W - 2, BALLOON_TOP + 1) == bg
        magenta = [(px, py) for px in range(BALLOON_LEFT, BALLOON_LEFT + BALLOON_W + 1, 3)
                   for py in range(BALLOON_TOP, BALLOON_TOP + BALLOON_H + 1, 3) if shot.pixel(px, py) == (255, 0, 255)]
        assert not magenta, magenta[:5]

        second_at, shot = watch(display, lambda s: text_lines(s) >= 2, 15)
        assert second_at, "the second line never came"
        display.save_png(e2elib.artifact("speech-second-line.png"))
        # SerifuInterval 3: the next line once the seconds count has risen by 4, at the next 500 ms tick.
        assert 2.5 <= second_at - shown_at <= 6.5, second_at - shown_at

        gone_at, shot = watch(display, lambda s: not balloon_shown(s, bg), 20)
        assert gone_at, "the balloon stayed"
        # FukidasiInterval 5: cleared once the count has risen by 6 after the last line.
        assert 4.5 <= gone_at - second_at <= 9, gone_at - second_at
        # The character is still there.
        assert shot.pixel(CHAR_LEFT + CHAR_W // 2, CHAR_TOP + CHAR_H // 2) != bg
        app.close_by_menu()
        assert app.wait_exit(30)


@suite.case
def schedule_entries_reach_the_timetable_and_errors_become_remarks():
    folder = folder_with(["* * * * /60 Tplug 1 Say", "* * * * /60 Tplug 101 Fail"],
                         ["Tplug Say 900 * * * * /30 Tplug 7 Null + 1 1 * 0 0 Tplug 8 Echo"])
    ini = os.path.join(folder, "kavrel.ini")

    def entries():
        with open(ini, "rb") as f:
            return f.read().decode("cp932")

    with e2elib.Display() as display, e2elib.Mokuna(folder, display) as app:
        app.main_window_geometry()
        # The error remark is 49 characters: three lines of at most 20, one per pacing step.
        bg = display.background
        shown_at, shot = watch(display, lambda s: balloon_shown(s, bg) and text_lines(s) >= 1, 60)
        assert shown_at, "no error remark"
        done_at, shot = watch(display, lambda s: text_lines(s) >= 3, 20)
        assert done_at, text_lines(shot)
        display.save_png(e2elib.artifact("speech-error-remark.png"))
        assert text_lines(shot) == 3, text_lines(shot)

        # Each entry group is an entry of its own (the second one falls due on 1 January only).
        assert e2elib.wait_for(lambda: "Tplug 7 Null" in entries() and "Tplug 8 Echo" in entries(), 30), entries()
        text = entries()
        assert "* * * * /30 Tplug 7 Null" in text and "1 1 * 0 0 Tplug 8 Echo" in text, text
        app.close_by_menu()
        assert app.wait_exit(30)


@suite.case
def balloon_follows_a_drag_of_the_character():
    folder = folder_with(["* * * * /60 Tplug 1 Say"], ["Tplug Say 000 ついていくにゅ．"], linger=120)
    with e2elib.Display() as display, e2elib.Mokuna(folder, display) as app:
        app.main_window_geometry()
        bg = display.background
        assert watch(display, lambda s: balloon_shown(s, bg) and text_lines(s) == 1, 60)[0], "no line"
        dx, dy = 150, -120
        display.drag(CHAR_LEFT + CHAR_W // 2, CHAR_TOP + CHAR_H // 2,
                     CHAR_LEFT + CHAR_W // 2 + dx, CHAR_TOP + CHAR_H // 2 + dy)
        # The character window by its size: the balloon is a nameless window of the program too.
        app.main_window = display.find_window(name="", size=(CHAR_W + 1, CHAR_H + 1))
        _, _, x, y, _, _ = app.main_window
        assert (x, y) == (CHAR_LEFT + dx, CHAR_TOP + dy), (x, y)

        def beside_new_place(s):
            body = s.pixel(x - BALLOON_W // 2, y + CHAR_H - BALLOON_H // 2)
            old_body = s.pixel(BALLOON_LEFT + 40, BALLOON_TOP + BALLOON_H - 30)
            return min(body) > 200 and old_body == bg
        assert watch(display, beside_new_place, 10)[0], "the balloon did not follow"
        display.save_png(e2elib.artifact("speech-after-drag.png"))
        app.close_by_menu()
        assert app.wait_exit(30)


suite.run()
