"""The mail check end to end: the real Kavrel.dll calls the real Fennick.dll, which talks to a real Dovecot
POP3 server that this script starts on 127.0.0.1:110 with a throw-away configuration (USER/PASS, then APOP;
in plain text, then with TLS required: SSL/TLS on 995 and STARTTLS on 110, the server's certificate from a
throw-away authority trusted only in the tests' Wine prefix), then over IMAP with TLS required (SSL/TLS on
993, STARTTLS on 143), and the settings window is photographed."""
import base64
import contextlib
import os
import pathlib
import shutil
import subprocess

import e2elib
import tls_certs
from dovecot import JAPANESE_FROM, JAPANESE_SUBJECT, epop_value, start, write_epop

PROBE = os.path.join(e2elib.BUILD_DIR, "tests/e2e/plugin/fennick_probe.exe")
FENNICK = os.path.join(e2elib.BUILD_DIR, "plugin/Fennick.dll")
KAVREL = os.path.join(e2elib.BUILD_DIR, "scheduler/Kavrel.dll")
NEW_MAIL = "Fennick CheckMail 000 メールが{}通きています． はやく受信しましょう．"
NO_NEW_MAIL = "Fennick CheckMail 000"
BAD_PASSWORD = "Fennick CheckMail 000 パスワードが正しくありません．"

suite = e2elib.Suite("fennick_dovecot_e2e")


def working_folder():
    files = [PROBE, FENNICK] + ([KAVREL] if os.path.exists(KAVREL) else [])
    return e2elib.scratch_folder(files)


def set_password_in_epop(folder, password):
    path = os.path.join(folder, "epop.ini")
    with open(path, "rb") as f:
        lines = f.read().split(b"\r\n")
    lines = [b"Password=" + password.encode() if l.startswith(b"Password=") else l for l in lines]
    with open(path, "wb") as f:
        f.write(b"\r\n".join(lines))


def run_probe(folder, mode="check", timeout=120):
    out = subprocess.run([e2elib.WINE_RUN, os.path.join(folder, "fennick_probe.exe"), mode], cwd=folder,
                         capture_output=True, timeout=timeout)
    results = [bytes.fromhex(line.split()[1]) if len(line.split()) > 1 else b""
               for line in out.stdout.decode("ascii", "replace").splitlines() if line.startswith("RESULT")]
    return out.returncode, results, out.stdout.decode("ascii", "replace")


def check(folder, expected):
    code, results, text = run_probe(folder)
    assert code == 0 and results, f"probe ended with {code}:\n{text}"
    got = results[-1]
    assert got == expected.encode("cp932"), f"expected {expected!r}, got {got.decode('cp932', 'replace')!r}"


@contextlib.contextmanager
def served(**options):
    """A Dovecot with the options and a working folder; the server's log is printed when a check fails."""
    server, folder = start(**options), working_folder()
    try:
        yield server, folder
    except AssertionError:
        print(server.log())
        raise
    finally:
        server.stop()
        shutil.rmtree(folder, ignore_errors=True)


def conversation(apop, security=0, certificate=None):
    """First check, unchanged mailbox, one more message, wrong password: against one server. With security
    1 (SSL/TLS) or 2 (STARTTLS) the server requires TLS and every login must have been one over TLS."""
    with served(tls=certificate) as (server, folder):
        ids = [server.add_message() for _ in range(3)]
        # The certificate names localhost, so that is the server's name here.
        write_epop(folder, apop, security=security, server="localhost" if security else "127.0.0.1")
        check(folder, NEW_MAIL.format(3))
        assert epop_value(folder, "LastMailNum") == "3"
        assert epop_value(folder, "LastMessageID") in ids, epop_value(folder, "LastMessageID")

        check(folder, NO_NEW_MAIL)

        newest = server.add_message()
        check(folder, NEW_MAIL.format(4))
        assert epop_value(folder, "LastMessageID") == newest
        assert epop_value(folder, "LastMailNum") == "4"

        set_password_in_epop(folder, "wrong")
        with open(os.path.join(folder, "epop.ini"), "rb") as f:
            before = f.read()
        check(folder, BAD_PASSWORD)
        with open(os.path.join(folder, "epop.ini"), "rb") as f:
            assert f.read() == before, "a failed check must not write epop.ini"
        if security:
            logins = server.logins()
            assert len(logins) == 3 and all(", TLS," in line for line in logins), f"logins: {logins}"


@suite.case
def user_pass_against_dovecot():
    conversation(apop=False)


@suite.case
def apop_against_dovecot():
    conversation(apop=True)


@suite.case
def both_logins_over_ssl_tls_and_starttls():
    authority = tls_certs.Authority()
    try:
        certificate = authority.issue("localhost")
        with tls_certs.trusted(authority):
            for security in (1, 2):
                for apop in (False, True):
                    conversation(apop, security, certificate)
                imap_conversation(security, certificate)
    finally:
        authority.remove()


def imap_conversation(security, certificate):
    """Over IMAP: unread mail announced with its count, once; mail read elsewhere before the check never; a
    password with a blank, a quote and a Japanese character; every login over TLS."""
    password = 'a b"パス'
    with served(tls=certificate, imap=True) as (server, folder):
        server.set_password(password)
        write_epop(folder, apop=False, password=password, security=security, server="localhost", imap=True)
        # the messages delivered before the check (True: read elsewhere), what the check says
        for delivered, expected in (((False, True, False), NEW_MAIL.format(2)), ((), NO_NEW_MAIL),
                                    ((True,), NO_NEW_MAIL), ((False,), NEW_MAIL.format(3))):
            for seen in delivered:
                server.add_message(seen)
            check(folder, expected)
        assert epop_value(folder, "MailProtocol") == "1" and epop_value(folder, "IMAPUnseen") == "3"
        logins = server.logins()
        assert len(logins) == 4 and all("imap-login" in l and ", TLS" in l for l in logins), logins


NAMED = " 山田太郎さんから 「会議の件」"


@suite.case
def sender_and_subject_named_over_imap_and_pop3():
    """The newest messages named by sender and subject over IMAP and POP3, left unread; epop.ini then holds
    the password only protected, and a changed blob is refused without a connection."""
    def edit_epop(old, new):
        path = pathlib.Path(folder, "epop.ini")
        path.write_bytes(path.read_bytes().replace(old, new))

    with served(imap=True) as (server, folder):
        server.add_message(sender=JAPANESE_FROM, subject=JAPANESE_SUBJECT)
        write_epop(folder, apop=False, imap=True, announce=True)
        check(folder, NEW_MAIL.format(1) + NAMED)
        assert epop_value(folder, "Password") == "" and epop_value(folder, "AnnounceSender") == "1"
        for _ in range(4):
            server.add_message()
        # The newest three of the four new ones; a subject with a blank is one quoted token.
        check(folder, NEW_MAIL.format(5) + "".join(f' sender@example.testさんから "「test {n}」"' for n in (3, 4, 5))
              + " ほかに1通あります．")
        server.add_message(sender=JAPANESE_FROM, subject=JAPANESE_SUBJECT)
        edit_epop(b"MailProtocol=1\r\n", b"")  # POP3 now, logging in with the protected password
        check(folder, NEW_MAIL.format(6) + NAMED + " ほかに5通あります．")
        assert server.unseen() == 6, "a check marked mail read"

        blob = epop_value(folder, "PasswordProtected").encode()
        raw = bytearray(base64.b64decode(blob))
        raw[-1] ^= 0x5A
        edit_epop(blob, base64.b64encode(bytes(raw)))
        def connections():  # Dovecot logs each connection to its login process
            return pathlib.Path(server.root, "dovecot.log").read_text(errors="replace").count("pop3-login:")
        before = connections()
        check(folder, "Fennick CheckMail 000 パスワードを読み出せません．設定画面で入れ直してください．")
        assert connections() == before, server.log()


@suite.case
def settings_window_through_the_scheduler():
    folder = working_folder()
    try:
        write_epop(folder, apop=True)
        proc = subprocess.Popen([e2elib.WINE_RUN, os.path.join(folder, "fennick_probe.exe"), "page"], cwd=folder,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = [b""]

        def shown_or_ended():
            line[0] = proc.stdout.readline()
            return not line[0] or line[0].startswith(b"SHOWN")
        e2elib.wait_for(shown_or_ended, 60, interval=0)
        assert line[0].startswith(b"SHOWN"), "the settings window did not appear"
        shot = os.path.join(e2elib.BUILD_DIR, "fennick-settings.png")
        e2elib.screenshot(shot)
        open(os.path.join(folder, "close.flag"), "w").close()
        rest, _ = proc.communicate(timeout=60)
        results = [bytes.fromhex(l.split()[1]) for l in rest.decode("ascii", "replace").splitlines()
                   if l.startswith("RESULT") and len(l.split()) > 1]
        assert results and results[-1] == "Fennick PropertyPage 000 ".encode("cp932"), results
        assert os.path.getsize(shot) > 0
        print(f"settings window picture: {shot}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def own_display():
    """The screenshot needs the display Wine draws on: without one, start an Xvfb for the whole run."""
    if os.environ.get("DISPLAY"):
        return None
    for n in range(160, 220):
        if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
            continue
        xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if e2elib.wait_for(lambda: os.path.exists(f"/tmp/.X11-unix/X{n}"), 10):
            os.environ["DISPLAY"] = f":{n}"
            return xvfb
        xvfb.kill()
    return None


if __name__ == "__main__":
    display = own_display()
    try:
        suite.run()
    finally:
        if display:
            display.kill()
