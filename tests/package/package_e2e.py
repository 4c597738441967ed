"""The release files as a user gets them, under Wine in a prefix of their own (the installer writes HKCU and
%LOCALAPPDATA%): the zip unpacked and started, the installer's silent install, update and removal, its pages
in Japanese and English, the version in every binary, and a second package build giving the same bytes.
    package_e2e.py DIST_FOLDER    (what scripts/package.sh wrote)"""
import atexit
import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

import e2elib

DIST = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(e2elib.SOURCE_DIR, "dist"))
VERSION = re.match(r"Mokuna-(\d+\.\d+\.\d+)-win64\.zip$",
                   os.path.basename(glob.glob(os.path.join(DIST, "Mokuna-*-win64.zip"))[0])).group(1)
ZIP = os.path.join(DIST, f"Mokuna-{VERSION}-win64.zip")
SETUP = os.path.join(DIST, f"Mokuna-{VERSION}-win64-setup.exe")
UNINST_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Mokuna"
PROGRAM_FILES = ["Fennick.dll", "Kavrel.dll", "LICENSE.txt", "Mokuna.exe", "README.txt", "Yotei.dll", "back.bmp",
                 "climon-blink.bmp", "climon-talk.bmp", "climon.bmp", "edll-default.ini", "fukidasi.bmp", "sdk", "version.txt"]
SDK_FILES = ["sdk/", "sdk/README.md", "sdk/include/", "sdk/include/mokuna_plugin.h", "sdk/sample/",
             "sdk/sample/CMakeLists.txt", "sdk/sample/break.c"]

# A prefix made for this script and removed with it; no menu entries leak into the user's desktop.
_scratch = tempfile.mkdtemp(prefix="mokuna-package-")
os.environ["MOKUNA_WINEPREFIX"] = PREFIX = os.path.join(_scratch, "wine")
os.environ["WINEDLLOVERRIDES"] = "mscoree,mshtml,winemenubuilder.exe="


@atexit.register
def _remove_prefix():
    subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX), stderr=subprocess.DEVNULL)
    shutil.rmtree(_scratch, ignore_errors=True)


suite = e2elib.Suite("package")


def wine(display, *args, timeout=180, **kw):
    return subprocess.run([e2elib.WINE_RUN, *args], env=dict(display.env, **kw.pop("env", {})), timeout=timeout,
                          capture_output=True, **kw)


def wine_idle():
    """Waits until every process of the prefix has ended (Wine lets go of a program's files only then)."""
    subprocess.run(["wineserver", "-w"], env=dict(os.environ, WINEPREFIX=PREFIX), timeout=60)


def user_folder():
    users = [u for u in glob.glob(os.path.join(PREFIX, "drive_c/users/*")) if os.path.basename(u) != "Public"]
    assert len(users) == 1, users
    return users[0]


def windows_path(unix_path):
    """C:\\... for a path inside the prefix's drive C."""
    rel = os.path.relpath(unix_path, os.path.join(PREFIX, "drive_c"))
    return "C:\\" + rel.replace("/", "\\")


def read_lnk(path):
    """(target, working folder) of a shell link file."""
    data = open(path, "rb").read()
    flags, = struct.unpack_from("<I", data, 20)
    pos = 76
    if flags & 0x1:  # an item id list
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    target = None
    if flags & 0x2:  # link info: the target as a local path (ANSI; ours is plain ASCII)
        size, _, _, _, base = struct.unpack_from("<5I", data, pos)
        target = data[pos + base:data.index(b"\0", pos + base)].decode("ascii")
        pos += size
    strings = {}
    width = 2 if flags & 0x80 else 1  # Unicode or ANSI string data
    for bit, name in ((0x4, "name"), (0x8, "relative"), (0x10, "workdir"), (0x20, "args"), (0x40, "icon")):
        if flags & bit:
            count, = struct.unpack_from("<H", data, pos)
            strings[name] = data[pos + 2:pos + 2 + count * width].decode("utf-16-le" if width == 2 else "ascii")
            pos += 2 + count * width
    return target, strings.get("workdir", "").rstrip("\0")


def registry_values(display, key):
    """{name: value} of a registry key, None when it does not exist."""
    out = os.path.join(_scratch, "export.reg")
    if wine(display, "reg", "export", key, "Z:" + out.replace("/", "\\"), "/y").returncode != 0:
        return None
    text = open(out, "rb").read().decode("utf-16")
    os.remove(out)
    values = {}
    for name, text_value, dword in re.findall(r'^"([^"]+)"=(?:"((?:[^"\\]|\\.)*)"|dword:([0-9a-f]{8}))\r?$', text, re.M):
        values[name] = int(dword, 16) if dword else re.sub(r"\\(.)", r"\1", text_value)
    return values


def expect_character(app):
    x, y, w, h = app.main_window_geometry()
    assert (x, y) == (894, 393), (x, y)
    shot = app.display.grab()
    # Mid-window the character covers the background; column 0 never shows.
    assert shot.pixel(x + w // 2, y + h // 2) != app.display.background
    assert shot.pixel(x, y + h // 2) == app.display.background
    return shot


@suite.case
def every_binary_carries_the_version():
    with zipfile.ZipFile(ZIP) as z:
        names = z.namelist()
        expected = ["Mokuna/"] + [f"Mokuna/{f}" for f in PROGRAM_FILES if f != "sdk"] + [f"Mokuna/{f}" for f in SDK_FILES]
        assert names == sorted(expected), names
        folder = os.path.join(_scratch, "binaries")
        z.extractall(folder)
    for name, kind in (("Mokuna.exe", "0x1"), ("Kavrel.dll", "0x2"), ("Fennick.dll", "0x2"), ("Yotei.dll", "0x2")):
        rc = subprocess.run(["x86_64-w64-mingw32-windres", "-i", os.path.join(folder, "Mokuna", name), "-O", "rc"],
                            capture_output=True, text=True, check=True).stdout
        values = dict(re.findall(r'VALUE "(\w+)", L?"([^"]*)"', rc))
        assert values["FileVersion"] == values["ProductVersion"] == VERSION, (name, values)
        assert values["ProductName"] == "Mokuna" and values["OriginalFilename"] == name, (name, values)
        assert values["CompanyName"] == r"Oribel\x958b\x767a\x30d7\x30ed\x30b8\x30a7\x30af\x30c8", values
        assert re.search(r"FILETYPE " + kind + r"\b", rc), (name, rc)
        assert re.search(r"FILEVERSION %s, 0\b" % VERSION.replace(".", ", "), rc), (name, rc)
        if name == "Mokuna.exe":
            assert f'name=""Mokuna"" version=""{VERSION}.0""' in rc, "manifest"


@suite.case
def unpacked_zip_starts_with_the_character():
    folder = os.path.join(_scratch, "unpacked")
    with zipfile.ZipFile(ZIP) as z:
        z.extractall(folder)
    program = os.path.join(folder, "Mokuna")
    with e2elib.Display() as display, e2elib.Mokuna(program, display) as app:
        expect_character(app)
        display.save_png(e2elib.artifact("package-zip.png"))
        # A first start lists the plug-ins that came with it: 拡張DLL > Yotei, the third item, opens its page.
        _, _, x, y, w, h = app.main_window
        assert display.open_menu(x + w // 2, y + h // 2), "no menu"
        display.key("Down", "Down", "Down", "Right", "Down", "Down", "Return")
        page = display.find_window(name="予定の設定", timeout=30)
        assert page, "拡張DLL > Yotei did not open the reminders page"
        display.settled(page[2:])
        display.click(page[2] + 196 + 37, page[3] + 312 + 12)  # キャンセル
        assert e2elib.wait_for(lambda: not display.find_window(name="予定の設定", timeout=0.5), 10)
        app.close_by_menu()
        assert app.wait_exit(30)
    with open(os.path.join(program, "edll.ini"), "rb") as f:
        assert f.read().endswith(b"[DLLlist]\r\nKavrel\r\nFennick\r\nYotei\r\n")


class FromShortcut(e2elib.Mokuna):
    """Mokuna started the way the Start menu starts it: through its shortcut, from some other folder."""

    def __init__(self, lnk, elsewhere, display):
        super().__init__(elsewhere, display)
        self.lnk = lnk

    def start(self):
        self.log = open(self.log_path, "wb")
        self.proc = subprocess.Popen([e2elib.WINE_RUN, "start", "/wait", windows_path(self.lnk)], cwd=self.folder,
                                     env=self.display.env, stdout=self.log, stderr=subprocess.STDOUT)
        return self


@suite.case
def installer_installs_updates_and_removes():
    with e2elib.Display() as display:
        assert wine(display, SETUP, "/S").returncode == 0
        user = user_folder()
        installed = os.path.join(user, "AppData/Local/Programs/Mokuna")
        assert sorted(os.listdir(installed)) == sorted(PROGRAM_FILES + ["Uninstall.exe"]), os.listdir(installed)
        lnk = os.path.join(user, "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Mokuna.lnk")
        target, workdir = read_lnk(lnk)
        assert target.lower() == windows_path(os.path.join(installed, "Mokuna.exe")).lower(), target
        assert workdir.lower() == windows_path(installed).lower(), workdir
        assert not glob.glob(os.path.join(user, "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/*"))

        entry = registry_values(display, UNINST_KEY)
        assert entry and entry["DisplayVersion"] == VERSION and entry["DisplayName"] == "Mokuna", entry
        assert entry["InstallLocation"].lower() == windows_path(installed).lower(), entry
        assert entry["QuietUninstallString"].lower() == f'"{windows_path(installed)}\\Uninstall.exe" /S'.lower()
        assert 300 < entry["EstimatedSize"] < 10000, entry  # kilobytes
        assert entry["Publisher"] == "Oribel開発プロジェクト", entry
        assert entry["DisplayIcon"].lower() == windows_path(os.path.join(installed, "Mokuna.exe")).lower(), entry
        for name in ("UninstallString",):
            assert entry.get(name), (name, entry)

        elsewhere = e2elib.scratch_folder()
        with FromShortcut(lnk, elsewhere, display) as app:
            expect_character(app)
            display.save_png(e2elib.artifact("package-installed.png"))
            # An update while the program runs from there gives up rather than replace files in use.
            exe_before = os.stat(os.path.join(installed, "Mokuna.exe")).st_mtime_ns
            assert wine(display, SETUP, "/S").returncode != 0
            assert os.stat(os.path.join(installed, "Mokuna.exe")).st_mtime_ns == exe_before
            app.close_by_menu()
            assert app.wait_exit(30)
        wine_idle()
        assert "edll.ini" not in os.listdir(elsewhere)
        with open(os.path.join(installed, "edll.ini"), "rb") as f:
            assert f.read().endswith(b"[DLLlist]\r\nKavrel\r\nFennick\r\nYotei\r\n")  # the release's list

        # The user's settings, outline and own picture survive an update.
        kept = {"edll.ini": b"MokunaImage=mine.bmp\r\nTop=10\r\n[DLLlist]\r\nFennick\r\n",
                "epop.ini": b"Server=mail.example\r\n", "climon.bmp.msk": b"outline", "mine.bmp": b"BM picture",
                "climon.bmp": b"BM the user's own climon"}
        for name, data in kept.items():
            with open(os.path.join(installed, name), "wb") as f:
                f.write(data)
        os.remove(os.path.join(installed, "Kavrel.dll"))
        assert wine(display, SETUP, "/S").returncode == 0
        assert os.path.exists(os.path.join(installed, "Kavrel.dll"))
        for name, data in kept.items():
            assert open(os.path.join(installed, name), "rb").read() == data, name

        # Removal: the uninstaller runs on from a copy of itself, so wait for its work to show.
        uninstaller = os.path.join(installed, "Uninstall.exe")
        assert wine(display, uninstaller, "/S").returncode == 0
        assert e2elib.wait_for(lambda: not os.path.exists(uninstaller), 60)
        wine_idle()
        # What is left is the user's: settings, the outlines (the program made fukidasi.msk) and the own picture.
        assert sorted(os.listdir(installed)) == ["climon.bmp.msk", "edll.ini", "epop.ini", "fukidasi.msk",
                                                 "mine.bmp"], os.listdir(installed)
        assert not os.path.exists(lnk)
        assert registry_values(display, UNINST_KEY) is None


def installer_pages(display, env, language):
    """Screenshots of the first three pages; the window's title."""
    proc = subprocess.Popen([e2elib.WINE_RUN, SETUP], env=dict(display.env, **env), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        window = display.find_window(timeout=60, cls=os.path.basename(SETUP).lower())
        assert window, "no installer window"
        shown = display.settled(window[2:])
        for page in ("welcome", "license", "components"):
            display.save_png(e2elib.artifact(f"installer-{language}-{page}.png"))
            display.focus(window[0])
            display.key("Return")
            before = shown.region(*window[2:]) if shown else None
            shown = display.settled(window[2:], 10, lambda shot: shot.region(*window[2:]) != before)
        return window[1]
    finally:
        proc.kill()
        proc.wait()
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX))


@suite.case
def installer_speaks_the_users_language():
    # Wine takes its language from the Unix locale: a Japanese one, made for this run alone.
    locales = os.path.join(_scratch, "locales")
    os.makedirs(locales)
    subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8", os.path.join(locales, "ja_JP.UTF-8")], check=True)
    with e2elib.Display() as display:
        english = installer_pages(display, {"LC_ALL": "C.UTF-8"}, "en")
        japanese = installer_pages(display, {"LC_ALL": "ja_JP.UTF-8", "LOCPATH": locales}, "ja")
    assert english == "Mokuna Setup", english
    assert japanese == "Mokuna セットアップ", japanese


@suite.case
def second_build_gives_the_same_bytes():
    other = os.path.join(_scratch, "again")
    subprocess.run(["bash", os.path.join(e2elib.SOURCE_DIR, "scripts/package.sh")], check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, MOKUNA_BUILD_DIR=os.path.join(other, "build"),
                            MOKUNA_DIST_DIR=os.path.join(other, "dist")))
    first = open(os.path.join(DIST, "SHA256SUMS")).read()
    second = open(os.path.join(other, "dist", "SHA256SUMS")).read()
    print(second, end="")
    assert first == second, (first, second)


suite.run()
