// Base64 (RFC 4648, padded, no line breaks): IMAP's SASL responses and the protected password in epop.ini.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fennick {

// The value of a base64 digit, -1 for any other character.
int Base64DigitValue(char c);

std::string Base64Encode(std::string_view bytes);
// Nothing for text that is not base64 in its padded form (no blanks, no line breaks).
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace fennick
