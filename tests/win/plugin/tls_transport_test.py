"""The TLS transport under Wine against loopback servers run here: Python TLS servers with certificates of a
throw-away authority (trusted only inside the tests' Wine prefix, for the run), a plain-text server and a
silent one. tls_probe.exe starts TLS and runs the mail check's real conversation over it."""
import hashlib
import hmac
import os
import socket
import ssl
import struct
import subprocess
import tempfile
import threading
import time
import warnings

import e2elib
import tls_certs

suite = e2elib.Suite("tls_transport_test")
PROBE = os.path.join(e2elib.BUILD_DIR, "tests/win/plugin/tls_probe.exe")
TIMEOUT_MS = 3000
NEW_MAIL_2 = "Fennick CheckMail 000 メールが2通きています． はやく受信しましょう．"
CANNOT_CONNECT = "Fennick CheckMail 101 Cannot Connect to Server"
RECEIVE_FAILED = "Fennick CheckMail 102 Receive Failed"


class Server:
    """Serves one connection on a free loopback port: TLS with (certificate, key[, newest TLS version]) when
    given, else plain TCP; behaviour(connection, server) plays the server's side. A behaviour with a forge
    attribute gets the plain connection after a TLS 1.2 handshake run here in memory, with the secrets
    logged, so that it can write records of its own making: behaviour(connection, server, session)."""

    def __init__(self, behaviour, pair=None):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.behaviour = behaviour
        self.context = None
        self.sni = None
        self.commands = []
        self.closed_cleanly = None
        if pair:
            self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            self.context.load_cert_chain(*pair[:2])
            if len(pair) > 2:
                with warnings.catch_warnings():
                    warnings.simplefilter("ignore", DeprecationWarning)
                    self.context.minimum_version = ssl.TLSVersion.TLSv1
                    self.context.maximum_version = pair[2]
                self.context.set_ciphers("DEFAULT:@SECLEVEL=0")
            self.context.sni_callback = lambda sock, name, ctx: setattr(self, "sni", name)
            if getattr(behaviour, "forge", False):
                self.keylog = tempfile.NamedTemporaryFile(suffix=".keys", delete=False).name
                self.context.keylog_filename = self.keylog
                self.context.maximum_version = ssl.TLSVersion.TLSv1_2
                self.context.set_ciphers("ECDHE+AESGCM")
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        try:
            conn, _ = self.listener.accept()
            conn.settimeout(20)
            if getattr(self.behaviour, "forge", False):
                with conn:
                    self.behaviour(conn, self, InMemorySession(self.context, conn))
                return
            if self.context:
                conn = self.context.wrap_socket(conn, server_side=True, suppress_ragged_eofs=False)
            with conn:
                self.behaviour(conn, self)
        except (OSError, ssl.SSLError):
            pass  # the client gave up: what it saw is what the case checks

    def line(self, conn):
        data = b""
        while not data.endswith(b"\n"):
            chunk = conn.recv(1)
            if not chunk:
                break
            data += chunk
        self.commands.append(data.decode("latin-1").rstrip("\r\n"))
        return data

    def wait_for_close(self, conn):
        """Reads until the client ends: cleanly (closing alert) or by dropping the connection."""
        try:
            while conn.recv(1024):
                pass
            self.closed_cleanly = True
        except ssl.SSLEOFError:
            self.closed_cleanly = False

    def stop(self):
        self.listener.close()
        self.thread.join(10)
        if hasattr(self, "keylog"):
            os.remove(self.keylog)


def mailbox(split_identifier):
    """A POP3 server holding two messages; the newest one's Message-ID header is sent in two TLS records
    when split_identifier is set."""
    def play(conn, server):
        conn.sendall(b"+OK ready <1.2@host>\r\n")
        server.line(conn)
        conn.sendall(b"+OK\r\n")
        server.line(conn)
        conn.sendall(b"+OK user has 2 messages\r\n")
        server.line(conn)
        message = b"+OK\r\nSubject: x\r\nMessage-ID: <Two.Parts@Host>\r\n\r\nbody\r\n.\r\n"
        cut = message.index(b"ID:") if split_identifier else len(message)
        conn.sendall(message[:cut])
        time.sleep(0.2)
        if message[cut:]:
            conn.sendall(message[cut:])
        server.line(conn)
        conn.sendall(b"+OK bye\r\n")
        server.wait_for_close(conn)
    return play


class InMemorySession:
    """The server's side of a TLS handshake over conn, run through memory so that the bytes it sent are
    known: the ServerHello's random is needed for the keys."""

    def __init__(self, context, conn):
        self.incoming, self.outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
        self.tls = context.wrap_bio(self.incoming, self.outgoing, server_side=True)
        sent = b""
        while True:
            try:
                self.tls.do_handshake()
                break
            except ssl.SSLWantReadError:
                sent += self.flush(conn)
                data = conn.recv(65536)
                if not data:
                    raise OSError("closed in the handshake")
                self.incoming.write(data)
        sent += self.flush(conn)
        self.server_random = sent[11:43]  # record header, handshake header, version, then the random

    def flush(self, conn):
        data = self.outgoing.read()
        conn.sendall(data)
        return data

    def wait_for_close(self, conn, server):
        """As Server.wait_for_close, for the client's records to this session."""
        try:
            while True:
                data = conn.recv(65536)
                if not data:
                    server.closed_cleanly = False
                    return
                self.incoming.write(data)
                try:
                    while self.tls.read(65536):
                        pass
                    server.closed_cleanly = True  # nothing read: the closing alert
                    return
                except ssl.SSLWantReadError:
                    pass
        except OSError:
            server.closed_cleanly = False


class RecordForger:
    """Writes TLS 1.2 AES-GCM records in the server's name after the handshake: the keys from the logged
    master secret and both randoms, the block cipher from the openssl command, GHASH done here."""

    def __init__(self, session, server):
        suite, _, _ = session.tls.cipher()
        client_random, master = next(line.split()[1:] for line in open(server.keylog)
                                     if line.startswith("CLIENT_RANDOM "))
        self.hash = hashlib.sha384 if suite.endswith("SHA384") else hashlib.sha256
        size = 32 if "AES256" in suite else 16
        block = self.prf(bytes.fromhex(master), b"key expansion" + session.server_random +
                         bytes.fromhex(client_random), 2 * size + 8)
        self.key, self.salt = block[size:2 * size], block[2 * size + 4:]  # the server's write key and IV
        self.h = int.from_bytes(self.blocks([bytes(16)])[0], "big")
        self.sequence = 1  # the server's Finished was 0

    def prf(self, secret, seed, length):
        out, a = b"", seed
        while len(out) < length:
            a = hmac.new(secret, a, self.hash).digest()
            out += hmac.new(secret, a + seed, self.hash).digest()
        return out[:length]

    def blocks(self, inputs):
        out = subprocess.run(["openssl", "enc", "-aes-%d-ecb" % (len(self.key) * 8), "-nopad", "-K", self.key.hex()],
                             input=b"".join(inputs), capture_output=True, check=True).stdout
        return [out[i:i + 16] for i in range(0, len(out), 16)]

    def ghash(self, data):
        x = 0
        for i in range(0, len(data), 16):
            x ^= int.from_bytes(data[i:i + 16], "big")
            y, z = self.h, 0
            for bit in range(127, -1, -1):
                if x >> bit & 1:
                    z ^= y
                y = (y >> 1) ^ (0xE1 << 120) if y & 1 else y >> 1
            x = z
        return x

    def records(self, content_type, text, count):
        """count records of the type, each carrying text, encrypted in sequence."""
        per = (len(text) + 15) // 16 + 1
        counters = [self.salt + struct.pack(">QI", n, c) for n in range(self.sequence, self.sequence + count)
                    for c in range(1, per + 1)]
        keystream = self.blocks(counters)
        out = b""
        for r in range(count):
            n = self.sequence + r
            mask, stream = keystream[r * per], b"".join(keystream[r * per + 1:(r + 1) * per])
            cipher = bytes(a ^ b for a, b in zip(text, stream))
            aad = struct.pack(">QBHH", n, content_type, 0x0303, len(text))
            padded = (aad.ljust(16, b"\0") + cipher.ljust((len(cipher) + 15) // 16 * 16, b"\0") +
                      struct.pack(">QQ", len(aad) * 8, len(cipher) * 8))
            tag = (self.ghash(padded) ^ int.from_bytes(mask, "big")).to_bytes(16, "big")
            body = struct.pack(">Q", n) + cipher + tag
            out += struct.pack(">BHH", content_type, 0x0303, len(body)) + body
        self.sequence += count
        return out


def forged_for_ever(content_type, text):
    """Records of the forger's making for as long as the client listens (at most a minute)."""
    def play(conn, server, session):
        forger = RecordForger(session, server)
        closing = threading.Thread(target=session.wait_for_close, args=(conn, server), daemon=True)
        closing.start()
        end = time.monotonic() + 60
        try:
            while closing.is_alive() and time.monotonic() < end:
                conn.sendall(forger.records(content_type, text, 50))
        except OSError:
            pass
        closing.join(5)
    play.forge = True
    return play


EMPTY_RECORDS = forged_for_ever(0x17, b"")  # application data without a byte of text
RENEGOTIATION_REQUESTS = forged_for_ever(0x16, b"\0\0\0\0")  # HelloRequest, over and over


def greet_and_wait(conn, server):
    conn.sendall(b"+OK ready\r\n")
    while True:
        data = server.line(conn)
        if not data:
            return
        conn.sendall(b"-ERR what?\r\n")


def silent(conn, server):
    server.wait_for_close(conn)


def close_at_once(conn, server):
    """The closing alert in place of a greeting, then the connection closed (unwrap waits for the client's
    alert only briefly)."""
    conn.settimeout(0.5)
    try:
        conn.unwrap()
    except (OSError, ssl.SSLError):
        pass


class IssuerSite:
    """An HTTP listener on loopback that serves body to whoever asks and records each request's first line."""

    def __init__(self, body):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.url = f"http://127.0.0.1:{self.listener.getsockname()[1]}/issuer.cer"
        self.requests = []
        threading.Thread(target=self.serve, args=(body,), daemon=True).start()

    def serve(self, body):
        while True:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return  # stopped
            with conn:
                try:
                    conn.settimeout(5)
                    self.requests.append(conn.recv(4096).split(b"\r\n", 1)[0].decode("latin-1"))
                    conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: application/pkix-cert\r\n"
                                 b"Content-Length: %d\r\n\r\n" % len(body) + body)
                except OSError:
                    pass


def run_probe(port, name, env):
    start = time.monotonic()
    out = subprocess.run([e2elib.WINE_RUN, PROBE, str(port), name, str(TIMEOUT_MS)], env=env, capture_output=True,
                         timeout=120)
    text = out.stdout.decode("ascii", "replace")
    fields = dict(line.split(" ", 1) for line in text.splitlines() if " " in line)
    assert out.returncode == 0 and "RESULT" in fields, f"probe ended with {out.returncode}:\n{text}"
    verdict, ms = fields.get("VERDICT", "none -1").split()
    return {"verdict": verdict, "ms": int(ms), "check": fields.get("CHECK", "none"),
            "result": bytes.fromhex(fields["RESULT"]).decode("cp932"),
            "id": fields.get("ID", ""), "left_open": "LEFT" in fields, "seconds": time.monotonic() - start,
            "took": int(fields.get("TOOK", "-1"))}


@suite.case
def transport_against_loopback_servers():
    authority, stranger = tls_certs.Authority(), tls_certs.Authority("Stranger CA")
    middle = tls_certs.Authority("Fennick Test Intermediate", parent=authority)
    issuer_site = IssuerSite(middle.der())
    try:
        good = authority.issue("localhost")
        cases = [
            # name, (certificate, key) or None for plain TCP, server name, behaviour,
            # verdict, result, identifier, SNI the server saw, bounds of the handshake's milliseconds
            ("good certificate", good, "localhost", mailbox(False), "Ok", NEW_MAIL_2, "<two.parts@host>",
             "localhost"),
            ("Message-ID in two records", good, "localhost", mailbox(True), "Ok", NEW_MAIL_2, "<two.parts@host>",
             "localhost"),
            ("server ends the session before the greeting", good, "localhost", close_at_once, "Ok", RECEIVE_FAILED, "",
             "localhost"),
            ("silence after the handshake", good, "localhost", silent, "Ok", CANNOT_CONNECT, "", "localhost"),
            # a server that keeps the connection busy without a word: the greeting's read gives up
            ("empty records for ever", good, "localhost", EMPTY_RECORDS, "Ok", RECEIVE_FAILED, "", "localhost"),
            ("renegotiation requests for ever", good, "localhost", RENEGOTIATION_REQUESTS, "Ok", RECEIVE_FAILED, "",
             "localhost"),
            ("certificate for another name", authority.issue("mail.example.test"), "localhost", greet_and_wait,
             "NameMismatch", CANNOT_CONNECT, "", "localhost"),
            ("address literal: no SNI, no name match", good, "127.0.0.1", greet_and_wait, "NameMismatch",
             CANNOT_CONNECT, "", None),
            ("authority not trusted", stranger.issue("localhost"), "localhost", greet_and_wait, "Untrusted",
             CANNOT_CONNECT, "", "localhost"),
            # the server leaves its intermediate out: nothing is fetched from the address the leaf names
            ("intermediate left out, its address given", middle.issue("localhost", issuer_url=issuer_site.url),
             "localhost", greet_and_wait, "Untrusted", CANNOT_CONNECT, "", "localhost"),
            ("expired certificate", authority.issue("localhost", "20200101000000Z", "20210101000000Z"), "localhost",
             greet_and_wait, "Untrusted", CANNOT_CONNECT, "", "localhost"),
            ("server without TLS 1.2 or newer", good + (ssl.TLSVersion.TLSv1_1,), "localhost", greet_and_wait,
             "HandshakeFailed", CANNOT_CONNECT, "", "localhost"),
            ("plain-text POP3 server", None, "localhost", greet_and_wait, "HandshakeFailed", CANNOT_CONNECT, "",
             None, (0, TIMEOUT_MS // 2)),
            ("server silent in the handshake", None, "localhost", silent, "HandshakeFailed", CANNOT_CONNECT, "",
             None, (TIMEOUT_MS * 9 // 10, TIMEOUT_MS + 2000)),
        ]
        failures = []
        with e2elib.Display() as display, tls_certs.trusted(authority, display.env):
            for name, pair, server_name, behaviour, verdict, result, ident, sni, *bounds in cases:
                server = Server(behaviour, pair)
                try:
                    got = run_probe(server.port, server_name, display.env)
                finally:
                    server.stop()
                problems = []
                if (got["verdict"], got["result"], got["id"]) != (verdict, result, ident):
                    problems.append(f"got {got['verdict']}, {got['result']!r}, {got['id']!r} "
                                    f"(chain errors, policy error: {got['check']})")
                if pair and server.sni != sni:
                    problems.append(f"SNI {server.sni!r}")
                if got["left_open"]:
                    problems.append("the connection stayed open after a refused start")
                if verdict == "Ok":
                    if result == NEW_MAIL_2 and server.commands != ["USER user", "PASS pw", "RETR 2", "QUIT"]:
                        problems.append(f"server saw {server.commands}")
                    # (a renegotiation left half done leaves no session to close)
                    if behaviour not in (close_at_once, RENEGOTIATION_REQUESTS) and server.closed_cleanly is not True:
                        problems.append("no closing alert at the end")
                elif pair and server.commands not in ([], [""]):
                    problems.append(f"sent after a failed start: {server.commands}")
                if bounds and not bounds[0][0] <= got["ms"] < bounds[0][1]:
                    problems.append(f"gave up after {got['ms']} ms")
                # given up on what the server sent, well before any wait ran out
                if getattr(behaviour, "forge", False) and not 0 <= got["took"] < TIMEOUT_MS // 2:
                    problems.append(f"the conversation took {got['took']} ms")
                if problems:
                    failures.append(f"{name}: " + "; ".join(problems))
                print(f"{name}: {got['verdict']} in {got['ms']} ms (check {got['check']}), conversation {got['took']} ms, "
                      f"probe {got['seconds']:.1f} s",
                      flush=True)
        if issuer_site.requests:
            failures.append(f"the chain check fetched {issuer_site.requests}")
        assert not failures, "\n".join(failures)
    finally:
        issuer_site.listener.close()
        for each in (authority, stranger, middle):
            each.remove()


suite.run()
