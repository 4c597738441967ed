#include "tokenizer.h"

#include <gtest/gtest.h>

namespace {

using Tokens = std::vector<std::string>;

TEST(SplitCommaText, BlanksAndCommasSeparate) {
  EXPECT_EQ((Tokens{"Fennick", "CheckMail", "000"}), SplitCommaText("Fennick CheckMail 000"));
  EXPECT_EQ((Tokens{"a", "b", "c"}), SplitCommaText("  a \t\r\n b\x01\x1F" "c  "));
  EXPECT_EQ((Tokens{"a", "b", "c"}), SplitCommaText("a , b,c"));
  EXPECT_EQ((Tokens{"a", "", "b"}), SplitCommaText("a,,b"));
  EXPECT_EQ((Tokens{"a", "", "b"}), SplitCommaText("a , , b"));
  EXPECT_EQ((Tokens{"a"}), SplitCommaText("a,"));
  EXPECT_EQ((Tokens{"a", ""}), SplitCommaText("a,,"));
  EXPECT_EQ((Tokens{"", "a"}), SplitCommaText(",a"));
  EXPECT_EQ((Tokens{"", "a"}), SplitCommaText("  , a"));
  EXPECT_TRUE(SplitCommaText("").empty());
  EXPECT_TRUE(SplitCommaText(" \t\r\n").empty());
}

TEST(SplitCommaText, QuotedTokensKeepBlanksCommasAndDoubledQuotes) {
  EXPECT_EQ((Tokens{"X", "a b, c", "d"}), SplitCommaText("X \"a b, c\" d"));
  EXPECT_EQ((Tokens{"say \"hi\""}), SplitCommaText("\"say \"\"hi\"\"\""));
  EXPECT_EQ((Tokens{"", "x"}), SplitCommaText("\"\",x"));
  // A token right after the closing quote needs no separator.
  EXPECT_EQ((Tokens{"ab", "cd"}), SplitCommaText("\"ab\"cd"));
  // Inside an unquoted token a quote is an ordinary character.
  EXPECT_EQ((Tokens{"a\"b", "c"}), SplitCommaText("a\"b c"));
  // Without a closing quote the token runs to the end, blanks and all.
  EXPECT_EQ((Tokens{"a", "b c ,d"}), SplitCommaText("a \"b c ,d"));
  EXPECT_EQ((Tokens{""}), SplitCommaText("\""));
}

TEST(SplitCommaText, DoubleByteCharactersAreTakenWhole) {
  // ソ is 0x83 0x5C and 表 is 0x95 0x5C; ＂ is 0x81 0x68 (not a quote). A trail byte of 0x2C or 0x22
  // can only occur in broken text, yet must not split either.
  EXPECT_EQ((Tokens{"\x83\x5C\x95\x5C", "x"}), SplitCommaText("\x83\x5C\x95\x5C x"));
  EXPECT_EQ((Tokens{"\x81\x2C" "a"}), SplitCommaText("\x81\x2C" "a"));
  EXPECT_EQ((Tokens{"\x81\x20" "a"}), SplitCommaText("\x81\x20" "a"));
  EXPECT_EQ((Tokens{"\x81\x22" "a b"}), SplitCommaText("\"\x81\x22" "a b\""));
  // A lead byte at the very end stands alone.
  EXPECT_EQ((Tokens{"a", "\x82"}), SplitCommaText("a \x82"));
  // Japanese payload as the mail plug-in writes it.
  EXPECT_EQ((Tokens{"Fennick", "CheckMail", "000", "メールが3通きています．", "はやく受信しましょう．"}),
            SplitCommaText("Fennick CheckMail 000 メールが3通きています． はやく受信しましょう．"));
}

TEST(SplitCommaText, NulEndsTheText) {
  EXPECT_EQ((Tokens{"a", "b"}), SplitCommaText(std::string_view("a b\0c d", 7)));
}

}  // namespace
