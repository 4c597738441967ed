// Arbitrary server bytes, cut into reads at each "|#|": the IMAP reply reader never returns an oversized response.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "../../native/plugin/fakes.h"
#include "clock.h"
#include "imap_reply.h"
#include "mail_connection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fennick::testing::ScriptedTransport server;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const std::size_t cut = rest.find("|#|");
    if (cut != 0) server.Reply(std::string(rest.substr(0, cut)));
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 3);
  }
  server.Closed();
  mokuna::FakeClock clock{mokuna::LocalTime{}};
  const fennick::MailWaits timeouts;  // the reader keeps a reference
  fennick::MailConnection connection(server, timeouts, clock);
  fennick::imap::ReplyReader reader(connection);
  std::string response;
  while (reader.Next(response) == fennick::imap::ReplyReader::Status::Ok)
    if (response.size() > fennick::imap::kResponseLimit) __builtin_trap();
  return 0;
}
