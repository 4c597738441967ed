// Arbitrary bytes as a message header: the names come out as well-formed Shift-JIS of at most 40
// characters without control characters, and each makes one announcement token that splits back whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mail_header.h"
#include "sjis.h"
#include "tokenizer.h"

namespace {

void CheckName(const std::string& name, const char* fallback) {
  if (name == fallback) return;  // a literal, which this compiler keeps in UTF-8
  if (name.empty() || sjis::CharCount(name) > fennick::kHeaderTextChars) __builtin_trap();
  for (std::size_t i = 0; i < name.size(); i += sjis::CharLength(name, i)) {
    const auto c = static_cast<unsigned char>(name[i]), t = static_cast<unsigned char>(name[i + 1]);
    if (c < 0x20 || c == 0x7F || c == 0x80 || c == 0xA0 || c >= 0xFD) __builtin_trap();
    if (sjis::IsLeadByte(c) && (i + 1 >= name.size() || t < 0x40 || t == 0x7F || t > 0xFC)) __builtin_trap();
  }
  const std::vector<std::string> tokens = SplitCommaText(QuoteCommaText(name));
  if (tokens.size() != 1 || tokens[0] != name) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view block(reinterpret_cast<const char*>(data), size);
  const fennick::MessageNames names = fennick::NamesFromHeader(block, fennick::PlatformSjisEncoder());
  CheckName(names.sender, fennick::kUnknownSender);
  CheckName(names.subject, fennick::kNoSubject);
  return 0;
}
