// The mask builder on any picture: each pixel is in the mask exactly as the per-pixel rule says, the
// rectangles come in canonical banded order, and the union of them in any order and overlap is them again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mask_region.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int width = data[0] % 64 + 1;
  const int height = static_cast<int>((size - 1) / width);
  // A pixel is opaque for an odd byte; the other bits go to the top byte, which the builder must ignore.
  const auto opaque = [&](int x, int y) { return (data[1 + y * width + x] & 1) != 0; };
  mask::MaskBuilder builder(width);
  std::vector<std::uint32_t> row(static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      row[x] = (opaque(x, y) ? 0x123456u : 0x654321u) | static_cast<std::uint32_t>(data[1 + y * width + x] >> 1) << 24;
    builder.AddRow(row.data(), 0xAA654321u);
  }
  const std::vector<mask::Rect>& rects = builder.Rects();
  // Column 0 is never in the mask; columns 1 to width - 1 follow their pixel; column width follows the last.
  std::vector<int> covered(static_cast<std::size_t>((width + 2) * height), 0);
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const mask::Rect& r = rects[i];
    if (r.left < 1 || r.right > width + 1 || r.left >= r.right || r.top < 0 || r.bottom > height || r.top >= r.bottom)
      __builtin_trap();
    if (i > 0) {
      const mask::Rect& p = rects[i - 1];
      const bool same_band = p.top == r.top;
      if (same_band ? (p.bottom != r.bottom || p.right >= r.left) : p.bottom > r.top) __builtin_trap();
    }
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) ++covered[static_cast<std::size_t>(y * (width + 2) + x)];
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x <= width; ++x) {
      const bool want = x >= 1 && width >= 2 && opaque(x < width ? x : width - 1, y);
      if (covered[static_cast<std::size_t>(y * (width + 2) + x)] != (want ? 1 : 0)) __builtin_trap();
    }
  // Canonical already: the union gives the same list, also from the rectangles twice over, backwards.
  std::vector<mask::Rect> twice(rects.rbegin(), rects.rend());
  twice.insert(twice.end(), rects.begin(), rects.end());
  if (mask::Normalize(rects, width + 1, height) != rects || mask::Normalize(twice, width + 1, height) != rects)
    __builtin_trap();
  return 0;
}
