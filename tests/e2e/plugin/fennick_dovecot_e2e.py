"""The mail check end to end: the real Kavrel.dll calls the real Fennick.dll, which talks to a real Dovecot
POP3 server that this script starts on 127.0.0.1:110 with a throw-away configuration (USER/PASS, then APOP),
and the settings window is photographed."""
import os
import shutil
import socket
import subprocess
import tempfile
import time

import e2elib

PROBE = os.path.join(e2elib.BUILD_DIR, "tests/e2e/plugin/fennick_probe.exe")
FENNICK = os.path.join(e2elib.BUILD_DIR, "plugin/Fennick.dll")
KAVREL = os.path.join(e2elib.BUILD_DIR, "scheduler/Kavrel.dll")
PORT = 110
USER, PASSWORD = "tester", "s3cret=pw"
NEW_MAIL = "Fennick CheckMail 000 メールが{}通きています． はやく受信しましょう．"
NO_NEW_MAIL = "Fennick CheckMail 000"
BAD_PASSWORD = "Fennick CheckMail 000 パスワードが正しくありません．"

suite = e2elib.Suite("fennick_dovecot_e2e")


def port_taken():
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    # Connections of an earlier server still closing do not count; only a listener does.
    probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        probe.bind(("127.0.0.1", PORT))
        return False
    except OSError:
        return True
    finally:
        probe.close()


class Dovecot:
    """A private Dovecot serving one passwd-file user with a maildir, in its own temporary folder."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="fennick-dovecot-")
        # The mail processes run as nobody and must reach the maildir.
        os.chmod(self.root, 0o755)
        self.maildir = os.path.join(self.root, "mail", "Maildir")
        for sub in ("cur", "new", "tmp"):
            os.makedirs(os.path.join(self.maildir, sub))
        for base, dirs, _ in os.walk(os.path.join(self.root, "mail")):
            os.chmod(base, 0o777)
        self.count = 0
        self.passwd = os.path.join(self.root, "passwd")
        self.set_password(PASSWORD)
        self.conf = os.path.join(self.root, "dovecot.conf")
        with open(self.conf, "w") as f:
            f.write(f"""base_dir = {self.root}/run
state_dir = {self.root}/state
instance_name = fennick-e2e-{os.getpid()}
protocols = pop3
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain apop
auth_failure_delay = 0
log_path = {self.root}/dovecot.log
mail_location = maildir:{self.maildir}
default_internal_user = dovecot
default_login_user = dovenull
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {self.passwd}
}}
userdb {{
  driver = static
  args = uid=65534 gid=65534 home={self.root}/mail
}}
service pop3-login {{
  inet_listener pop3 {{
    address = 127.0.0.1
    port = {PORT}
  }}
}}
service anvil {{
  chroot =
}}
""")
        os.makedirs(os.path.join(self.root, "state"))
        self.process = subprocess.Popen(["dovecot", "-F", "-c", self.conf],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
        if not e2elib.wait_for(self.listening, 20):
            self.stop()
            raise RuntimeError("Dovecot did not start listening:\n" + self.log())

    def listening(self):
        if self.process.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", PORT), timeout=1):
                return True
        except OSError:
            return False

    def set_password(self, password):
        with open(self.passwd, "w") as f:
            f.write(f"{USER}:{{PLAIN}}{password}\n")
        os.chmod(self.passwd, 0o644)

    def add_message(self):
        """Delivers one message; returns its identifier as the plug-in stores it (lower case)."""
        self.count += 1
        ident = f"<Msg{self.count}.{int(time.time())}@Example.TEST>"
        body = (f"From: sender@example.test\r\nTo: {USER}@example.test\r\nSubject: test {self.count}\r\n"
                f"Message-ID: {ident}\r\n\r\nmessage body {self.count}\r\n")
        name = f"{1700000000 + self.count}.M{self.count}P1.e2e"
        tmp = os.path.join(self.maildir, "tmp", name)
        with open(tmp, "w", newline="") as f:
            f.write(body)
        os.chmod(tmp, 0o666)
        os.rename(tmp, os.path.join(self.maildir, "new", name))
        return ident.lower()

    def log(self):
        try:
            with open(os.path.join(self.root, "dovecot.log"), errors="replace") as f:
                return f.read()[-3000:]
        except OSError:
            return "(no log)"

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)
        e2elib.wait_for(lambda: not port_taken(), 10)
        shutil.rmtree(self.root, ignore_errors=True)


def working_folder():
    files = [PROBE, FENNICK] + ([KAVREL] if os.path.exists(KAVREL) else [])
    return e2elib.scratch_folder(files)


def write_epop(folder, apop, password=PASSWORD):
    text = (f"isCheckMail=1\r\nisPlay=0\r\nCheckInterval=15\r\nAccount={USER}\r\nPassword={password}\r\n"
            f"POPServer=127.0.0.1\r\nisUseAPOP={1 if apop else 0}\r\nFilePlaying=\r\n")
    with open(os.path.join(folder, "epop.ini"), "wb") as f:
        f.write(text.encode("cp932"))


def set_password_in_epop(folder, password):
    path = os.path.join(folder, "epop.ini")
    with open(path, "rb") as f:
        lines = f.read().split(b"\r\n")
    lines = [b"Password=" + password.encode() if l.startswith(b"Password=") else l for l in lines]
    with open(path, "wb") as f:
        f.write(b"\r\n".join(lines))


def epop_value(folder, key):
    with open(os.path.join(folder, "epop.ini"), "rb") as f:
        for line in f.read().split(b"\r\n"):
            if line.startswith(key.encode() + b"="):
                return line.split(b"=", 1)[1].decode("cp932")
    return None


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


def conversation(apop):
    """First check, unchanged mailbox, one more message, wrong password: against one server."""
    if port_taken():
        raise AssertionError("port 110 on 127.0.0.1 is taken by another program; the Dovecot cases did not run")
    server = Dovecot()
    folder = working_folder()
    try:
        ids = [server.add_message() for _ in range(3)]
        write_epop(folder, apop)
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
    except AssertionError:
        print(server.log())
        raise
    finally:
        server.stop()
        shutil.rmtree(folder, ignore_errors=True)


@suite.case
def user_pass_against_dovecot():
    conversation(apop=False)


@suite.case
def apop_against_dovecot():
    conversation(apop=True)


@suite.case
def settings_window_through_the_scheduler():
    folder = working_folder()
    try:
        write_epop(folder, apop=True)
        proc = subprocess.Popen([e2elib.WINE_RUN, os.path.join(folder, "fennick_probe.exe"), "page"], cwd=folder,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        line = b""
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            line = proc.stdout.readline()
            if not line or line.startswith(b"SHOWN"):
                break
        assert line.startswith(b"SHOWN"), "the settings window did not appear"
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
