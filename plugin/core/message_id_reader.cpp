#include "message_id_reader.h"

#include <algorithm>

namespace fennick {
namespace {

// An identifier whose ">" is further than one read's worth from its header is not one.
constexpr std::size_t kIdentifierLimit = 4095;
constexpr std::string_view kIdHeader = "message-id:";

void LowerAscii(std::string& s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

// The end of the message: the line holding only ".", after the line break that ends the one before it.
std::size_t FindTerminator(std::string_view s) {
  return std::min(s.find("\n.\r\n"), s.find("\n.\n"));
}

// Blanks and line breaks around the identifier go (a folded header puts them there); control bytes inside
// it go too, since the identifier is stored as one line of epop.ini.
std::string CleanIdentifier(std::string_view raw) {
  std::size_t begin = 0, end = raw.size();
  while (begin < end && static_cast<unsigned char>(raw[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(raw[end - 1]) <= 32) --end;
  std::string id;
  for (std::size_t i = begin; i < end; ++i)
    if (static_cast<unsigned char>(raw[i]) >= 32) id += raw[i];
  return id;
}

}  // namespace

// The identifier is the text after the first "message-id:" (any case) up to and including the next ">".
// Header and identifier may each straddle two reads.
MessageIdReader::Step MessageIdReader::Take(std::string_view read) {
  if (status_.size() < 4) {
    status_.append(read.substr(0, 4 - status_.size()));
    if (status_ == "-ERR") return Step::Refused;
  }
  std::string chunk(read);
  LowerAscii(chunk);
  const std::size_t base = carry_.size();
  const std::string text = carry_ + chunk;
  const std::size_t end = FindTerminator(text);

  if (!in_identifier_) {
    const std::size_t header = text.find(kIdHeader);
    if (header == std::string::npos || end < header) {
      if (end != std::string::npos) return Step::NoIdentifier;
    } else {
      const std::size_t value = header + kIdHeader.size();
      const std::size_t close = text.find('>', value);
      if (close != std::string::npos && close < end) {
        id_ = CleanIdentifier(std::string_view(text).substr(value, close + 1 - value));
        return Step::Found;
      }
      if (end != std::string::npos) return Step::NoIdentifier;
      in_identifier_ = true;
      pending_ = text.substr(value);
    }
  } else {
    const std::size_t close = chunk.find('>');
    if (close != std::string::npos && base + close < end) {
      pending_.append(chunk, 0, close + 1);
      id_ = CleanIdentifier(pending_);
      return Step::Found;
    }
    if (end != std::string::npos) return Step::NoIdentifier;
    pending_ += chunk;
    if (pending_.size() > kIdentifierLimit) return Step::NoIdentifier;
  }
  carry_ = text.substr(text.size() - std::min<std::size_t>(text.size(), kIdHeader.size() - 1));
  return Step::More;
}

}  // namespace fennick
