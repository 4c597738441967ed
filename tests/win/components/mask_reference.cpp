#include "mask_reference.h"

#include <cstring>
#include <map>
#include <vector>

namespace masktest {

HBITMAP MakePicture(int width, int height, int bits_per_pixel, const std::function<COLORREF(int, int)>& colour) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD palette[256];
  } bmi{};
  bmi.header.biSize = sizeof bmi.header;
  bmi.header.biWidth = width;
  bmi.header.biHeight = -height;
  bmi.header.biPlanes = 1;
  bmi.header.biBitCount = static_cast<WORD>(bits_per_pixel);
  bmi.header.biCompression = BI_RGB;
  std::map<COLORREF, int> index;
  if (bits_per_pixel == 8) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const COLORREF c = colour(x, y);
        if (!index.count(c) && index.size() < 256) {
          const int i = static_cast<int>(index.size());
          index[c] = i;
          bmi.palette[i] = RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0};
        }
      }
    bmi.header.biClrUsed = 256;
  }
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bmi), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  const int stride = ((width * bits_per_pixel + 31) / 32) * 4;
  for (int y = 0; y < height; ++y) {
    BYTE* row = static_cast<BYTE*>(bits) + static_cast<std::size_t>(stride) * y;
    for (int x = 0; x < width; ++x) {
      const COLORREF c = colour(x, y);
      switch (bits_per_pixel) {
        case 8: row[x] = static_cast<BYTE>(index.count(c) ? index[c] : 0); break;
        case 16: {
          const WORD v = static_cast<WORD>((GetRValue(c) >> 3) << 10 | (GetGValue(c) >> 3) << 5 | GetBValue(c) >> 3);
          row[2 * x] = static_cast<BYTE>(v & 0xFF);
          row[2 * x + 1] = static_cast<BYTE>(v >> 8);
          break;
        }
        case 24:
          row[3 * x] = GetBValue(c);
          row[3 * x + 1] = GetGValue(c);
          row[3 * x + 2] = GetRValue(c);
          break;
        default:
          row[4 * x] = GetBValue(c);
          row[4 * x + 1] = GetGValue(c);
          row[4 * x + 2] = GetRValue(c);
          row[4 * x + 3] = 0;
      }
    }
  }
  GdiFlush();
  return bitmap;
}

std::string ReferenceMaskFile(HBITMAP bitmap, COLORREF transparent) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  const int w = info.bmWidth;
  const int h = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HRGN mask = nullptr;
  auto add = [&](int left, int top, int right, int bottom) {
    HRGN r = CreateRectRgn(left, top, right, bottom);
    if (!mask) {
      mask = r;
    } else {
      CombineRgn(mask, mask, r, RGN_OR);
      DeleteObject(r);
    }
  };
  for (int y = 0; y < h; ++y) {
    if (w < 2) {  // only column 0, which is never part of the mask
      add(1, y, 1, y + 1);
      continue;
    }
    int x = 0;
    for (;;) {
      const int start = x;
      x = x + 1;
      while (x <= w && GetPixel(dc, x, y) != transparent) x = x + 1;
      add(start + 1, y, x, y + 1);
      if (!(x < w - 1)) break;
    }
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  if (!mask) return std::string();
  const DWORD n = GetRegionData(mask, 0, nullptr);
  std::string out(4 + n, '\0');
  std::memcpy(&out[0], &n, 4);
  GetRegionData(mask, n, reinterpret_cast<RGNDATA*>(&out[4]));
  DeleteObject(mask);
  return out;
}

std::string BitmapFileBytes(int width, int height, const std::function<COLORREF(int, int)>& colour) {
  const int stride = ((width * 24 + 31) / 32) * 4;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER header{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(stride) * height;
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  std::string out(reinterpret_cast<const char*>(&file), sizeof file);
  out.append(reinterpret_cast<const char*>(&header), sizeof header);
  for (int y = height - 1; y >= 0; --y) {
    std::string row(static_cast<std::size_t>(stride), '\0');
    for (int x = 0; x < width; ++x) {
      const COLORREF c = colour(x, y);
      row[3 * x] = static_cast<char>(GetBValue(c));
      row[3 * x + 1] = static_cast<char>(GetGValue(c));
      row[3 * x + 2] = static_cast<char>(GetRValue(c));
    }
    out += row;
  }
  return out;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(f);
  return ok;
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::string();
  std::string out;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
  CloseHandle(f);
  return out;
}

}  // namespace masktest
