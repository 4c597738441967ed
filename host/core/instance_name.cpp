#include "instance_name.h"

#include <cstdint>
#include <cwchar>

namespace mokuna {

std::wstring InstanceObjectName(std::wstring_view folder) {
  while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.remove_suffix(1);
  // FNV-1a over the UTF-16 code units, with "/" read as "\".
  std::uint64_t hash = 14695981039346656037ull;
  auto mix = [&hash](std::uint32_t unit) {
    hash ^= unit;
    hash *= 1099511628211ull;
  };
  for (wchar_t c : folder) {
    std::uint32_t unit = static_cast<std::uint32_t>(c == L'/' ? L'\\' : c);
    if (unit > 0xFFFF) {  // a 32-bit wchar_t: the surrogate pair a 16-bit one would hold
      unit -= 0x10000;
      mix(0xD800 + (unit >> 10));
      unit = 0xDC00 + (unit & 0x3FF);
    }
    mix(unit);
  }
  wchar_t text[40];
  std::swprintf(text, 40, L"Mokuna.Folder.%016llx", static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace mokuna
