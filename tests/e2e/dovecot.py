"""A private Dovecot POP3 server for the end-to-end tests: 127.0.0.1:110, a throw-away configuration in a
temporary folder, one passwd-file user with a PLAIN password (so APOP works) and a maildir. With a server
certificate it requires TLS: SSL/TLS on 127.0.0.1:995 and STLS on 110 (and for IMAP, on 993 and 143)."""
import os
import shutil
import socket
import subprocess
import tempfile
import time

import e2elib

PORT = 110
TLS_PORT = 995
IMAP_PORT = 143
IMAPS_PORT = 993
USER, PASSWORD = "tester", "s3cret=pw"
# A sender's name in ISO-2022-JP and a subject in UTF-8, encoded as mail programs send them.
JAPANESE_FROM = "=?ISO-2022-JP?B?GyRCOzNFREJATzobKEI=?= <taro@example.jp>"
JAPANESE_SUBJECT = "=?UTF-8?Q?=E4=BC=9A=E8=AD=B0=E3=81=AE=E4=BB=B6?="


def port_taken(port=PORT):
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    # Connections of an earlier server still closing do not count; only a listener does.
    probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        probe.bind(("127.0.0.1", port))
        return False
    except OSError:
        return True
    finally:
        probe.close()


def ports_for(tls, imap):
    pop, imap_ports = ((PORT, TLS_PORT), (IMAP_PORT, IMAPS_PORT)) if tls else ((PORT,), (IMAP_PORT,))
    return pop + imap_ports if imap else pop


def start(tls=None, imap=False):
    """The one way the end-to-end suites start a server: a listening Dovecot with these options, or an
    AssertionError when another program holds one of its ports (the case then cannot run)."""
    for port in ports_for(tls, imap):
        if port_taken(port):
            raise AssertionError(f"port {port} on 127.0.0.1 is taken by another program; the Dovecot case did not run")
    return Dovecot(tls=tls, imap=imap)


class Dovecot:
    """A private Dovecot serving one passwd-file user with a maildir, in its own temporary folder."""

    def __init__(self, tls=None, imap=False):
        """tls: (certificate file, key file) to require TLS with; None serves plain POP3 as before."""
        self.tls = tls
        self.imap = imap
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
protocols = pop3{' imap' if imap else ''}
listen = 127.0.0.1
{self.ssl_settings()}
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
  }}{self.tls_listener()}
}}{self.imap_service()}
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

    def ssl_settings(self):
        if not self.tls:
            return "ssl = no\ndisable_plaintext_auth = no"
        return (f"ssl = required\nssl_cert = <{self.tls[0]}\nssl_key = <{self.tls[1]}\nssl_min_protocol = TLSv1.2\n"
                "disable_plaintext_auth = yes")

    def tls_listener(self):
        if not self.tls:
            return ""
        return f"\n  inet_listener pop3s {{\n    address = 127.0.0.1\n    port = {TLS_PORT}\n    ssl = yes\n  }}"

    def imap_service(self):
        ports = [("imap", IMAP_PORT, "")] + ([("imaps", IMAPS_PORT, "\n    ssl = yes")] if self.tls else [])
        listeners = "".join(f"\n  inet_listener {n} {{\n    address = 127.0.0.1\n    port = {p}{x}\n  }}"
                            for n, p, x in ports)
        return f"\nservice imap-login {{{listeners}\n}}" if self.imap else ""

    def ports(self):
        return ports_for(self.tls, self.imap)

    def listening(self):
        if self.process.poll() is not None:
            return False
        try:
            for port in self.ports():
                with socket.create_connection(("127.0.0.1", port), timeout=1):
                    pass
            return True
        except OSError:
            return False

    def logins(self):
        """Dovecot's own log lines of the logins so far."""
        try:
            with open(os.path.join(self.root, "dovecot.log"), errors="replace") as f:
                return [line for line in f if "Login: user=<" in line]
        except OSError:
            return []

    def set_password(self, password):
        # As servers keep it and the plug-in sends it over IMAP: UTF-8, whatever the settings' Shift-JIS.
        with open(self.passwd, "wb") as f:
            f.write(f"{USER}:{{PLAIN}}{password}\n".encode("utf-8"))
        os.chmod(self.passwd, 0o644)

    def add_message(self, seen=False, sender="sender@example.test", subject=None):
        """Delivers one message (read elsewhere when seen) with the From and Subject given as they go on the
        wire; returns its identifier as the plug-in stores it (lower case)."""
        self.count += 1
        ident = f"<Msg{self.count}.{int(time.time())}@Example.TEST>"
        subject = f"test {self.count}" if subject is None else subject
        body = (f"From: {sender}\r\nTo: {USER}@example.test\r\nSubject: {subject}\r\n"
                f"Message-ID: {ident}\r\n\r\nmessage body {self.count}\r\n")
        name = f"{1700000000 + self.count}.M{self.count}P1.e2e"
        tmp = os.path.join(self.maildir, "tmp", name)
        with open(tmp, "w", newline="") as f:
            f.write(body)
        os.chmod(tmp, 0o666)
        os.rename(tmp, os.path.join(self.maildir, *(("cur", name + ":2,S") if seen else ("new", name))))
        return ident.lower()

    def unseen(self):
        names = os.listdir(os.path.join(self.maildir, "new")) + os.listdir(os.path.join(self.maildir, "cur"))
        return sum(1 for n in names if "S" not in n.partition(":2,")[2])

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
        e2elib.wait_for(lambda: not any(port_taken(p) for p in self.ports()), 10)
        shutil.rmtree(self.root, ignore_errors=True)


def write_epop(folder, apop, password=PASSWORD, security=0, server="127.0.0.1", imap=False, announce=False):
    """security: 0 plain POP3 (no key written), 1 SSL/TLS, 2 STARTTLS, each on its default port."""
    text = (f"isCheckMail=1\r\nisPlay=0\r\nCheckInterval=15\r\nAccount={USER}\r\nPassword={password}\r\n"
            f"POPServer={server}\r\nisUseAPOP={1 if apop else 0}\r\nFilePlaying=\r\n")
    if security:
        text += f"POPSecurity={security}\r\n"
    text += "MailProtocol=1\r\n" if imap else ""
    text += "AnnounceSender=1\r\n" if announce else ""
    with open(os.path.join(folder, "epop.ini"), "wb") as f:
        f.write(text.encode("cp932"))


def epop_value(folder, key):
    with open(os.path.join(folder, "epop.ini"), "rb") as f:
        for line in f.read().split(b"\r\n"):
            if line.startswith(key.encode() + b"="):
                return line.split(b"=", 1)[1].decode("cp932")
    return None
