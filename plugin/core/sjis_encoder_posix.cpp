#include <iconv.h>

#include <cstring>

#include "sjis_encoder.h"

namespace fennick {
namespace {

class IconvSjisEncoder : public SjisEncoder {
 public:
  IconvSjisEncoder() : cd_(iconv_open("CP932", "UTF-32LE")) {}
  ~IconvSjisEncoder() override {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  IconvSjisEncoder(const IconvSjisEncoder&) = delete;
  IconvSjisEncoder& operator=(const IconvSjisEncoder&) = delete;

  bool Append(char32_t c, std::string& out) const override {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    char in[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                  static_cast<char>((c >> 16) & 0xFF), static_cast<char>((c >> 24) & 0xFF)};
    char converted[8];
    char* in_ptr = in;
    char* out_ptr = converted;
    std::size_t in_left = sizeof in, out_left = sizeof converted;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1)) return false;
    out.append(converted, static_cast<std::size_t>(out_ptr - converted));
    return out_ptr != converted;
  }

 private:
  iconv_t cd_;
};

}  // namespace

const SjisEncoder& PlatformSjisEncoder() {
  static const IconvSjisEncoder encoder;
  return encoder;
}

}  // namespace fennick
