// Arbitrary bytes as a settings file: splitting, key look-up and integer reading must stay in bounds and
// agree with each other.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config_file.h"
#include "sjis.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const config::KeyValueFile file(text);
  std::size_t total = 0;
  for (const std::string& line : file.Lines()) {
    if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    total += line.size();
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) {
      const auto value = file.Find(line.substr(0, eq));
      if (!value) __builtin_trap();  // a key taken from a line must be found
      config::ParseInt(*value);
    }
    sjis::PrefixBytes(line, 20);
  }
  if (total > size) __builtin_trap();
  return 0;
}
