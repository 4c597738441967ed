// The mail check's connection with TLS: a Winsock connection that carries plain text until StartTls and,
// after a handshake through the system's own TLS (Schannel) and a certificate check of ours, carries the
// conversation encrypted. Each decrypted TLS record is handed out by one read, like one arrival of bytes
// on a plain connection.
#pragma once

#include <climits>
#include <memory>

#include "WinsockTransport.h"
#include "mail_transport.h"

namespace fennick {

class TlsTransport final : public MailTransport {
 public:
  TlsTransport();
  ~TlsTransport() override;
  TlsTransport(const TlsTransport&) = delete;
  TlsTransport& operator=(const TlsTransport&) = delete;

  bool Connect(const std::string& host, int port, int within_ms = INT_MAX) override;
  WaitResult WaitReadable(int timeout_ms) override;
  std::ptrdiff_t Read(char* buffer, std::size_t max, int timeout_ms) override;
  bool Send(std::string_view bytes) override;
  TlsResult StartTls(const std::string& server_name, int timeout_ms, int within_ms = INT_MAX) override;
  // Sends the TLS closing alert when the session is up, then closes the connection.
  void Close() override;

  bool IsOpen() const { return plain_.IsOpen(); }
  bool IsSecure() const { return session_ != nullptr; }
  void SetConnectTimeoutMs(int ms) { plain_.SetConnectTimeoutMs(ms); }

  // What the last certificate check saw, for a report of why a server was refused: the chain's error bits
  // (CERT_TRUST_*) and the SSL policy's error (a CERT_E_* code, or 0).
  struct CertificateFindings {
    bool checked = false;
    unsigned long chain_errors = 0;
    long policy_error = 0;
  };
  const CertificateFindings& LastCertificateCheck() const { return findings_; }

 private:
  struct Session;

  WinsockTransport plain_;
  std::unique_ptr<Session> session_;  // set once StartTls has succeeded
  CertificateFindings findings_;
};

}  // namespace fennick
