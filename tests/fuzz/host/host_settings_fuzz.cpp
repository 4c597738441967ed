// edll.ini is outside input: any bytes either read or fail with HostError, and whatever reads is written
// back to a file that reads to the same settings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "host_error.h"
#include "host_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mokuna::HostSettings settings;
  try {
    mokuna::ReadHostIni(std::string_view(reinterpret_cast<const char*>(data), size), settings);
  } catch (const mokuna::HostError&) {
    // A bad number: the keys before it still hold, so the partial settings must round-trip too.
  }
  const std::string written = mokuna::WriteHostIni(settings);
  mokuna::HostSettings again;
  mokuna::ReadHostIni(written, again);  // a written file never holds a bad number
  if (mokuna::WriteHostIni(again) != written) std::abort();
  return 0;
}
