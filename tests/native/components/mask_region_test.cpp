#include "mask_region.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using mask::Rect;

constexpr std::uint32_t T = 0xFFFFFF;  // transparent
constexpr std::uint32_t O = 0x123456;  // opaque

// Rows written as text: '.' transparent, anything else opaque.
std::vector<Rect> Build(const std::vector<std::string>& rows) {
  mask::MaskBuilder builder(rows.empty() ? 0 : static_cast<int>(rows[0].size()));
  for (const std::string& row : rows) {
    std::vector<std::uint32_t> pixels;
    for (char c : row) pixels.push_back(c == '.' ? T : O);
    builder.AddRow(pixels.data(), T);
  }
  return builder.Rects();
}

TEST(MaskBuilder, RowEdges) {
  // A fully opaque row: column 0 left out, the right edge one past the picture.
  EXPECT_EQ((std::vector<Rect>{{1, 0, 6, 1}}), Build({"#####"}));
  // Column 0 is never in the mask, even when it is the only opaque pixel.
  EXPECT_TRUE(Build({"#...."}).empty());
  // Runs in the middle end at the next transparent pixel; a run touching the edge goes one further.
  EXPECT_EQ((std::vector<Rect>{{1, 0, 3, 1}, {4, 0, 5, 1}, {7, 0, 9, 1}}), Build({".##.#..#"}));
  // A transparent last pixel adds nothing past the edge.
  EXPECT_EQ((std::vector<Rect>{{2, 0, 4, 1}}), Build({"..##."}));
  // Only the last pixel opaque.
  EXPECT_EQ((std::vector<Rect>{{4, 0, 6, 1}}), Build({"....#"}));
  // All transparent: no rectangles.
  EXPECT_TRUE(Build({".....", "....."}).empty());
  // Narrow pictures: two columns behave like any other; one column has nothing but column 0.
  EXPECT_EQ((std::vector<Rect>{{1, 0, 3, 1}}), Build({"##"}));
  EXPECT_EQ((std::vector<Rect>{{1, 0, 3, 1}}), Build({".#"}));
  EXPECT_TRUE(Build({"#.", ".."}).empty());
  EXPECT_TRUE(Build({"#", "#", "."}).empty());
}

TEST(MaskBuilder, BandsMergeOnlyIdenticalTouchingRows) {
  // Three identical rows with two runs become one band three rows tall.
  EXPECT_EQ((std::vector<Rect>{{1, 0, 2, 3}, {3, 0, 6, 3}}), Build({".#.##", ".#.##", ".#.##"}));
  // A differing row splits the bands; a row like an earlier band but not the one just above starts anew.
  EXPECT_EQ((std::vector<Rect>{{1, 0, 3, 1}, {1, 1, 2, 2}, {1, 2, 3, 3}}), Build({".##.", ".#..", ".##."}));
  // Identical rows separated by an empty row stay apart.
  EXPECT_EQ((std::vector<Rect>{{1, 0, 3, 1}, {1, 2, 3, 3}}), Build({".##.", "....", ".##."}));
  // Same number of runs, different places.
  EXPECT_EQ((std::vector<Rect>{{1, 0, 2, 1}, {2, 1, 3, 2}}), Build({".#..", "..#."}));
}

TEST(MaskNormalize, UnionWithinTheAreaInBandedOrder) {
  using Rects = std::vector<Rect>;
  const Rects generated = Build({".#.##", ".#.##", ".##..", "....#", ".#.##"});
  const struct {
    Rects in, out;
  } cases[] = {
      {generated, generated},  // what the generator writes comes through as it is
      {Rects(5000, Rect{0, 0, 6, 5}), {{0, 0, 6, 5}}},
      {{{3, 2, 6, 4}, {0, 0, 4, 3}}, {{0, 0, 4, 2}, {0, 2, 6, 3}, {3, 3, 6, 4}}},
      {{{4, 0, 6, 1}, {0, 0, 2, 1}, {2, 0, 4, 1}}, {{0, 0, 6, 1}}},  // touching runs join
      {{{-2147483647 - 1, -5, 2147483647, 2}, {7, 0, 9, 9}, {2, 1, 2, 4}}, {{0, 0, 6, 2}}},
      {{}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, mask::Normalize(c.in, 6, 5));
}

std::string Le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i) & 0xFF);
  return s;
}

// A mask file put together field by field.
std::string File(std::int32_t n, std::uint32_t header, std::uint32_t type, std::uint32_t count, std::uint32_t list,
                 int rect_count) {
  std::string s = Le32(static_cast<std::uint32_t>(n)) + Le32(header) + Le32(type) + Le32(count) + Le32(list);
  s += Le32(1) + Le32(0) + Le32(5) + Le32(2);
  for (int i = 0; i < rect_count; ++i) s += Le32(1) + Le32(i) + Le32(5) + Le32(i + 1);
  return s;
}

TEST(MaskFile, LayoutOfAnEncodedMask) {
  const std::vector<Rect> rects{{1, 0, 6, 2}, {2, 2, 3, 3}, {4, 2, 7, 3}};
  const std::string file = mask::EncodeMaskFile(rects);
  ASSERT_EQ(4u + 32 + 48, file.size());
  EXPECT_EQ(Le32(80) + Le32(32) + Le32(1) + Le32(3) + Le32(48) + Le32(1) + Le32(0) + Le32(7) + Le32(3),
            file.substr(0, 36));
  std::string_view data;
  ASSERT_TRUE(mask::ParseMask(file, data));
  EXPECT_EQ(80u, data.size());
  EXPECT_EQ(rects, mask::DecodeRects(data));

  // An all-transparent picture: C = 0, N = 32, bounds all zero, 36 bytes.
  const std::string empty = mask::EncodeMaskFile({});
  EXPECT_EQ(Le32(32) + Le32(32) + Le32(1) + Le32(0) + Le32(0) + std::string(16, '\0'), empty);
  ASSERT_TRUE(mask::ParseMask(empty, data));
  EXPECT_TRUE(mask::DecodeRects(data).empty());
}

TEST(MaskFile, ParseAcceptsNoMaskAndTrailingBytes) {
  std::string_view data = "x";
  ASSERT_TRUE(mask::ParseMask(Le32(0), data));
  EXPECT_TRUE(data.empty());
  ASSERT_TRUE(mask::ParseMask(File(48, 32, 1, 1, 16, 1) + "junk", data));
  EXPECT_EQ(48u, data.size());
}

TEST(MaskFile, ParseRefusesHostileFiles) {
  std::string_view data;
  const std::string good = File(48, 32, 1, 1, 16, 1);
  ASSERT_TRUE(mask::ParseMask(good, data));
  const struct {
    const char* what;
    std::string bytes;
  } bad[] = {
      {"empty file", ""},
      {"three bytes", std::string("\0\0\0", 3)},
      {"shorter than 4 + N", good.substr(0, good.size() - 1)},
      {"negative N", File(-48, 32, 1, 1, 16, 1)},
      {"N far beyond the file", File(0x7FFFFFFF, 32, 1, 1, 16, 1)},
      {"N smaller than a header", Le32(8) + std::string(8, '\0')},
      {"header size not 32", File(48, 28, 1, 1, 16, 1)},
      {"type not 1", File(48, 32, 2, 1, 16, 1)},
      {"N disagrees with C", File(48, 32, 1, 2, 32, 1)},
      {"list size disagrees with C", File(48, 32, 1, 1, 32, 1)},
      // 16 * C wraps to 0 in 32 bits; must not pass as a header without rectangles.
      {"rectangle count overflowing", File(32, 32, 1, 0x10000000, 0, 0)},
  };
  for (const auto& b : bad) EXPECT_FALSE(mask::ParseMask(b.bytes, data)) << b.what;

  std::int32_t n = 0;
  const unsigned char neg[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_FALSE(mask::CheckMaskLength(neg, 100, n));
  const unsigned char forty[4] = {40, 0, 0, 0};
  EXPECT_FALSE(mask::CheckMaskLength(forty, 43, n));
  EXPECT_TRUE(mask::CheckMaskLength(forty, 44, n));
  EXPECT_EQ(40, n);
}

}  // namespace
