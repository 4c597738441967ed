// Unicode to Shift-JIS, one character at a time. The text of mail headers that arrives as Unicode (UTF-8,
// ISO-8859-1) needs the code page's own table; the platform lends it: WideCharToMultiByte on Windows,
// iconv elsewhere. The JIS encodings never come this way: they map to Shift-JIS by arithmetic.
#pragma once

#include <string>

namespace fennick {

class SjisEncoder {
 public:
  virtual ~SjisEncoder() = default;
  // Appends the Shift-JIS bytes of code point c (never a control character) to out; false, with out as it
  // was, when the code page has no form for it. No look-alike is ever taken in its place.
  virtual bool Append(char32_t c, std::string& out) const = 0;
};

// The platform's encoder: sjis_encoder_posix.cpp here, SjisEncoder.cpp in the Win32 layer.
const SjisEncoder& PlatformSjisEncoder();

}  // namespace fennick
