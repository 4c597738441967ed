// Arbitrary bytes as a retrieved message, cut into reads at each "|#|": the identifier reader stops where
// it would on the same bytes in one read, with the same identifier, which is lower-case text in brackets.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "message_id_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using Step = fennick::MessageIdReader::Step;
  fennick::MessageIdReader pieces, at_once;
  Step step = Step::More;
  std::string whole;
  for (std::string_view rest(reinterpret_cast<const char*>(data), size); !rest.empty() && step == Step::More;) {
    const std::string_view read = rest.substr(0, rest.find("|#|"));
    rest.remove_prefix(std::min(rest.size(), read.size() + 3));
    whole += read;
    step = pieces.Take(read);
  }
  const std::string& id = pieces.Identifier();
  if (at_once.Take(whole) != step || at_once.Identifier() != id || (step != Step::Found && !id.empty()) ||
      (step == Step::Found && (id.empty() || id.back() != '>')))
    __builtin_trap();
  for (const char c : id)
    if (static_cast<unsigned char>(c) < 32 || (c >= 'A' && c <= 'Z')) __builtin_trap();
  return 0;
}
