#include "config_file.h"

#include <gtest/gtest.h>

namespace {

using config::FindValue;
using config::SplitLines;

TEST(ConfigFile, SplitsAtEveryKindOfLineBreak) {
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "", "d"}), SplitLines("a\r\nb\rc\n\nd"));
  EXPECT_EQ((std::vector<std::string>{"a"}), SplitLines("a\r\n"));
  EXPECT_EQ((std::vector<std::string>{"", ""}), SplitLines("\r\r"));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ("x\r\n\r\ny\r\n", config::JoinCrLf({"x", "", "y"}));
}

TEST(ConfigFile, FirstMatchingLineWinsAndNothingIsTrimmed) {
  const auto lines = SplitLines("comment\r\nkey =blank before\r\nKEY=first\r\nkey=second\r\nurl=a=b\r\n");
  EXPECT_EQ("first", FindValue(lines, "key"));
  EXPECT_EQ("blank before", FindValue(lines, "key "));
  EXPECT_EQ("a=b", FindValue(lines, "URL"));  // split at the first "=" only
  EXPECT_EQ(std::nullopt, FindValue(lines, "comment"));
  EXPECT_EQ(std::nullopt, FindValue(lines, "missing"));
  EXPECT_EQ("", FindValue(SplitLines("Empty="), "empty"));
  EXPECT_EQ(" v ", FindValue(SplitLines("k= v "), "k"));
}

TEST(ConfigFile, IntegersAreSignedDecimalWithin32Bits) {
  EXPECT_EQ(500, config::ParseInt("500"));
  EXPECT_EQ(-12, config::ParseInt("-12"));
  EXPECT_EQ(7, config::ParseInt("+7"));
  EXPECT_EQ(2147483647, config::ParseInt("2147483647"));
  EXPECT_EQ(-2147483647 - 1, config::ParseInt("-2147483648"));
  for (const char* bad : {"", "-", " 1", "1 ", "1.5", "0x10", "2147483648", "-2147483649",
                          "99999999999999999999999"}) {
    EXPECT_EQ(std::nullopt, config::ParseInt(bad)) << bad;
  }
}

}  // namespace
