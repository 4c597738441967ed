// Arbitrary bytes as a retrieved message, cut into reads at each "|#|": the identifier reader stops where it
// would stop on the same bytes in one read, with the same identifier, and that identifier is one line of
// lower-case text in angle brackets.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "message_id_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using Step = fennick::MessageIdReader::Step;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  fennick::MessageIdReader pieces;
  Step step = Step::More;
  std::string whole;
  while (!rest.empty() && step == Step::More) {
    const std::size_t cut = rest.find("|#|");
    const std::string_view read = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 3);
    whole += read;
    step = pieces.Take(read);
  }
  fennick::MessageIdReader at_once;
  if (at_once.Take(whole) != step || at_once.Identifier() != pieces.Identifier()) __builtin_trap();
  const std::string& id = pieces.Identifier();
  if (step != Step::Found && !id.empty()) __builtin_trap();
  if (step == Step::Found && (id.empty() || id.back() != '>')) __builtin_trap();
  for (const char c : id)
    if (static_cast<unsigned char>(c) < 32 || (c >= 'A' && c <= 'Z')) __builtin_trap();
  return 0;
}
