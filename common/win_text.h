// Conversions between the system's Shift-JIS text and the wide text of the W API, made on Windows only
// (win_text.cpp); the header itself stays free of <windows.h>.
#pragma once

#include <string>
#include <string_view>

namespace mokuna {

std::wstring WidenSjis(std::string_view sjis);     // code page 932 -> UTF-16
std::string NarrowToSjis(std::wstring_view wide);  // UTF-16 -> code page 932

}  // namespace mokuna
