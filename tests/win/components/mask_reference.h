// Test helpers: pictures as DIB sections, and the slow way of building a mask (one pixel read per pixel,
// one region union per run, the file taken from the region's own data) that the real generator must match.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace masktest {

// A DIB section of width x height at bits_per_pixel (8, 16, 24 or 32) whose pixel x, y gets colour(x, y)
// (0x00BBGGRR). 8-bit pictures use a palette made of the colours met first.
HBITMAP MakePicture(int width, int height, int bits_per_pixel, const std::function<COLORREF(int, int)>& colour);

// Mask file bytes by the per-pixel route: GetPixel, CreateRectRgn and CombineRgn per run, GetRegionData.
std::string ReferenceMaskFile(HBITMAP bitmap, COLORREF transparent);

// A bitmap file (BITMAPFILEHEADER + BITMAPINFOHEADER + 24-bit rows) of the picture.
std::string BitmapFileBytes(int width, int height, const std::function<COLORREF(int, int)>& colour);

bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);

}  // namespace masktest
