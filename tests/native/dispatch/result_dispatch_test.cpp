#include "result_dispatch.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "host_error.h"

namespace mokuna {
namespace {

using Lines = std::vector<std::string>;

struct FakeLibrary : ResultSource {
  bool IsResult() override { return !waiting.empty(); }
  std::string GetResults() override {
    std::string s = waiting.front();
    waiting.pop_front();
    return s;
  }
  void AddEntry(const std::string& entry) override { entries.push_back(entry); }
  std::deque<std::string> waiting;
  Lines entries;
};

struct FakeSpeech : SpeechSink {
  void AddSerifu(const std::string& text) override { lines.push_back(text); }
  Lines lines;
};

class Dispatch : public ::testing::Test {
 protected:
  // Dispatches one string on its own tick.
  void Run(const std::string& result) {
    library.waiting.push_back(result);
    DispatchResultString(library, speech);
  }
  std::string ErrorOf(const std::string& result) {
    try {
      Run(result);
    } catch (const HostError& e) {
      return e.what();
    }
    return "(no error)";
  }

  FakeLibrary library;
  FakeSpeech speech;
};

TEST_F(Dispatch, SpeechLinesInTokenOrder) {
  Run("Fennick CheckMail 000");
  EXPECT_TRUE(speech.lines.empty());
  Run("Fennick CheckMail 000 メールが3通きています． はやく受信しましょう．");
  EXPECT_EQ((Lines{"メールが3通きています．", "はやく受信しましょう．"}), speech.lines);
  speech.lines.clear();
  Run("X Y 0 \"two words\",comma , \"\" \"a \"\"q\"\"\"");
  EXPECT_EQ((Lines{"two words", "comma", "", "a \"q\""}), speech.lines);
  EXPECT_TRUE(library.entries.empty());
}

TEST_F(Dispatch, ErrorRemarks) {
  Run("Fennick CheckMail 101 Cannot Connect to Server");
  Run("Fennick CheckMail 0101");
  Run("Gone CheckMail 501 extra tokens");
  Run("Fennick Missing 502 extra");
  EXPECT_EQ((Lines{"FennickというDLLのCheckMailという関数で，エラー番号101のエラーが出たにゅ． だめだめにゅ．",
                   "FennickというDLLのCheckMailという関数で，エラー番号0101のエラーが出たにゅ． だめだめにゅ．",
                   "GoneというDLLがないにゅ．",
                   "FennickというDLLのなかに，Missingという関数ががないにゅ．"}),
            speech.lines);
  for (const char* code : {"-1", "1", "499", "503", "899", "901", "+7"}) {
    speech.lines.clear();
    Run(std::string("D F ") + code);
    ASSERT_EQ(1u, speech.lines.size()) << code;
    EXPECT_NE(std::string::npos, speech.lines[0].find(std::string("エラー番号") + code + "のエラー")) << code;
  }
  EXPECT_TRUE(library.entries.empty());
}

TEST_F(Dispatch, LeadingZerosDecideByNumber) {
  Run("D F 0900 a b");
  Run("D F 00 line");
  EXPECT_EQ((Lines{"a b"}), library.entries);
  EXPECT_EQ((Lines{"line"}), speech.lines);
}

TEST_F(Dispatch, ScheduleEntriesOnePerGroup) {
  Run("Fennick PropertyPage 900 * * * * /15 Fennick 0 CheckMail");
  EXPECT_EQ((Lines{"* * * * /15 Fennick 0 CheckMail"}), library.entries);
  library.entries.clear();
  Run("X Y 900 A B + C + D E");
  EXPECT_EQ((Lines{"A B", "C", "D E"}), library.entries);
  library.entries.clear();
  // Tabs, blank runs and commas become one blank; quotes are dropped.
  Run("X Y 900 *\t*  *,* , \"/5\" N 0 F");
  EXPECT_EQ((Lines{"* * * * /5 N 0 F"}), library.entries);
  library.entries.clear();
  // "+" counts only as a token of its own; a trailing "+", a leading "+" and "+ +" add no empty entry.
  Run("X Y 900 + A+ B + + C +");
  EXPECT_EQ((Lines{"A+ B", "C"}), library.entries);
  library.entries.clear();
  Run("X Y 900");
  Run("X Y 900 + \"\" +");
  EXPECT_TRUE(library.entries.empty());
  EXPECT_TRUE(speech.lines.empty());
}

TEST_F(Dispatch, EveryWaitingStringInOneTickInOrder) {
  library.waiting = {"A F 0 one", "B F 900 e", "C F 501", "D F 0 two"};
  DispatchResultString(library, speech);
  EXPECT_TRUE(library.waiting.empty());
  EXPECT_EQ((Lines{"one", "CというDLLがないにゅ．", "two"}), speech.lines);
  EXPECT_EQ((Lines{"e"}), library.entries);
  // No waiting string: nothing happens.
  DispatchResultString(library, speech);
  EXPECT_EQ(3u, speech.lines.size());
}

TEST_F(Dispatch, BadStringEndsTheTickAndTheRestWait) {
  EXPECT_EQ("リストのインデックスが範囲を超えています (2)", ErrorOf(""));
  EXPECT_EQ("リストのインデックスが範囲を超えています (2)", ErrorOf("Fennick CheckMail"));
  EXPECT_EQ("'abc' は整数ではありません", ErrorOf("Fennick CheckMail abc ignored"));
  EXPECT_EQ("'' は整数ではありません", ErrorOf("A B \"\""));
  EXPECT_EQ("'99999999999' は整数ではありません", ErrorOf("A B 99999999999"));
  EXPECT_EQ("'1.5' は整数ではありません", ErrorOf("A B 1.5"));

  library.waiting = {"A F 0 before", "broken", "A F 0 after"};
  EXPECT_THROW(DispatchResultString(library, speech), HostError);
  EXPECT_EQ((Lines{"before"}), speech.lines);
  EXPECT_EQ(1u, library.waiting.size());
  DispatchResultString(library, speech);
  EXPECT_EQ((Lines{"before", "after"}), speech.lines);
}

}  // namespace
}  // namespace mokuna

namespace mokuna {
namespace {

// The library's C interface: one result that the library then fails to hand over.
int g_waiting = 0;
std::vector<std::string> g_entries;
int IsResultFn() { return g_waiting; }
const char* GetResultsFn() {
  g_waiting = 0;
  return nullptr;
}
void AddEntryFn(const char* entry) { g_entries.emplace_back(entry); }

TEST(FunctionResultSource, ForwardsToTheLibraryAndSurvivesANullResult) {
  FunctionResultSource library(IsResultFn, GetResultsFn, AddEntryFn);
  FakeSpeech speech;
  library.AddEntry("* * * * /1 T 0 F");
  EXPECT_EQ((Lines{"* * * * /1 T 0 F"}), g_entries);
  g_waiting = 1;
  EXPECT_THROW(DispatchResultString(library, speech), HostError);
  EXPECT_FALSE(library.IsResult());
}

}  // namespace
}  // namespace mokuna
