#include "win_text.h"

#include <windows.h>

namespace mokuna {

std::wstring WidenSjis(std::string_view sjis) {
  if (sjis.empty()) return std::wstring();
  const int n = MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), &wide[0], n);
  return wide;
}

std::string NarrowToSjis(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int n =
      WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string sjis(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), &sjis[0], n, nullptr, nullptr);
  return sjis;
}

}  // namespace mokuna
