#include "device_name.h"

#include <cctype>
#include <string>

#include "sjis.h"

namespace mokuna {

bool IsDeviceName(std::string_view path) {
  // Folders end at a separator that is a character of its own, never at the trail byte of a double-byte one.
  std::size_t start = 0;
  for (std::size_t pos = 0; pos < path.size();) {
    const std::size_t len = sjis::CharLength(path, pos);
    if (len == 1 && (path[pos] == '\\' || path[pos] == '/' || path[pos] == ':')) start = pos + 1;
    pos += len;
  }
  std::string_view base = path.substr(start);
  base = base.substr(0, base.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string name;
  for (char c : base) name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name == "CON" || name == "PRN" || name == "AUX" || name == "NUL") return true;
  return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) &&
         name[3] >= '1' && name[3] <= '9';
}

}  // namespace mokuna
