"""The whole program against a real POP3 server: Mokuna.exe with the real Kavrel.dll and Fennick.dll, a
timetable that checks the mailbox every minute, and a private Dovecot holding three messages, in plain
text and over TLS (SSL/TLS on 995, the certificate from a throw-away authority that the tests' Wine prefix
trusts for the run), and over IMAP with SSL/TLS on 993, where one of three messages was read elsewhere. The
character must announce the mail in its balloon, and the plug-in must remember what it saw."""
import os

import e2elib
import tls_certs
from dovecot import JAPANESE_FROM, JAPANESE_SUBJECT, epop_value, start, write_epop

suite = e2elib.Suite("mail_e2e")

CHAR_LEFT, CHAR_TOP = 700, 500


def balloon_texts(app):
    prefix = "Oribel Mokuna: Label1: "
    return [t[len(prefix):] for t in app.debug_output() if t.startswith(prefix)]


def announce_new_mail(certificate=None, picture="mail-announced.png", imap=False, named=None):
    """named: with the sender box ticked, the tokens said for the newest message, the Japanese one."""
    server = start(tls=certificate, imap=imap)
    try:
        for n in range(3):
            if named and n == 2:
                server.add_message(sender=JAPANESE_FROM, subject=JAPANESE_SUBJECT)
            else:  # IMAP counts the two unread ones, or only the Japanese one (the balloon's trace is short)
                server.add_message(seen=imap and (n == 1 or bool(named)))
        count = (1 if named else 2) if imap else 3
        folder = e2elib.scratch_folder(e2elib.default_files())
        assert os.path.exists(os.path.join(folder, "Fennick.dll")), "Fennick.dll was not built"
        if certificate:
            write_epop(folder, apop=not imap, security=1, server="localhost", imap=imap)
        elif named:
            write_epop(folder, apop=False, imap=imap, announce=True)
        else:
            write_epop(folder, apop=True)
        with open(os.path.join(folder, "edll.ini"), "wb") as f:
            f.write(f"Left={CHAR_LEFT}\r\nTop={CHAR_TOP}\r\nSerifuInterval=1\r\n".encode("cp932"))
        with open(os.path.join(folder, "kavrel.ini"), "wb") as f:
            f.write(b"* * * * /1 Fennick 0 CheckMail\r\n")

        with e2elib.Display() as display, e2elib.Mokuna(folder, display) as app:
            app.main_window_geometry()
            first, second = f"メールが{count}通きています．", "はやく受信しましょう．"
            second = named[-1] if named else second
            said = e2elib.wait_for(lambda: any(second in t for t in balloon_texts(app)), 90)
            display.save_png(e2elib.artifact(picture))
            texts = balloon_texts(app)
            assert said, f"the character did not announce the mail; it said {texts!r}\n{server.log()}"
            # Both lines, the count first, in one balloon: the second joins the first below it.
            last = [t for t in texts if second in t][-1]
            assert last.index(first) < last.index(second), last
            for token in named or ():
                assert token in last, (token, last)
            assert epop_value(folder, "IMAPUnseen" if imap else "LastMailNum") == str(count)
            app.close_by_menu()
            assert app.wait_exit(30)
        with open(os.path.join(folder, "kavrel.ini"), "rb") as f:
            assert f.read() == b"* * * * /1 Fennick 0 CheckMail\r\n"
        if certificate:
            logins = server.logins()
            assert logins and all(", TLS," in line for line in logins), f"logins: {logins}"
            assert all(("imap-login" in line) == imap for line in logins), f"logins: {logins}"
        if named:
            assert server.unseen() == count, "the check marked mail read"
    finally:
        server.stop()


@suite.case
def character_announces_new_mail_from_the_scheduled_check():
    announce_new_mail()


@suite.case
def character_announces_new_mail_checked_over_tls():
    authority = tls_certs.Authority()
    try:
        with tls_certs.trusted(authority):
            announce_new_mail(authority.issue("localhost"), "mail-announced-tls.png")
            announce_new_mail(authority.issue("localhost"), "mail-announced-imap.png", imap=True)
    finally:
        authority.remove()


@suite.case
def character_names_sender_and_subject_over_imap():
    # The trace of the balloon's text ends about here; the picture shows it whole.
    announce_new_mail(picture="mail-announced-sender.png", imap=True, named=("山田太郎さんから", "「会議の件"))


suite.run()
