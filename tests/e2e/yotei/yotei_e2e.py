"""Reminders in the real program: Mokuna.exe with the real Kavrel.dll and Yotei.dll. A reminder set on
Yotei's page, opened from the character's menu, for the next minute is said in the balloon at that minute."""
import datetime
import os

import e2elib

suite = e2elib.Suite("yotei_e2e")

CHAR_LEFT, CHAR_TOP = 700, 500
MENU_DLL = 3  # 拡張DLL, counted from the top of the character's menu


def balloon_texts(app):
    prefix = "Oribel Mokuna: Label1: "
    return [t[len(prefix):] for t in app.debug_output() if t.startswith(prefix)]


def type_into(display, page, cx, cy, text):
    before = display.grab().region(*page[2:])
    display.click(page[2] + cx, page[3] + cy)
    display.xdotool("type", text)
    assert display.settled(page[2:], 10, lambda shot: shot.region(*page[2:]) != before), f"{text!r} did not show"


@suite.case
def reminder_set_on_the_page_is_said_at_its_minute():
    folder = e2elib.scratch_folder(e2elib.default_files() + [e2elib.build_file("yotei/Yotei.dll")])
    with open(os.path.join(folder, "edll.ini"), "wb") as f:
        f.write(f"Left={CHAR_LEFT}\r\nTop={CHAR_TOP}\r\nFukidasiInterval=60\r\n[DLLlist]\r\nKavrel\r\nYotei\r\n"
                .encode("cp932"))
    with e2elib.Display() as display, e2elib.Mokuna(folder, display) as app:
        x, y, w, h = app.main_window_geometry()
        assert display.open_menu(x + w // 2, y + h // 2), "no menu"
        display.key(*["Down"] * MENU_DLL, "Right", "Down", "Return")  # 拡張DLL > Yotei
        page = display.find_window(name="予定の設定", timeout=30)
        assert page, "Yotei's page did not open"
        display.settled(page[2:])
        display.focus(page[0])
        # The next minute, or the one after when this one is nearly over: the page's OK must come before it.
        now = datetime.datetime.now()
        due = (now + datetime.timedelta(minutes=1 if now.second < 40 else 2)).replace(second=0, microsecond=0)
        text = "Meeting in room 3F"
        type_into(display, page, 100, 220, due.strftime("%H:%M"))  # 時刻 (毎日 is chosen when the page opens)
        type_into(display, page, 212, 246, text)                   # 内容
        before = display.grab().region(*page[2:])
        display.click(page[2] + 72 + 37, page[3] + 264 + 12)       # 追加
        assert display.settled(page[2:], 10, lambda shot: shot.region(*page[2:]) != before), "追加 changed nothing"
        display.save_png(e2elib.artifact("yotei-page.png"))
        display.click(page[2] + 277 + 37, page[3] + 312 + 12)      # OK
        assert e2elib.wait_for(lambda: not display.find_window(name="予定の設定", timeout=0.5), 10), "OK left the page"
        with open(os.path.join(folder, "yotei.ini"), "rb") as f:
            ini = f.read().decode("cp932")
        assert f"\r\n[Reminders]\r\ndaily {due:%H:%M} {text}\r\n" in ini, ini

        wait = (due - datetime.datetime.now()).total_seconds() + 75
        said = e2elib.wait_for(lambda: any(text in t for t in balloon_texts(app)), wait)
        said_at = datetime.datetime.now()
        display.save_png(e2elib.artifact("yotei-said.png"))
        assert said, f"the reminder was not said; the balloon showed {balloon_texts(app)!r}"
        # At its minute: Kavrel ticks once a minute, counted from the page's OK.
        assert due <= said_at < due + datetime.timedelta(seconds=75), (due, said_at)
        app.close_by_menu()
        assert app.wait_exit(30)
    with open(os.path.join(folder, "kavrel.ini"), "rb") as f:
        assert f.read() == b"* * * * /1 Yotei 0 Tick\r\n"


if __name__ == "__main__":
    suite.run()
