#include "tray_core.h"

#include <gtest/gtest.h>

namespace mokuna {
namespace {

TEST(TrayIdRegistry, NumbersFromTheLastEntry) {
  TrayIdRegistry r;
  int a = 0, b = 0, c = 0;
  EXPECT_EQ(r.NextId(), 1);
  r.Add(r.NextId(), &a);
  EXPECT_EQ(r.NextId(), 2);
  r.Add(r.NextId(), &b);
  r.Remove(2);
  // After the second goes, a third takes 2 again.
  EXPECT_EQ(r.NextId(), 2);
  r.Add(r.NextId(), &c);
  EXPECT_EQ(r.Find(2), &c);
  EXPECT_EQ(r.Find(1), &a);
  // Removing the first does not renumber: the next still follows the last entry.
  r.Remove(1);
  EXPECT_EQ(r.NextId(), 3);
  EXPECT_FALSE(r.Contains(1));
}

TEST(TrayIdRegistry, ChangedIdKeepsItsPlace) {
  TrayIdRegistry r;
  int a = 0, b = 0;
  r.Add(1, &a);
  r.Add(2, &b);
  r.Replace(1, 10);
  // The last entry is still the second component, so the next identifier is 3, not 11.
  EXPECT_EQ(r.NextId(), 3);
  EXPECT_EQ(r.Find(10), &a);
  EXPECT_EQ(r.Find(1), nullptr);
  r.Replace(2, 7);
  EXPECT_EQ(r.NextId(), 8);
}

TEST(TrayTip, FitsSixtyThreeBytesWithoutSplittingACharacter) {
  EXPECT_EQ(TrayTipForRecord("2001/12/24 23:59"), "2001/12/24 23:59");
  EXPECT_EQ(TrayTipForRecord(std::string(63, 'a')), std::string(63, 'a'));
  EXPECT_EQ(TrayTipForRecord(std::string(80, 'a')), std::string(63, 'a'));
  // 62 single bytes then a double-byte character: it would need bytes 63 and 64, so it is dropped whole.
  const std::string kanji = "日";
  EXPECT_EQ(TrayTipForRecord(std::string(62, 'a') + kanji), std::string(62, 'a'));
  EXPECT_EQ(TrayTipForRecord(std::string(61, 'a') + kanji + "b"), std::string(61, 'a') + kanji);
  // A zero inside the text ends it, as the record's zero-terminated field would.
  EXPECT_EQ(TrayTipForRecord(std::string("ab\0cd", 5)), "ab");
}

}  // namespace
}  // namespace mokuna
