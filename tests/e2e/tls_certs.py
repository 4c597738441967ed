"""Throw-away certificates for the TLS tests, made with the openssl command in a temporary folder, and a
way to trust their authority for the current user of the tests' Wine prefix only (never the machine's own
store): `with trusted(authority, env):` adds it to that user's Root store and removes it afterwards."""
import base64
import contextlib
import datetime
import os
import shutil
import subprocess
import tempfile
import time
import uuid

import e2elib

TEST_CA = os.path.join(e2elib.BUILD_DIR, "tests/win/plugin/test_ca.exe")


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _utc(days):
    """The time that many days from now, as the openssl commands take it."""
    moment = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(days=days)
    return moment.strftime("%Y%m%d%H%M%SZ")


def _der(data, at):
    """The tag, contents and end of the DER element at data[at]."""
    tag, length, at = data[at], data[at + 1], at + 2
    if length & 0x80:
        count = length & 0x7F
        length, at = int.from_bytes(data[at:at + count], "big"), at + count
    return tag, data[at:at + length], at + length


def _full_width_signature(pem):
    """Whether both numbers of the certificate's P-256 signature take all 32 bytes. Wine's chain check
    refuses a signature whose r or s is shorter (about one in 128), so such a certificate is signed again."""
    with open(pem) as f:
        data = base64.b64decode("".join(line for line in f.read().splitlines() if not line.startswith("-----")))
    _, certificate, _ = _der(data, 0)
    _, _, at = _der(certificate, 0)                  # the signed part
    _, _, at = _der(certificate, at)                 # the algorithm
    _, bits, _ = _der(certificate, at)               # the signature, after its unused-bits byte
    _, numbers, _ = _der(bits[1:], 0)
    _, r, at = _der(numbers, 0)
    _, s, _ = _der(numbers, at)
    return len(r.lstrip(b"\0")) == 32 and len(s.lstrip(b"\0")) == 32


def _sign(*args, cwd, out):
    """openssl ca with args, again until the signature suits Wine (a new serial number each time)."""
    while True:
        _openssl("ca", *args, "-out", out, cwd=cwd)
        if _full_width_signature(out):
            return


class Authority:
    """A certificate authority of its own, issuing server certificates (P-256 keys, SHA-256)."""

    def __init__(self, name="Fennick Test CA", parent=None):
        """parent: the authority that signs this one as an intermediate; none, a root of its own."""
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
        signer = ["-config", os.path.join(parent.folder, "ca.cnf")] if parent else \
            ["-selfsign", "-config", "ca.cnf", "-keyfile", self.key]
        _sign("-batch", "-notext", *signer, "-in", "ca.csr", "-extfile", "ca.ext", "-startdate", _utc(days=-1),
              "-enddate", _utc(days=3650), cwd=self.folder, out=self.certificate)
        self.issued = 0

    def issue(self, host, start=None, end=None, issuer_url=None):
        """A server certificate for host (its DNS name), valid from a day back for 30 days unless start and end
        (YYYYMMDDHHMMSSZ) say otherwise, naming issuer_url as where its issuer's certificate can be fetched;
        returns (certificate file, key file)."""
        self.issued += 1
        base = os.path.join(self.folder, f"server{self.issued}")
        with open(base + ".ext", "w") as f:
            f.write(f"basicConstraints = CA:FALSE\nkeyUsage = critical,digitalSignature\n"
                    f"extendedKeyUsage = serverAuth\nsubjectAltName = DNS:{host}\n")
            if issuer_url:
                f.write(f"authorityInfoAccess = caIssuers;URI:{issuer_url}\n")
        _openssl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                 "-keyout", base + ".key", "-out", base + ".csr", "-subj", f"/CN={host}", cwd=self.folder)
        dates = ["-startdate", start or _utc(days=-1), "-enddate", end or _utc(days=30)]
        _sign("-batch", "-notext", "-config", os.path.join(self.folder, "ca.cnf"), "-in", base + ".csr",
              "-extfile", base + ".ext", *dates, cwd=self.folder, out=base + ".pem")
        return base + ".pem", base + ".key"

    def der(self):
        """The authority's own certificate, DER-encoded."""
        return subprocess.run(["openssl", "x509", "-in", self.certificate, "-outform", "DER"], check=True,
                              capture_output=True).stdout

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
