// What a mail check (POP3 or IMAP) needs of its network connection: one blocking TCP client connection
// with bounded waits. The Win32 layer implements it with Winsock; tests replay a script. Every wait and read
// takes its time-out from the caller, so tests can run the 10-second rules in milliseconds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fennick {

class MailTransport {
 public:
  enum class WaitResult { Readable, TimedOut, Error };
  // How starting TLS on the connection ended: the handshake failed or stalled, or the certificate of the
  // server was refused for its name or for anything else (untrusted root, expired, wrong usage, broken chain).
  enum class TlsResult { Ok, HandshakeFailed, NameMismatch, Untrusted };

  virtual ~MailTransport() = default;

  // Connects to host, a dotted IPv4 address or else a host name to look up, at port, within within_ms
  // all told (the look-up and every address it gives). False when no connection can be made: empty text,
  // unknown name, refused, unreachable, or not in time.
  virtual bool Connect(const std::string& host, int port, int within_ms) = 0;
  // Waits until the connection is readable (data has arrived or the peer has closed) or timeout_ms has
  // run out.
  virtual WaitResult WaitReadable(int timeout_ms) = 0;
  // Reads the bytes available now, at most max, waiting up to timeout_ms when none are there yet. Returns
  // the count; 0 when nothing arrived in time or the peer has closed; -1 on a socket error.
  virtual std::ptrdiff_t Read(char* buffer, std::size_t max, int timeout_ms) = 0;
  // Sends every byte of bytes. False on a socket error.
  virtual bool Send(std::string_view bytes) = 0;
  // Starts TLS (1.2 or newer) on the open connection: the handshake, sending server_name for SNI when it
  // is a host name, then the server's certificate checked against the system's trust and server_name. Each
  // wait of the handshake is bounded by timeout_ms and the whole of it, the certificate check included, by
  // within_ms. After Ok, WaitReadable, Read and Send carry the plain text through TLS. A transport without
  // TLS fails every handshake, so nothing falls back to plain text.
  virtual TlsResult StartTls(const std::string& server_name, int timeout_ms, int within_ms) {
    (void)server_name;
    (void)timeout_ms;
    (void)within_ms;
    return TlsResult::HandshakeFailed;
  }
  // Closes the connection; closing twice or without a connection is harmless.
  virtual void Close() = 0;
};

}  // namespace fennick
