// Arbitrary server bytes against the IMAP reply reader: the responses stay within their bound, parse without
// fault, and come out the same however the bytes are cut into reads (at each "|#|").
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "../../native/plugin/fakes.h"
#include "clock.h"
#include "imap_reply.h"

namespace {

std::vector<std::string> ReadAll(fennick::testing::ScriptedTransport& server) {
  mokuna::FakeClock clock{mokuna::LocalTime{}};
  const fennick::PopTimeouts timeouts;  // the reader keeps a reference
  fennick::imap::ReplyReader reader(server, timeouts, clock);
  std::vector<std::string> out;
  std::string response;
  while (reader.Next(response) == fennick::imap::ReplyReader::Status::Ok) {
    if (response.size() > fennick::imap::kResponseLimit) __builtin_trap();
    if (const auto parsed = fennick::imap::ParseResponse(response)) (void)fennick::imap::Tokenize(parsed->data);
    out.push_back(response);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  fennick::testing::ScriptedTransport chunked, whole;
  std::string all;
  while (!rest.empty()) {
    const std::size_t cut = rest.find("|#|");
    const std::string chunk(rest.substr(0, cut));
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 3);
    if (!chunk.empty()) chunked.Reply(chunk);
    all += chunk;
  }
  if (!all.empty()) whole.Reply(all);
  chunked.Closed();
  whole.Closed();
  if (ReadAll(chunked) != ReadAll(whole)) __builtin_trap();
  return 0;
}
