// The error boundary of the window base: whatever a handler throws reaches the reporter, if any, and the
// window goes on answering.
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
    if (msg == kThrow) throw 42;
    return msg == kPing ? 7 : DefaultProc(msg, wp, lp);
  }
};

TEST(WindowBaseTest, WhatAHandlerThrowsReachesTheReporterAndTheWindowLivesOn) {
  std::vector<std::string> reported;
  Thrower window;
  ASSERT_TRUE(window.Create());
  const struct {
    WPARAM kind;
    bool reporter;
    std::vector<std::string> told;
  } rows[] = {
      {0, true, {"壊れた"}}, {1, true, {""}}, {0, false, {}}};
  for (const auto& row : rows) {
    reported.clear();
    mokuna::SetErrorReporter(row.reporter ? [&](const std::string& text) { reported.push_back(text); }
                                          : mokuna::ErrorReporter());
    EXPECT_EQ(SendMessageW(window.Handle(), kThrow, row.kind, 0), 0);  // answered by DefWindowProc
    EXPECT_EQ(reported, row.told) << row.kind;
    EXPECT_EQ(SendMessageW(window.Handle(), kPing, 0, 0), 7) << row.kind;
  }
  mokuna::SetErrorReporter(nullptr);
}

}  // namespace
