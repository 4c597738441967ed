#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_error.h"
#include "settings_apply.h"

namespace mokuna {
namespace {

// Records every step as "name=value" in the order applied.
class RecordingTarget : public SettingsTarget {
 public:
  std::vector<std::string> steps;
  void SetLocalPolling(int v) override { steps.push_back("LocalPolling=" + std::to_string(v)); }
  void SetSerifuInterval(int v) override { steps.push_back("SerifuInterval=" + std::to_string(v)); }
  void SetFukidasiInterval(int v) override { steps.push_back("FukidasiInterval=" + std::to_string(v)); }
  void SetEventPolling(int v) override { steps.push_back("EventPolling=" + std::to_string(v)); }
  void SetMokunaImage(const std::string& v) override { steps.push_back("MokunaImage=" + v); }
  void SetMaxSpeaking(int v) override { steps.push_back("MaxSpeaking=" + std::to_string(v)); }
  void SetDllList(const std::vector<std::string>& v) override {
    std::string joined;
    for (const auto& n : v) joined += n + ";";
    steps.push_back("DllList=" + joined);
  }
  void SetShowCalender(bool v) override { steps.push_back(std::string("ShowCalender=") + (v ? "1" : "0")); }
  void SetShowTime(bool v) override { steps.push_back(std::string("ShowTime=") + (v ? "1" : "0")); }
};

SettingsForm SampleForm() {
  HostSettings v;
  v.LocalPolling = 250;
  v.SerifuInterval = 2;
  v.FukidasiInterval = 9;
  v.EventPolling = 1000;
  v.MokunaImage = "キャラ.bmp";
  v.MaxSpeaking = 4;
  v.DllList = {"Kavrel", "Fennick", "Fennick", ""};
  v.ShowCalender = true;
  v.ShowTime = false;
  return FormFromValues(v);
}

TEST(ApplySettings, CopiesEveryControlInTheFixedOrder) {
  RecordingTarget target;
  ApplySettings(SampleForm(), target);
  const std::vector<std::string> expected = {
      "LocalPolling=250", "SerifuInterval=2", "FukidasiInterval=9",       "EventPolling=1000",
      "MokunaImage=キャラ.bmp", "MaxSpeaking=4", "DllList=Kavrel;Fennick;Fennick;;", "ShowCalender=1",
      "ShowTime=0"};
  EXPECT_EQ(expected, target.steps);
}

TEST(ApplySettings, StopsAtTheFirstBadNumberWithEarlierStepsApplied) {
  struct Case {
    std::string SettingsForm::*field;
    std::string text;
    std::size_t steps_done;
  };
  const Case cases[] = {
      {&SettingsForm::eself, "", 0},           // empty is no number
      {&SettingsForm::eserifu, " 3", 1},       // blanks are not trimmed
      {&SettingsForm::efukidasi, "1.5", 2},    // whole numbers only
      {&SettingsForm::eevent, "5OO", 3},       // letter O
      {&SettingsForm::edit3, "99999999999", 5},  // beyond 32 bits; the picture step before it ran
  };
  for (const Case& c : cases) {
    SettingsForm form = SampleForm();
    form.*c.field = c.text;
    RecordingTarget target;
    try {
      ApplySettings(form, target);
      ADD_FAILURE() << "no error for '" << c.text << "'";
    } catch (const HostError& e) {
      EXPECT_EQ("'" + c.text + "' は整数ではありません", std::string(e.what()));
    }
    EXPECT_EQ(c.steps_done, target.steps.size()) << c.text;
  }
}

TEST(ApplySettings, SignedAndZeroIntervalsPassThrough) {
  SettingsForm form = SampleForm();
  form.eself = "0";
  form.eevent = "-20";
  form.eserifu = "+7";
  RecordingTarget target;
  ApplySettings(form, target);
  EXPECT_EQ("LocalPolling=0", target.steps[0]);
  EXPECT_EQ("SerifuInterval=7", target.steps[1]);
  EXPECT_EQ("EventPolling=-20", target.steps[3]);
}

}  // namespace
}  // namespace mokuna
