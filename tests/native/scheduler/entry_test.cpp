#include "entry.h"

#include <gtest/gtest.h>

namespace {

using kavrel::ParseAction;
using kavrel::ParseEntry;
using Kind = kavrel::TimeField::Kind;

TEST(Entry, ReadsTheMailCheckEntryAndKeepsItsTextInOneForm) {
  const auto p = ParseEntry("\t* *  * *   /15 Fennick 0 CheckMail\r\n");
  ASSERT_TRUE(p.ok()) << p.error;
  EXPECT_EQ("* * * * /15 Fennick 0 CheckMail", p.entry.text);
  EXPECT_EQ(Kind::kEvery, p.entry.minute.kind);
  EXPECT_EQ(15, p.entry.minute.value);
  EXPECT_EQ(Kind::kAny, p.entry.month.kind);
  EXPECT_EQ("Fennick", p.entry.call.dll);
  EXPECT_EQ(0, p.entry.call.arg);
  EXPECT_EQ("CheckMail", p.entry.call.function);
  EXPECT_FALSE(p.entry.off);
}

TEST(Entry, NumbersAtTheEdgesOfEachField) {
  const auto low = ParseEntry("1 1 0 0 0 P -2147483648 F");
  ASSERT_TRUE(low.ok()) << low.error;
  EXPECT_EQ(-2147483647 - 1, low.entry.call.arg);
  const auto high = ParseEntry("12 31 6 23 059 P 2147483647 F");
  ASSERT_TRUE(high.ok()) << high.error;
  EXPECT_EQ(Kind::kValue, high.entry.minute.kind);
  EXPECT_EQ(59, high.entry.minute.value);
  EXPECT_EQ("12 31 6 23 059 P 2147483647 F", high.entry.text);  // kept as written
  EXPECT_TRUE(ParseEntry("/12 /31 /6 /23 /999999999 P 0 F").ok());
}

TEST(Entry, SlashZeroAnywhereSwitchesTheEntryOff) {
  for (const char* text : {"* * * * /0 Fennick 0 CheckMail", "/0 * * * 5 Fennick 0 CheckMail",
                           "* * * /00 * Fennick 0 CheckMail"}) {
    const auto p = ParseEntry(text);
    ASSERT_TRUE(p.ok()) << text << ": " << p.error;
    EXPECT_TRUE(p.entry.off) << text;
    EXPECT_EQ("Fennick", p.entry.call.dll);
  }
  // Off does not excuse the other fields.
  EXPECT_EQ("hour out of range (0-23)", ParseEntry("* * * 24 /0 Fennick 0 CheckMail").error);
}

TEST(Entry, MalformedEntriesSayWhy) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"", "empty"},
      {"* * * * /15 Fennick 0", "expected 8 fields, found 7"},
      {"* * * * /15 Fennick 0 CheckMail extra", "expected 8 fields, found 9"},
      {"0 * * * * P 0 F", "month out of range (1-12)"},
      {"* 32 * * * P 0 F", "day out of range (1-31)"},
      {"* * 7 * * P 0 F", "weekday out of range (0-6)"},
      {"* * * 24 * P 0 F", "hour out of range (0-23)"},
      {"* * * * 60 P 0 F", "minute out of range (0-59)"},
      {"/13 * * * * P 0 F", "month /n out of range (1-12)"},
      {"* * /7 * * P 0 F", "weekday /n out of range (1-6)"},
      {"* * * * / P 0 F", "minute /n needs a number"},
      {"* * * * /1234567890 P 0 F", "minute /n needs a number"},
      {"* * * * -1 P 0 F", "minute must be *, a number or /n"},
      {"** * * * * P 0 F", "month must be *, a number or /n"},
      {"* * * 1.5 * P 0 F", "hour must be *, a number or /n"},
      {"* * * * * P 2147483648 F", "arg is not a 32-bit integer"},
      {"* * * * * P 0x10 F", "arg is not a 32-bit integer"},
  };
  for (const auto& c : cases) {
    const auto p = ParseEntry(c.text);
    EXPECT_EQ(c.error, p.error) << c.text;
  }
}

TEST(Entry, DllNamesThatCouldReachAnotherFileAreRefused) {
  for (const char* name : {"..\\Fennick", "sub/Fennick", "C:Fennick", "\\\\server\\share\\x", "Fen*", "Fen?",
                           "a|b", "a\"b", "<a>", "CON", "nul.x", "LPT1"}) {
    EXPECT_FALSE(kavrel::CheckDllName(name).empty()) << name;
    EXPECT_FALSE(ParseAction(std::string(name) + " 0 CheckMail").ok()) << name;
  }
  EXPECT_EQ("empty DLL name", kavrel::CheckDllName(""));
  EXPECT_EQ("DLL name too long", kavrel::CheckDllName(std::string(201, 'a')));
  EXPECT_EQ("bad DLL name", kavrel::CheckDllName(std::string("a\0b", 3)));
  EXPECT_EQ("DLL name must not name a device", kavrel::CheckDllName("Com3"));
  // Calling its own exports from the worker would tear the library down under itself.
  EXPECT_EQ("Kavrel cannot call itself", kavrel::CheckDllName("KAVREL"));
  EXPECT_TRUE(kavrel::IsOwnName("kavrel"));
}

TEST(Entry, DoubleByteDllNamesAreTakenWhole) {
  // 表 is 0x95 0x5C: its second byte is not a folder separator.
  EXPECT_EQ("", kavrel::CheckDllName("表示"));
  EXPECT_EQ("", kavrel::CheckDllName("テスト"));
  EXPECT_EQ("bad DLL name", kavrel::CheckDllName("abc\x95"));       // lead byte without its partner
  EXPECT_EQ("bad DLL name", kavrel::CheckDllName("abc\x95\x21x"));  // no valid second byte
  const auto p = ParseEntry("* * * * 5 表示 1 Go");
  ASSERT_TRUE(p.ok()) << p.error;
  EXPECT_EQ("表示", p.entry.call.dll);
}

TEST(Entry, ActionsAreTheLastThreeFields) {
  const auto a = ParseAction("  Fennick  -7\tCheckMail ");
  ASSERT_TRUE(a.ok()) << a.error;
  EXPECT_EQ("Fennick", a.call.dll);
  EXPECT_EQ(-7, a.call.arg);
  EXPECT_EQ("CheckMail", a.call.function);
  EXPECT_EQ("empty", ParseAction("").error);
  EXPECT_EQ("expected 3 fields, found 8", ParseAction("* * * * /15 Fennick 0 CheckMail").error);
  EXPECT_EQ("Kavrel cannot call itself", ParseAction("Kavrel 0 freeForm").error);
}

}  // namespace
