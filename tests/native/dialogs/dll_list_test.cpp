#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "dialog_ports.h"
#include "dll_list.h"

namespace mokuna {
namespace {

TEST(DllMenuCaptions, KeepsTheFirst31EntriesInOrderWithDuplicates) {
  std::vector<std::string> list;
  for (int i = 0; i < 40; ++i) list.push_back("P" + std::to_string(i));
  const auto captions = DllMenuCaptions(list);
  ASSERT_EQ(31u, captions.size());
  EXPECT_EQ("P0", captions.front());
  EXPECT_EQ("P30", captions.back());

  const std::vector<std::string> dup = {"Kavrel", "Fennick", "Fennick", ""};
  EXPECT_EQ(dup, DllMenuCaptions(dup));
  EXPECT_EQ(std::vector<std::string>{"Kavrel"}, DllMenuCaptions({"Kavrel"}));
}

TEST(MenuTextFor, DoublesAmpersandsAndLeavesShiftJisAlone) {
  EXPECT_EQ("Mail&&News", MenuTextFor("Mail&News"));
  EXPECT_EQ("&&&&", MenuTextFor("&&"));
  EXPECT_EQ("表示プラグイン", MenuTextFor("表示プラグイン"));
  EXPECT_EQ("", MenuTextFor(""));
}

class DllEditTest : public ::testing::Test {
 protected:
  std::set<std::string> files{"Kavrel.dll", "Fennick.dll", "fennick.dll"};
  std::vector<std::string> asked;
  std::function<bool(const std::string&)> exists = [this](const std::string& f) {
    asked.push_back(f);
    return files.count(f) > 0;
  };
  DllListEdit list{{"Kavrel", "Fennick"}, -1, ""};
};

TEST_F(DllEditTest, NameDifferingInCaseIsAddedAtTheEndAndSelected) {
  list.edit = "fennick";
  EXPECT_EQ(AddDllResult::kAdded, AddDll(list, exists));
  EXPECT_EQ((std::vector<std::string>{"Kavrel", "Fennick", "fennick"}), list.items);
  EXPECT_EQ(2, list.selected);
  EXPECT_EQ("", list.edit);
}

TEST_F(DllEditTest, RemovalLeavesTheNameForAddingBack) {
  EXPECT_EQ(RemoveDllResult::kNothingSelected, RemoveDll(list));

  list.selected = 0;
  EXPECT_EQ(RemoveDllResult::kSchedulerRefused, RemoveDll(list));
  EXPECT_EQ(2u, list.items.size());

  list.items = {"Kavrel", "Fennick", "Kavrel2"};
  list.selected = 1;
  EXPECT_EQ(RemoveDllResult::kRemoved, RemoveDll(list));
  EXPECT_EQ((std::vector<std::string>{"Kavrel", "Kavrel2"}), list.items);
  EXPECT_EQ("Fennick", list.edit);
  EXPECT_EQ(AddDllResult::kAdded, AddDll(list, exists));
  EXPECT_EQ((std::vector<std::string>{"Kavrel", "Kavrel2", "Fennick"}), list.items);
}

class FakeScheduler : public SchedulerPort {
 public:
  std::vector<std::string> queue, calls;
  bool IsResult() override { return !queue.empty(); }
  std::string GetResults() override {
    std::string s = queue.front();
    queue.erase(queue.begin());
    return s;
  }
  void AddEntry(const std::string& e) override { calls.push_back("AddEntry:" + e); }
  void DirectAction(const std::string& a) override { calls.push_back("DirectAction:" + a); }
  void PropertyPage(const std::string& n) override { calls.push_back("PropertyPage:" + n); }
};

class RecordingSpeech : public SpeechSink {
 public:
  std::vector<std::string> said;
  void AddSerifu(const std::string& t) override { said.push_back(t); }
};

TEST(SubMenu1Click, PassesTheEntryNowAtThePosition) {
  FakeScheduler scheduler;
  const std::vector<std::string> list = {"Kavrel", "Fennick"};
  SubMenu1Click(1, list, scheduler);
  SubMenu1Click(2, list, scheduler);  // no such position any more
  SubMenu1Click(-1, list, scheduler);
  EXPECT_EQ(std::vector<std::string>{"PropertyPage:Fennick"}, scheduler.calls);
}

TEST(DumpLog, SaysEveryWaitingStringWholeWithoutDispatching) {
  FakeScheduler scheduler;
  RecordingSpeech speech;
  DumpLog(scheduler, speech);
  EXPECT_TRUE(speech.said.empty());

  scheduler.queue = {"Fennick CheckMail 000 メールが2通きています． はやく受信しましょう．",
                     "Fennick PropertyPage 900 * * * * /15 Fennick 0 CheckMail", ""};
  DumpLog(scheduler, speech);
  EXPECT_EQ((std::vector<std::string>{"Fennick CheckMail 000 メールが2通きています． はやく受信しましょう．",
                                      "Fennick PropertyPage 900 * * * * /15 Fennick 0 CheckMail", ""}),
            speech.said);
  EXPECT_TRUE(scheduler.queue.empty());
  EXPECT_TRUE(scheduler.calls.empty());  // a dumped 900 string schedules nothing
}

}  // namespace
}  // namespace mokuna

namespace mokuna {
namespace {

// The library's functions as the port calls them; the texts must arrive NUL-terminated and whole.
std::vector<std::string> g_calls;
const char* g_next = nullptr;
int FakeIsResult() { return g_next != nullptr; }
const char* FakeGetResults() {
  const char* r = g_next;
  g_next = nullptr;
  return r;
}
void FakeAddEntry(const char* t) { g_calls.push_back(std::string("AddEntry:") + t); }
void FakeDirectAction(const char* t) { g_calls.push_back(std::string("DirectAction:") + t); }
void FakePropertyPage(const char* t) { g_calls.push_back(std::string("PropertyPage:") + t); }

TEST(FunctionSchedulerPort, ForwardsEachCallToItsFunction) {
  FunctionSchedulerPort port(FakeIsResult, FakeGetResults, FakeAddEntry, FakeDirectAction, FakePropertyPage);
  port.AddEntry("* * * * /5 Fennick 0 CheckMail");
  port.DirectAction("");
  port.PropertyPage("Fennick");
  EXPECT_EQ((std::vector<std::string>{"AddEntry:* * * * /5 Fennick 0 CheckMail", "DirectAction:",
                                      "PropertyPage:Fennick"}),
            g_calls);
  g_next = "Kavrel AddEntry 000 ok";
  ASSERT_TRUE(port.IsResult());
  EXPECT_EQ("Kavrel AddEntry 000 ok", port.GetResults());
  EXPECT_FALSE(port.IsResult());
}

}  // namespace
}  // namespace mokuna
