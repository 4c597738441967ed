// Drives the TLS transport for the TLS test script: connects to 127.0.0.1 at the given port, starts TLS
// from the first byte for the given server name, and on success runs the mail check's real conversation
// (USER/PASS for account "user", password "pw") over it. Prints, one line each:
//   VERDICT <Ok|HandshakeFailed|NameMismatch|Untrusted> <milliseconds the handshake and check took>
//   CHECK <the chain's error bits> <the SSL policy's error>   (in hexadecimal, when a certificate was checked)
//   RESULT <the conversation's result string as hexadecimal bytes>
//   ID <the message identifier it remembered>
//   TOOK <milliseconds the conversation took after the handshake>
// usage: tls_probe PORT SERVER_NAME TIMEOUT_MS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "TlsTransport.h"
#include "mail_check.h"

namespace {

using fennick::MailTransport;

const char* Name(MailTransport::TlsResult r) {
  switch (r) {
    case MailTransport::TlsResult::Ok: return "Ok";
    case MailTransport::TlsResult::HandshakeFailed: return "HandshakeFailed";
    case MailTransport::TlsResult::NameMismatch: return "NameMismatch";
    case MailTransport::TlsResult::Untrusted: return "Untrusted";
  }
  return "?";
}

// TLS from the first byte: the conversation sees a connection that is already secure.
class ImplicitTls final : public MailTransport {
 public:
  ImplicitTls(int port, std::string name, int timeout_ms)
      : port_(port), name_(std::move(name)), timeout_ms_(timeout_ms) {}
  bool Connect(const std::string&, int, int) override {
    if (!tls_.Connect("127.0.0.1", port_)) return false;
    const auto start = std::chrono::steady_clock::now();
    const TlsResult verdict = tls_.StartTls(name_, timeout_ms_);
    handshake_ended_ = std::chrono::steady_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(handshake_ended_ - start).count();
    std::printf("VERDICT %s %lld\n", Name(verdict), static_cast<long long>(ms));
    if (verdict != TlsResult::Ok && tls_.IsOpen()) std::printf("LEFT OPEN\n");
    const auto& check = tls_.LastCertificateCheck();
    if (check.checked)
      std::printf("CHECK %08lx %08lx\n", check.chain_errors, static_cast<unsigned long>(check.policy_error));
    return verdict == TlsResult::Ok;
  }
  WaitResult WaitReadable(int ms) override { return tls_.WaitReadable(ms); }
  std::ptrdiff_t Read(char* b, std::size_t n, int ms) override { return tls_.Read(b, n, ms); }
  bool Send(std::string_view bytes) override { return tls_.Send(bytes); }
  void Close() override { tls_.Close(); }
  std::chrono::steady_clock::time_point HandshakeEnded() const { return handshake_ended_; }

 private:
  fennick::TlsTransport tls_;
  int port_;
  std::string name_;
  int timeout_ms_;
  std::chrono::steady_clock::time_point handshake_ended_ = std::chrono::steady_clock::now();
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tls_probe PORT SERVER_NAME TIMEOUT_MS\n");
    return 2;
  }
  const int timeout_ms = std::atoi(argv[3]);
  ImplicitTls transport(std::atoi(argv[1]), argv[2], timeout_ms);
  fennick::EpopSettings settings;
  settings.Account = "user";
  settings.Password = "pw";
  fennick::ModuleState state;
  fennick::MailWaits timeouts;
  timeouts.wait_ms = timeout_ms;
  timeouts.read_ms = timeout_ms;
  const auto outcome = fennick::RunPop3Conversation(settings, state, transport, nullptr, timeouts);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                          transport.HandshakeEnded())
                        .count();
  std::printf("RESULT ");
  for (unsigned char c : outcome.result) std::printf("%02x", c);
  std::printf("\nID %s\nTOOK %lld\n", state.LastMessageID.c_str(), static_cast<long long>(took));
  return 0;
}
