// Arbitrary server bytes against the IMAP reply reader: responses come out the same however the bytes are
// cut into reads, stay within their bounds, parse without fault; and the whole IMAP check over the same
// bytes ends with a result, having closed the connection once.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../../native/plugin/fakes.h"
#include "clock.h"
#include "imap_check.h"
#include "imap_reply.h"

using fennick::imap::ReplyReader;
using fennick::testing::ScriptedTransport;

namespace {

using Outcome = std::pair<std::vector<std::string>, ReplyReader::Status>;  // the responses, how reading ended

Outcome ReadAll(ScriptedTransport& server) {
  mokuna::FakeClock clock{mokuna::LocalTime{}};
  const fennick::PopTimeouts timeouts;
  ReplyReader reader(server, timeouts, clock);
  Outcome out;
  std::string response;
  while ((out.second = reader.Next(response)) == ReplyReader::Status::Ok) {
    if (response.size() > fennick::imap::kResponseLimit) __builtin_trap();
    if (const auto parsed = fennick::imap::ParseResponse(response)) {
      if (const auto tokens = fennick::imap::Tokenize(parsed->data))
        for (const fennick::imap::Token& t : *tokens)
          if (t.text.size() > response.size()) __builtin_trap();
    }
    out.first.push_back(response);
  }
  return out;
}

}  // namespace

// Input: one byte of flags (bit 0: the server closes at the end rather than falls silent; bits 1-2: the
// check's security), then the server's bytes, cut into reads at each "|#|".
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  ScriptedTransport chunked, whole, check;
  std::string all;
  while (!rest.empty()) {
    const std::size_t cut = rest.find("|#|");
    const std::string chunk(rest.substr(0, cut));
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 3);
    if (chunk.empty()) continue;
    chunked.Reply(chunk);
    check.Reply(chunk);
    all += chunk;
  }
  if (!all.empty()) whole.Reply(all);
  for (ScriptedTransport* s : {&chunked, &whole, &check}) (flags & 1) ? s->Closed() : s->Silence();

  if (ReadAll(chunked) != ReadAll(whole)) __builtin_trap();

  fennick::EpopSettings settings;
  settings.Account = "bob";
  settings.Password = "p w\"\\\x82\xa0";
  settings.POPSecurity = (flags >> 1) % 3;
  fennick::ModuleState state;
  mokuna::FakeClock clock{mokuna::LocalTime{}};
  const auto out = fennick::RunImapConversation(settings, state, check, nullptr, {}, &clock);
  if (out.result.empty() || check.closes_ != 1) __builtin_trap();
  if (out.success != (state.imap.UidValidity != 0)) __builtin_trap();
  return 0;
}
