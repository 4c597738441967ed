// Arbitrary bytes as epop.ini: loading never fails on anything but a bad number, and what is saved from a
// load reads back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "epop_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  fennick::EpopSettings settings;
  fennick::ModuleState state;
  const fennick::EpopLoadResult result = fennick::LoadEpop(bytes, settings, state, nullptr);
  if (result.error == fennick::EpopLoadResult::Error::SoundDevice) __builtin_trap();
  const std::string saved = fennick::SaveEpop(settings, state);
  fennick::EpopSettings again;
  fennick::ModuleState again_state;
  if (!fennick::LoadEpop(saved, again, again_state, nullptr).ok()) __builtin_trap();
  if (fennick::SaveEpop(again, again_state) != saved) __builtin_trap();
  return 0;
}
