#include "mask_region.h"

#include <algorithm>
#include <cstring>

namespace mask {

namespace {

void PutU32(std::string& out, std::uint32_t v) {
  const char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                     static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
  out.append(b, 4);
}

void PutI32(std::string& out, std::int32_t v) { PutU32(out, static_cast<std::uint32_t>(v)); }

std::uint32_t GetU32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::int32_t GetI32(const unsigned char* p) {
  const std::uint32_t u = GetU32(p);
  std::int32_t v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}

const unsigned char* Bytes(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

// Adds rows [top, bottom) holding runs (left, right pairs) below rects, whose last band starts at last_band:
// when that band ends at top with the same runs, it grows instead.
void AddBand(std::vector<Rect>& rects, std::size_t& last_band, std::int32_t top, std::int32_t bottom,
             const std::vector<std::int32_t>& runs) {
  if (runs.empty()) return;
  if (!rects.empty() && rects[last_band].bottom == top && rects.size() - last_band == runs.size() / 2) {
    bool same = true;
    for (std::size_t i = 0; same && i < runs.size() / 2; ++i) {
      const Rect& r = rects[last_band + i];
      same = r.left == runs[2 * i] && r.right == runs[2 * i + 1];
    }
    if (same) {
      for (std::size_t i = last_band; i < rects.size(); ++i) rects[i].bottom = bottom;
      return;
    }
  }
  last_band = rects.size();
  for (std::size_t i = 0; i < runs.size(); i += 2) rects.push_back(Rect{runs[i], top, runs[i + 1], bottom});
}

}  // namespace

MaskBuilder::MaskBuilder(int width) : width_(width < 0 ? 0 : width) {}

void MaskBuilder::AddRow(const std::uint32_t* pixels, std::uint32_t transparent) {
  const std::int32_t y = rows_++;
  const std::int32_t w = width_;
  const std::uint32_t key = transparent & 0xFFFFFF;
  runs_.clear();
  // Column 0 is never looked at and the column past the right edge counts as opaque, so a run that
  // reaches the edge ends at w + 1. The scan stops once it stands on column w - 1 or further: a transparent
  // last pixel adds no one-column run past the edge. A picture one pixel wide has no run at all, its only
  // column being column 0.
  if (w >= 2) {
    std::int32_t x = 0;
    for (;;) {
      const std::int32_t start = x++;
      while (x < w && (pixels[x] & 0xFFFFFF) != key) ++x;
      if (x == w) ++x;
      if (x > start + 1) {
        runs_.push_back(start + 1);
        runs_.push_back(x);
      }
      if (x >= w - 1) break;
    }
  }
  AddBand(rects_, last_band_, y, y + 1, runs_);
}

std::vector<Rect> Normalize(const std::vector<Rect>& rects, std::int32_t width, std::int32_t height) {
  // Each rectangle, cut to the area, covers its columns from the row of its top edge to that of its bottom.
  struct Edge {
    std::int32_t y, left, right, delta;
  };
  std::vector<Edge> edges;
  for (const Rect& r : rects) {
    const std::int32_t left = std::max(r.left, 0), right = std::min(r.right, width);
    const std::int32_t top = std::max(r.top, 0), bottom = std::min(r.bottom, height);
    if (left >= right || top >= bottom) continue;
    edges.push_back({top, left, right, 1});
    edges.push_back({bottom, left, right, -1});
  }
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y < b.y; });
  // How many rectangles start (less how many end) at each column, summed across the rows seen so far.
  std::vector<std::int64_t> starts(static_cast<std::size_t>(std::max(width, 0)) + 1, 0);
  std::vector<Rect> out;
  std::size_t last_band = 0;
  std::vector<std::int32_t> runs;
  for (std::size_t i = 0; i < edges.size();) {
    const std::int32_t y = edges[i].y;
    for (; i < edges.size() && edges[i].y == y; ++i) {
      starts[static_cast<std::size_t>(edges[i].left)] += edges[i].delta;
      starts[static_cast<std::size_t>(edges[i].right)] -= edges[i].delta;
    }
    if (i == edges.size()) break;  // the last edges end every rectangle
    runs.clear();
    std::int64_t depth = 0;
    for (std::int32_t x = 0; x < width; ++x) {
      const bool was = depth > 0;
      depth += starts[static_cast<std::size_t>(x)];
      if (was != (depth > 0)) runs.push_back(x);
    }
    if (runs.size() % 2) runs.push_back(width);
    AddBand(out, last_band, y, edges[i].y, runs);
  }
  return out;
}

Rect Bounds(const std::vector<Rect>& rects) {
  if (rects.empty()) return Rect{0, 0, 0, 0};
  Rect b = rects.front();
  for (const Rect& r : rects) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

std::string EncodeRegionData(const std::vector<Rect>& rects) {
  std::string out;
  out.reserve(kHeaderSize + 16 * rects.size());
  PutU32(out, kHeaderSize);
  PutU32(out, kRectType);
  PutU32(out, static_cast<std::uint32_t>(rects.size()));
  PutU32(out, static_cast<std::uint32_t>(16 * rects.size()));
  const Rect b = Bounds(rects);
  for (std::int32_t v : {b.left, b.top, b.right, b.bottom}) PutI32(out, v);
  for (const Rect& r : rects)
    for (std::int32_t v : {r.left, r.top, r.right, r.bottom}) PutI32(out, v);
  return out;
}

std::string EncodeMaskFile(const std::vector<Rect>& rects) {
  std::string out;
  PutI32(out, static_cast<std::int32_t>(kHeaderSize + 16 * rects.size()));
  out += EncodeRegionData(rects);
  return out;
}

bool CheckMaskLength(const unsigned char* first4, std::uint64_t total_size, std::int32_t& n) {
  if (total_size < 4) return false;
  n = GetI32(first4);
  return n >= 0 && static_cast<std::uint64_t>(n) <= total_size - 4;
}

bool ParseMask(std::string_view bytes, std::string_view& region_data) {
  std::int32_t n = 0;
  if (bytes.size() < 4 || !CheckMaskLength(Bytes(bytes), bytes.size(), n)) return false;
  region_data = bytes.substr(4, static_cast<std::size_t>(n));
  if (n == 0) return true;
  if (static_cast<std::uint32_t>(n) < kHeaderSize) return false;
  const unsigned char* h = Bytes(region_data);
  const std::uint64_t count = GetU32(h + 8);
  return GetU32(h) == kHeaderSize && GetU32(h + 4) == kRectType && GetU32(h + 12) == 16 * count &&
         static_cast<std::uint64_t>(n) == kHeaderSize + 16 * count;
}

std::vector<Rect> DecodeRects(std::string_view region_data) {
  std::vector<Rect> rects;
  if (region_data.size() < kHeaderSize) return rects;
  const std::size_t count = (region_data.size() - kHeaderSize) / 16;
  rects.reserve(count);
  const unsigned char* p = Bytes(region_data) + kHeaderSize;
  for (std::size_t i = 0; i < count; ++i, p += 16)
    rects.push_back(Rect{GetI32(p), GetI32(p + 4), GetI32(p + 8), GetI32(p + 12)});
  return rects;
}

}  // namespace mask
