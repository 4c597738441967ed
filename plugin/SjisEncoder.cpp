// The code page's own table for the Unicode text of mail headers.
#include <windows.h>

#include "sjis_encoder.h"

namespace fennick {
namespace {

class CodePageSjisEncoder : public SjisEncoder {
 public:
  bool Append(char32_t c, std::string& out) const override {
    if (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;  // code page 932 has nothing there
    const wchar_t wide = static_cast<wchar_t>(c);
    char bytes[4];
    BOOL defaulted = FALSE;
    // No best fit: a look-alike would say something the sender did not write.
    const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, nullptr, &defaulted);
    if (n <= 0 || defaulted) return false;
    out.append(bytes, static_cast<std::size_t>(n));
    return true;
  }
};

}  // namespace

const SjisEncoder& PlatformSjisEncoder() {
  static const CodePageSjisEncoder encoder;
  return encoder;
}

}  // namespace fennick
