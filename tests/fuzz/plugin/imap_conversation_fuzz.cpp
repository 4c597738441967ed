// Arbitrary server behaviour against the whole IMAP conversation: it ends with one of its result strings
// within the deadline, closes the connection once, sends nothing but CAPABILITY and STARTTLS before TLS
// when TLS was asked for, and changes the remembered state only when it succeeds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "../../native/plugin/fakes.h"
#include "clock.h"
#include "imap_check.h"
#include "known_results.h"

// Input: a byte of flags, a byte choosing the security and the handshake's verdict, then the server's
// events separated by "|#|", each event's first byte picking its kind.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t flags = data[0], tls = data[1];
  fennick::EpopSettings settings;
  settings.MailProtocol = fennick::kProtocolImap;
  settings.Password = (flags & 1) ? "p w\"\\\x82\xa0" : "secret";  // a literal, or a quoted string
  settings.isPlay = (flags & 2) != 0;
  settings.POPSecurity = tls % 3;
  const fennick::ImapState before{(flags & 4) ? 7u : 0u, (flags >> 3) & 15u, flags >> 7};
  fennick::ModuleState state{"", 0, before};

  fennick::testing::ScriptedTransport server;
  server.connect_ok_ = (flags & 0x40) == 0;
  server.tls_result_ = static_cast<fennick::MailTransport::TlsResult>((tls / 3) % 4);
  std::size_t supplied = 0;
  for (std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2); !rest.empty();) {
    const std::string_view event = rest.substr(0, rest.find("|#|"));
    rest.remove_prefix(std::min(rest.size(), event.size() + 3));
    if (event.empty()) continue;
    switch (static_cast<unsigned char>(event[0]) % 8) {
      case 5: server.Closed(); break;
      case 6: server.Silence(); break;
      case 7: server.ReadError(); break;
      default: supplied += event.size() - 1, server.Reply(std::string(event.substr(1)));
    }
  }
  fennick::testing::RecordingPlayer player;
  player.open_ = true;
  mokuna::FakeClock clock{mokuna::LocalTime{}};
  server.on_read_ = [&clock] { clock.AdvanceMs(1000); };
  const fennick::MailWaits waits;
  const auto out = fennick::RunImapConversation(settings, state, server, &player, waits, &clock,
                                                [](const std::string& s) { return s + "\xc3\xa9"; });

  const auto& now = state.imap;
  const bool unchanged = now.UidValidity == before.UidValidity && now.UidNext == before.UidNext &&
                         now.Unseen == before.Unseen;
  if (!fuzzing::IsKnownCheckResult(out.result, true) || server.closes_ != 1 || server.bytes_read_ > supplied ||
      player.plays_ > 1 || clock.TickMs() > waits.total_ms + 1000 || (!out.success && !unchanged) ||
      (out.success && now.UidValidity == 0))
    __builtin_trap();
  for (const std::string& c : server.sent_)
    if (c.size() < 2 || c.compare(c.size() - 2, 2, "\r\n") != 0) __builtin_trap();
  if (settings.POPSecurity == fennick::kSecurityNone) return server.tls_.empty() ? 0 : (__builtin_trap(), 0);
  const std::size_t before_tls = server.tls_.empty() ? server.sent_.size() : server.tls_[0].sent_before;
  for (std::size_t i = 0; i < before_tls; ++i) {
    const std::string& c = server.sent_[i];
    const std::string verb = c.substr(std::min(c.size(), c.find(' ') + 1));
    if (verb != "CAPABILITY\r\n" && verb != "STARTTLS\r\n") __builtin_trap();
  }
  if (server.tls_.size() > 1 || (settings.POPSecurity == fennick::kSecuritySslTls && before_tls != 0) ||
      (server.tls_result_ != fennick::MailTransport::TlsResult::Ok && server.sent_.size() != before_tls))
    __builtin_trap();
  return 0;
}
