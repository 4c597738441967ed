#include "extMaskgenerator.h"

#include <algorithm>
#include <stdexcept>

#include "MessageLoop.h"
#include "file_io.h"

namespace mokuna {

bool BuildMaskRects(HBITMAP bitmap, COLORREF transparent, std::vector<mask::Rect>& rects, bool pump_messages) {
  rects.clear();
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return false;
  const int width = info.bmWidth;
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  if (width <= 0 || height <= 0) return true;

  // 32-bit rows hold blue, green, red, unused: as a little-endian value 0x00RRGGBB.
  const std::uint32_t key = (transparent & 0xFF) << 16 | (transparent & 0xFF00) | (transparent >> 16 & 0xFF);
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = height;  // bottom-up: scan line 0 is the bottom row
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;

  // Strips of some 64K pixels: a buffer that small is reused warm from strip to strip, where a buffer for the
  // whole picture would cost more in fresh pages than the scan itself.
  const int strip = std::max(1, std::min(height, (1 << 16) / width));
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * strip);
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return false;
  mask::MaskBuilder builder(width);
  ULONGLONG last_pump = 0;
  bool ok = true;
  for (int top = 0; top < height && ok; top += strip) {
    if (pump_messages) {
      const ULONGLONG now = GetTickCount64();
      if (top == 0 || now - last_pump >= 15) {
        PumpMessages();
        last_pump = GetTickCount64();
      }
    }
    const int lines = std::min(strip, height - top);
    ok = GetDIBits(dc, bitmap, static_cast<UINT>(height - top - lines), static_cast<UINT>(lines), pixels.data(),
                   &bmi, DIB_RGB_COLORS) == lines;
    for (int i = lines - 1; ok && i >= 0; --i) builder.AddRow(&pixels[static_cast<std::size_t>(i) * width], key);
  }
  DeleteDC(dc);
  if (!ok) return false;
  rects = builder.Rects();
  return true;
}

void GenerateMaskFile(HBITMAP bitmap, COLORREF transparent, const std::string& path) {
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight == 0) return;
  std::vector<mask::Rect> rects;
  if (!BuildMaskRects(bitmap, transparent, rects)) return;
  if (!fileio::WriteFileAtomic(path, mask::EncodeMaskFile(rects)))
    throw std::runtime_error("ファイル " + path + " を作成できません");
}

}  // namespace mokuna
