// The mask of a shaped window as a platform-neutral rectangle list, and the byte layout of mask files.
//
// Rectangles are in canonical banded order: sorted by top, then left; the rectangles of one band share top
// and bottom; vertically touching rows whose runs are identical are one band. This is the order the
// platform's own region data has, so the bytes written here are the bytes the platform would give.
//
// Mask file (and the stored "Mask2" bytes): int32 N, then N bytes of region data; N = 0 means no mask.
// Region data: uint32 header size 32, uint32 type 1, uint32 count C, uint32 list size 16 * C,
// int32 bounds left, top, right, bottom, then C rectangles of four int32 (right and bottom exclusive).
// All little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mask {

struct Rect {
  std::int32_t left, top, right, bottom;
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

inline constexpr std::uint32_t kHeaderSize = 32;
inline constexpr std::uint32_t kRectType = 1;

// Builds the mask row by row, top to bottom. A pixel is cut away when its low 24 bits equal those of the
// transparent value; pixel values and the transparent value must use the same byte order. Column 0 is never
// in the mask, and a run that reaches the right edge extends one column further (right edge = width + 1).
class MaskBuilder {
 public:
  explicit MaskBuilder(int width);
  // Adds the next row (width pixels).
  void AddRow(const std::uint32_t* pixels, std::uint32_t transparent);
  int Rows() const { return rows_; }
  // The rectangles of all rows added so far, bands merged.
  const std::vector<Rect>& Rects() const { return rects_; }

 private:
  int width_;
  int rows_ = 0;
  std::vector<Rect> rects_;
  std::size_t last_band_ = 0;   // index of the first rectangle of the last band
  std::vector<std::int32_t> runs_;  // left, right pairs of the row being added
};

// The union of rects within [0, width) x [0, height), in canonical banded order: what the platform's region
// of them holds there, and the rectangles themselves when they are canonical and inside already. The work
// grows with the area and the number of rectangles, never with how much they overlap.
std::vector<Rect> Normalize(const std::vector<Rect>& rects, std::int32_t width, std::int32_t height);

// Bounding rectangle of rects; all zero for an empty list.
Rect Bounds(const std::vector<Rect>& rects);

// The region data block (32 + 16 * C bytes).
std::string EncodeRegionData(const std::vector<Rect>& rects);
// A whole mask file: int32 N followed by the region data.
std::string EncodeMaskFile(const std::vector<Rect>& rects);

// Checks the first four bytes of a mask of total_size bytes: false for a negative N or one larger than
// what follows. n receives N.
bool CheckMaskLength(const unsigned char* first4, std::uint64_t total_size, std::int32_t& n);

// Checks that bytes hold a well-formed mask: at least 4 + N bytes, N not negative, and for N > 0 a header
// that agrees with itself (header size 32, type 1, list size 16 * C, N = 32 + 16 * C). region_data receives
// the N bytes of region data (empty when N = 0); it points into bytes. Bytes after 4 + N are ignored.
bool ParseMask(std::string_view bytes, std::string_view& region_data);

// The rectangles of well-formed region data (as ParseMask gives it).
std::vector<Rect> DecodeRects(std::string_view region_data);

}  // namespace mask
