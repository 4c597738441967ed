// Arbitrary bytes as a mask file: the checks must never read past the input, and whatever they accept must
// hold exactly the rectangles its header announces.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "mask_region.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string_view region;
  if (!mask::ParseMask(bytes, region)) return 0;
  std::int32_t n = 0;
  if (!mask::CheckMaskLength(data, size, n) || region.size() != static_cast<std::size_t>(n)) __builtin_trap();
  if (region.data() != bytes.data() + 4) __builtin_trap();
  if (n == 0) return 0;
  std::uint32_t count = 0;
  std::memcpy(&count, region.data() + 8, 4);  // little-endian hosts only, like the fuzz build
  if (mask::DecodeRects(region).size() != count) __builtin_trap();
  // Re-encoding keeps the list (the bounds are recomputed, so only the rectangles are compared).
  const std::string again = mask::EncodeRegionData(mask::DecodeRects(region));
  if (again.size() != region.size() || again.compare(32, std::string::npos, region.substr(32)) != 0) __builtin_trap();
  return 0;
}
