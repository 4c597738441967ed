// Shift-JIS (code page 932) character stepping. Text is kept as bytes; these helpers are the one place
// that knows which bytes begin a double-byte character.
#pragma once

#include <cstddef>
#include <string_view>

namespace sjis {

// True for a byte that begins a double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length in bytes of the character starting at text[pos]: 2 for a lead byte followed by another byte,
// otherwise 1 (a lead byte at the very end stands alone). pos must be < text.size().
inline std::size_t CharLength(std::string_view text, std::size_t pos) {
  return (IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size()) ? 2 : 1;
}

// Number of characters in text, a double-byte character counting as one.
std::size_t CharCount(std::string_view text);

// Byte length of the first max_chars characters of text (the whole text if it is shorter).
std::size_t PrefixBytes(std::string_view text, std::size_t max_chars);

// ASCII letters compared without regard to case; double-byte characters compared byte for byte, so that
// a trail byte that happens to be a letter is never folded.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace sjis
