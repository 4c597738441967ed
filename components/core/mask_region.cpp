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
  if (runs_.empty()) return;

  // A row whose runs equal those of the band right above it makes that band one row taller.
  if (!rects_.empty() && rects_[last_band_].bottom == y && rects_.size() - last_band_ == runs_.size() / 2) {
    bool same = true;
    for (std::size_t i = 0; same && i < runs_.size() / 2; ++i) {
      const Rect& r = rects_[last_band_ + i];
      same = r.left == runs_[2 * i] && r.right == runs_[2 * i + 1];
    }
    if (same) {
      for (std::size_t i = last_band_; i < rects_.size(); ++i) rects_[i].bottom = y + 1;
      return;
    }
  }
  last_band_ = rects_.size();
  for (std::size_t i = 0; i < runs_.size(); i += 2) rects_.push_back(Rect{runs_[i], y, runs_[i + 1], y + 1});
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
