// edll.ini written back after any read, the settings left as the read made them: the lines a bad value kept
// the read from are kept, and writing again and again mends one bad value a time until the file reads whole
// and is written as a file that always read whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config_file.h"
#include "host_error.h"
#include "host_settings.h"
#include "sjis.h"

namespace {

// Reads text into fresh settings; true when the read reached the end.
bool Read(std::string_view text, mokuna::HostIniFile& file, mokuna::HostSettings& settings) {
  try {
    file.Read(text, settings);
    return true;
  } catch (const mokuna::HostError&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  mokuna::HostIniFile file;
  mokuna::HostSettings settings;
  bool whole = Read(text, file, settings);
  std::string written = file.Write(settings);
  if (!whole) {
    // The plug-in list comes last, so a read that stopped never reached it: the file's section goes out as it was.
    const std::vector<std::string> lines = config::SplitLines(text), out = config::SplitLines(written);
    const auto section = std::find_if(lines.begin(), lines.end(),
                                      [](const std::string& l) { return sjis::EqualsIgnoreCase(l, mokuna::kDllListSection); });
    const auto kept = static_cast<std::size_t>(lines.end() - section);
    if (section != lines.end() && (out.size() < kept || !std::equal(section, lines.end(), out.end() - kept)))
      __builtin_trap();
  }
  for (int round = 0; !whole; ++round) {
    if (round > 16) __builtin_trap();  // one round per key at most
    mokuna::HostIniFile again;
    settings = mokuna::HostSettings{};
    whole = Read(written, again, settings);
    written = again.Write(settings);
  }
  if (written != mokuna::WriteHostIni(settings)) __builtin_trap();
  return 0;
}
