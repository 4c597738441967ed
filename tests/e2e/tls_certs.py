"""Throw-away certificates for the TLS tests, made with the openssl command in a temporary folder, and a
way to trust their authority for the current user of the tests' Wine prefix only (never the machine's own
store): `with trusted(authority, env):` adds it to that user's Root store and removes it afterwards."""
import contextlib
import datetime
import os
import shutil
import subprocess
import tempfile
import time
import uuid

from cryptography import x509
from cryptography.hazmat.primitives.asymmetric.utils import decode_dss_signature

import e2elib

TEST_CA = os.path.join(e2elib.BUILD_DIR, "tests/win/plugin/test_ca.exe")


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if args[0] == "ca" and not _full_width_signature(os.path.join(cwd, args[args.index("-out") + 1])):
        _openssl(*args, cwd=cwd)  # again (a new serial number) until the signature suits Wine


def _utc(days):
    """The time that many days from now, as the openssl commands take it."""
    moment = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(days=days)
    return moment.strftime("%Y%m%d%H%M%SZ")


def _full_width_signature(pem):
    """Whether both numbers of the certificate's P-256 signature take all 32 bytes. Wine's chain check
    refuses a signature whose r or s is shorter (about one in 128), so such a certificate is signed again."""
    with open(pem, "rb") as f:
        r, s = decode_dss_signature(x509.load_pem_x509_certificate(f.read()).signature)
    return min(r, s) >= 1 << 248


class Authority:
    """A certificate authority of its own, issuing server certificates (P-256 keys, SHA-256)."""

    def __init__(self, name="Fennick Test CA"):
        # A name of its own: an authority of an earlier test with the same name and another key, still in a
        # store, could otherwise be taken for this one's issuer.
        name = f"{name} {uuid.uuid4().hex[:12]}"
        self.folder = tempfile.mkdtemp(prefix="fennick-ca-")
        os.makedirs(os.path.join(self.folder, "issued"))
        open(os.path.join(self.folder, "index.txt"), "w").close()
        with open(os.path.join(self.folder, "serial"), "w") as f:
            f.write("1000\n")
        self.certificate = os.path.join(self.folder, "ca.pem")
        self.key = os.path.join(self.folder, "ca.key")
        with open(os.path.join(self.folder, "ca.cnf"), "w") as f:
            f.write(f"""[ca]
default_ca = issuer
[issuer]
database = {self.folder}/index.txt
new_certs_dir = {self.folder}/issued
serial = {self.folder}/serial
certificate = {self.certificate}
private_key = {self.key}
default_md = sha256
policy = any_name
unique_subject = no
email_in_dn = no
[any_name]
commonName = supplied
""")
        # Valid from a day back, so that a clock set a little differently somewhere cannot make it new.
        with open(os.path.join(self.folder, "ca.ext"), "w") as f:
            f.write("basicConstraints = critical,CA:TRUE\nkeyUsage = critical,keyCertSign,cRLSign\n"
                    "subjectKeyIdentifier = hash\nauthorityKeyIdentifier = keyid:always\n")
        _openssl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                 "-keyout", self.key, "-out", "ca.csr", "-subj", f"/CN={name}", cwd=self.folder)
        _openssl("ca", "-batch", "-selfsign", "-notext", "-config", "ca.cnf", "-keyfile", self.key, "-in", "ca.csr",
                 "-out", self.certificate, "-extfile", "ca.ext", "-startdate", _utc(days=-1),
                 "-enddate", _utc(days=3650), cwd=self.folder)
        self.issued = 0

    def issue(self, host, start=None, end=None):
        """A server certificate for host (its DNS name), valid from a day back for 30 days unless start and end
        (YYYYMMDDHHMMSSZ) say otherwise; returns (certificate file, key file)."""
        self.issued += 1
        base = os.path.join(self.folder, f"server{self.issued}")
        with open(base + ".ext", "w") as f:
            f.write(f"basicConstraints = CA:FALSE\nkeyUsage = critical,digitalSignature\n"
                    f"extendedKeyUsage = serverAuth\nsubjectAltName = DNS:{host}\n")
        _openssl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                 "-keyout", base + ".key", "-out", base + ".csr", "-subj", f"/CN={host}", cwd=self.folder)
        dates = ["-startdate", start or _utc(days=-1), "-enddate", end or _utc(days=30)]
        _openssl("ca", "-batch", "-notext", "-config", os.path.join(self.folder, "ca.cnf"), "-in", base + ".csr",
                 "-out", base + ".pem", "-extfile", base + ".ext", *dates, cwd=self.folder)
        return base + ".pem", base + ".key"

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def _test_ca(action, authority, env, *leaf):
    # An authority just added that the Root store does not show, or whose certificates do not yet pass
    # the chain check (exit code 3), is added again after a moment; every attempt's report is kept.
    reports = []
    for attempt in range(5):
        out = subprocess.run([e2elib.WINE_RUN, TEST_CA, action, "Z:" + authority.certificate,
                              *("Z:" + path for path in leaf)], env=env, capture_output=True, text=True, timeout=120)
        if out.returncode == 0:
            if reports:
                print(f"test_ca {action}: trusted at attempt {attempt + 1} after: {' | '.join(reports)}", flush=True)
            return
        reports.append(f"({out.returncode}) {out.stderr.strip()}")
        if out.returncode != 3:
            break
        time.sleep(2)
    raise RuntimeError(f"test_ca {action} failed: {' | '.join(reports)}")


@contextlib.contextmanager
def trusted(authority, env=None):
    """The authority is a trusted root for the Wine prefix's current user while the block runs: a server
    certificate it issues passes the chain check before the block starts."""
    _test_ca("add", authority, env, authority.issue("localhost")[0])
    try:
        yield
    finally:
        _test_ca("remove", authority, env)
