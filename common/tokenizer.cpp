#include "tokenizer.h"

#include "sjis.h"

namespace {

bool IsBlank(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 1 && b <= 32;
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

}  // namespace

std::vector<std::string> SplitCommaText(std::string_view text) {
  // The text usually comes from a C string; whatever follows a NUL was never meant to be read.
  text = text.substr(0, text.find('\0'));

  std::vector<std::string> tokens;
  std::size_t pos = SkipBlanks(text, 0);
  while (pos < text.size()) {
    std::string token;
    if (text[pos] == '"') {
      ++pos;
      while (pos < text.size()) {
        const std::size_t len = sjis::CharLength(text, pos);
        if (len == 1 && text[pos] == '"') {
          if (pos + 1 < text.size() && text[pos + 1] == '"') {
            token += '"';
            pos += 2;
            continue;
          }
          ++pos;  // the closing quote
          break;
        }
        token.append(text, pos, len);
        pos += len;
      }
    } else {
      // Only the first byte of a character can end the token; the byte after a lead byte belongs to it.
      while (pos < text.size()) {
        const std::size_t len = sjis::CharLength(text, pos);
        if (len == 1 && (IsBlank(text[pos]) || text[pos] == ',')) break;
        token.append(text, pos, len);
        pos += len;
      }
    }
    tokens.push_back(std::move(token));

    pos = SkipBlanks(text, pos);
    if (pos < text.size() && text[pos] == ',') pos = SkipBlanks(text, pos + 1);
  }
  return tokens;
}

std::string QuoteCommaText(std::string_view text) {
  bool plain = !text.empty();
  for (std::size_t pos = 0; plain && pos < text.size(); pos += sjis::CharLength(text, pos))
    if (sjis::CharLength(text, pos) == 1 && (IsBlank(text[pos]) || text[pos] == ',' || text[pos] == '"'))
      plain = false;
  if (plain) return std::string(text);
  std::string quoted = "\"";
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    if (text[pos] == '"') quoted += '"';
    quoted += text[pos];
  }
  return quoted + "\"";
}
