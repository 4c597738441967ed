#include "sjis.h"

#include <gtest/gtest.h>

namespace {

TEST(Sjis, LeadBytesAreExactlyTheTwoRanges) {
  for (int c = 0; c < 256; ++c) {
    const bool expected = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    EXPECT_EQ(expected, sjis::IsLeadByte(static_cast<unsigned char>(c))) << c;
  }
}

TEST(Sjis, CountsAndPrefixesStepWholeCharacters) {
  const std::string text = "a\x83\x5C" "b\x82\xA0";  // a, ソ (trail byte 0x5C), b, あ
  EXPECT_EQ(4u, sjis::CharCount(text));
  EXPECT_EQ(1u, sjis::PrefixBytes(text, 1));
  EXPECT_EQ(3u, sjis::PrefixBytes(text, 2));  // never stops between 0x83 and 0x5C
  EXPECT_EQ(text.size(), sjis::PrefixBytes(text, 99));
  // A lead byte at the end stands alone instead of reading past the text.
  EXPECT_EQ(2u, sjis::CharCount("a\x82"));
  EXPECT_EQ(2u, sjis::PrefixBytes("a\x82", 5));
}

TEST(Sjis, CaseFoldingLeavesDoubleByteCharactersAlone) {
  EXPECT_TRUE(sjis::EqualsIgnoreCase("SerifuInterval", "serifuINTERVAL"));
  EXPECT_FALSE(sjis::EqualsIgnoreCase("Top", "Top "));
  // 0x82 0x61 and 0x82 0x41 are different characters whose trail bytes look like 'a' and 'A'.
  EXPECT_FALSE(sjis::EqualsIgnoreCase("\x82\x61", "\x82\x41"));
  EXPECT_TRUE(sjis::EqualsIgnoreCase("\x82\x61x", "\x82\x61X"));
}

}  // namespace
