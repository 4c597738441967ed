"""The settings dialog, the About box and a plug-in's settings page, reached from the character's menu of the
real program with the real scheduler library and mail plug-in."""
import os

import e2elib

LEFT, TOP = 400, 300
suite = e2elib.Suite("dialogs_e2e")

# Items of the character's menu, counted from the top (separators are skipped by the arrow keys).
MENU_DEBUG, MENU_DLL, MENU_SETTINGS, MENU_ABOUT = 1, 3, 4, 6


def folder_with(dlls=("Kavrel",), keys=()):
    folder = e2elib.scratch_folder(e2elib.default_files())
    lines = [f"Left={LEFT}", f"Top={TOP}", *keys, "[DLLlist]", *dlls]
    with open(os.path.join(folder, "edll.ini"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))
    return folder


def read_ini(folder, name="edll.ini"):
    path = os.path.join(folder, name)
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as f:
        return f.read().decode("cp932", errors="replace")


def open_menu_item(program, display, position):
    _, _, x, y, w, h = program.main_window
    display.open_menu(x + w // 2, y + h // 2)
    display.key(*["Down"] * position)


def click_in(display, window, cx, cy):
    """A click at client coordinates of window (without a window manager a Wine window has no frame)."""
    display.click(window[2] + cx, window[3] + cy)
    display.settled(window[2:])


def replace_text(display, window, cx, cy, text):
    click_in(display, window, cx, cy)
    display.key("End", *["BackSpace"] * 12)
    display.xdotool("type", text)
    display.settled(window[2:])


def calendar_shown(display):
    return any(w[1].startswith("Calender: ") for w in display.visible_windows())


@suite.case
def settings_dialog_applies_on_ok():
    folder = folder_with(keys=("ShowCalender=1", "CalX=40", "CalY=40"))
    with e2elib.Display() as display, e2elib.Mokuna(folder, display) as program:
        program.main_window_geometry()
        assert e2elib.wait_for(lambda: calendar_shown(display), 10), "the calendar did not show at start"
        open_menu_item(program, display, MENU_SETTINGS)
        display.key("Return")
        dialog = display.find_window(name="プロパティ", timeout=20)
        assert dialog, "the settings dialog did not open"
        assert dialog[4:] == (332, 403), dialog
        display.save_png(e2elib.artifact("dialogs-settings.png"))
        replace_text(display, dialog, 270, 59, "4")        # せりふの更新速度
        replace_text(display, dialog, 270, 161, "250")     # 自己イベントのポーリング頻度
        click_in(display, dialog, 40, 300)                 # カレンダーを表示する, cleared
        click_in(display, dialog, 40, 330)                 # 時計を表示する
        click_in(display, dialog, 286, 382)                # OK
        assert e2elib.wait_for(lambda: not display.find_window(name="プロパティ", timeout=0.5), 10), \
            "OK did not close the dialog"
        assert e2elib.wait_for(lambda: not calendar_shown(display), 10), "the calendar stayed on screen"
        program.close_by_menu()
        assert program.wait_exit(30), "the program did not end"
    ini = read_ini(folder).split("\r\n")
    assert "SerifuInterval=4" in ini, ini
    assert "LocalPolling=250" in ini, ini
    assert "ShowTime=1" in ini, ini
    assert "ShowCalender=0" in ini, ini


@suite.case
def about_box_opens_from_the_menu():
    folder = folder_with()
    with e2elib.Display() as display, e2elib.Mokuna(folder, display) as program:
        program.main_window_geometry()
        open_menu_item(program, display, MENU_ABOUT)
        display.key("Return")
        about = display.find_window(name="About Mokuna", timeout=20)
        assert about, "the About box did not open"
        display.save_png(e2elib.artifact("dialogs-about.png"))
        folded_height = about[5]
        click_in(display, about, 171 + 37, 280 + 12)       # つかいかた
        assert e2elib.wait_for(lambda: (display.find_window(name="About Mokuna", timeout=1) or about)[5]
                               == folded_height + 188, 10), "the guide did not fold out"
        display.save_png(e2elib.artifact("dialogs-about-unfolded.png"))


@suite.case
def debug_window_adds_a_schedule_entry():
    folder = folder_with()
    with e2elib.Display() as display, e2elib.Mokuna(folder, display) as program:
        program.main_window_geometry()
        open_menu_item(program, display, MENU_DEBUG)
        display.key("Return")
        debug = display.find_window(name="EventEntry(DEBUG)", timeout=20)
        assert debug, "the debug window did not open"
        replace_text(display, debug, 120, 16, "* * * * /3 Fennick 0 CheckMail")
        click_in(display, debug, 186, 44)                  # エントリ入力
        entry = "* * * * /3 Fennick 0 CheckMail"
        assert e2elib.wait_for(lambda: entry in read_ini(folder, "kavrel.ini").split("\r\n"), 20), \
            "kavrel.ini: " + repr(read_ini(folder, "kavrel.ini"))


def checked(display, page):
    """Whether the check box "メールチェックする" shows its tick (dark pixels inside its box)."""
    shot = display.grab()
    x0, y0 = page[2] + 34, page[3] + 56
    return sum(1 for x in range(x0, x0 + 9) for y in range(y0, y0 + 9) if sum(shot.pixel(x, y)) < 200) > 5


@suite.case
def plugin_settings_page_schedules_the_mail_check():
    folder = folder_with(("Kavrel", "Fennick"))
    with e2elib.Display() as display, e2elib.Mokuna(folder, display) as program:
        program.main_window_geometry()
        open_menu_item(program, display, MENU_DLL)
        display.key("Right", "Down", "Return")             # 拡張DLL > Fennick
        page = display.find_window(name="メール取得の設定", timeout=30)
        assert page, "the plug-in's settings page did not open"
        display.settled(page[2:])  # the page takes the first click only once it is up
        # メールチェックする holds the focus when the page opens.
        display.focus(page[0])
        display.key("space")
        assert e2elib.wait_for(lambda: checked(display, page), 5), "the check box did not take the tick"
        replace_text(display, page, 200, 64, "7")          # 分おき
        display.save_png(e2elib.artifact("dialogs-fennick-page.png"))
        click_in(display, page, 214 + 37, 310 + 12)        # OK
        entry = "* * * * /7 Fennick 0 CheckMail"
        assert e2elib.wait_for(lambda: entry in read_ini(folder, "kavrel.ini").split("\r\n"), 30), \
            "kavrel.ini: " + repr(read_ini(folder, "kavrel.ini"))


if __name__ == "__main__":
    suite.run()
