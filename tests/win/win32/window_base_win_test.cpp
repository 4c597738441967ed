// The error boundary of the window base: whatever a handler throws reaches the reporter, and the window
// goes on answering.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "WindowBase.h"

namespace {

constexpr UINT kThrow = WM_APP + 1, kPing = WM_APP + 2;

class Thrower : public mokuna::Window {
 public:
  bool Create() { return CreateWin(L"MokunaBoundaryTest", 0, WS_POPUP, 0, 0, 10, 10); }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == kThrow && wp == 0) throw std::runtime_error("壊れた");
    if (msg == kThrow && wp == 1) throw 42;
    if (msg == kPing) return 7;
    return DefaultProc(msg, wp, lp);
  }
};

TEST(WindowBaseTest, WhatAHandlerThrowsReachesTheReporterAndTheWindowLivesOn) {
  std::vector<std::string> reported;
  mokuna::SetErrorReporter([&](const std::string& text) { reported.push_back(text); });
  Thrower window;
  ASSERT_TRUE(window.Create());
  const struct {
    WPARAM kind;
    const char* text;
  } rows[] = {{0, "壊れた"}, {1, ""}};
  for (const auto& row : rows) {
    reported.clear();
    EXPECT_EQ(SendMessageW(window.Handle(), kThrow, row.kind, 0), 0);  // answered by DefWindowProc
    EXPECT_EQ(reported, std::vector<std::string>{row.text}) << row.kind;
    EXPECT_EQ(SendMessageW(window.Handle(), kPing, 0, 0), 7) << row.kind;
  }
  mokuna::SetErrorReporter(nullptr);
  EXPECT_EQ(SendMessageW(window.Handle(), kThrow, 0, 0), 0);  // no reporter: nothing escapes all the same
  EXPECT_EQ(SendMessageW(window.Handle(), kPing, 0, 0), 7);
}

}  // namespace
