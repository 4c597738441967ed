#include <gtest/gtest.h>

#include "instance_name.h"
#include "window_place.h"

namespace mokuna {
namespace {

// Two monitors side by side, the second one lower and smaller; the work areas lose a task bar.
const ScreenRect kLeftMonitor{0, 0, 1600, 1200};
const ScreenRect kRightMonitor{1600, 200, 2624, 968};
const ScreenRect kLeftWork{0, 0, 1600, 1160};

ScreenRect At(int left, int top, int w = 118, int h = 104) { return {left, top, left + w, top + h}; }

TEST(WindowPlace, OnlyAWindowShowingLessThanA32Square) {
  const std::vector<ScreenRect> both{kLeftMonitor, kRightMonitor};
  const struct {
    ScreenRect window;
    bool reachable;
  } cases[] = {
      {At(894, 393), true},
      {At(1600 - 32, 1200 - 32), true},   // exactly 32 x 32 in the corner
      {At(1600 - 31, 1000), false},       // 31 wide, below the right monitor
      {At(500, 1200 - 31), false},        // 31 high
      {At(-118 + 32, -104 + 32), true},   // off the top left, a square still shows
      {At(-118 + 31, 0), false},
      {At(1600 - 20, 300), true},         // 20 on the left monitor, the rest on the right one
      {At(1600 - 20, 120), false},        // 20 x 104 on the left, 98 x 24 on the right: no square on either
      {At(5000, 4000), false},            // a monitor that has gone
      {At(2000, 100), false},             // above the smaller monitor, beside the bigger one
      {At(10, 10, 20, 20), true},         // smaller than the square and wholly shown
      {At(-10, 10, 20, 20), false},       // half of a small window is not enough
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.window.left << "," << c.window.top);
    EXPECT_EQ(c.reachable, IsReachable(c.window, both));
  }
  EXPECT_FALSE(IsReachable(At(894, 393), {}));  // no monitor at all
}

TEST(WindowPlace, AnUnreachableWindowMovesAsLittleAsPossibleIntoTheWorkArea) {
  const std::vector<ScreenRect> left_only{kLeftMonitor};
  const struct {
    ScreenRect window;
    ScreenPoint place;
  } cases[] = {
      {At(5000, 4000), {1600 - 118, 1160 - 104}},
      {At(-5000, 300), {0, 300}},            // keeps its height
      {At(800, -3000), {800, 0}},
      {At(800, 1190), {800, 1160 - 104}},    // below the task bar too
      {At(5000, 50, 2000, 1500), {0, 0}},    // bigger than the work area: its top left corner shows
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.window.left << "," << c.window.top);
    const auto place = RescuedPlace(c.window, left_only, kLeftWork);
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(c.place, *place);
  }
  // A reachable window keeps its place even where it overlaps the task bar or the edge.
  EXPECT_FALSE(RescuedPlace(At(1550, 1150), left_only, kLeftWork).has_value());
}

TEST(WindowPlace, ABroughtBackWindowStepsAsideFromTheOther) {
  const ScreenRect character = At(1482, 1056);  // in the bottom right corner of the work area
  const struct {
    ScreenRect calendar;
    ScreenPoint place;
  } cases[] = {
      {At(1362, 970, 238, 190), {1482 - 238, 970}},  // left of it
      {At(0, 970, 238, 190), {0, 970}},              // no overlap: stays
      {At(100, 970, 1500, 190), {100, 1056 - 190}},  // too wide for the left: above
      {At(100, 60, 1500, 1100), {100, 60}},          // fits nowhere: stays where it came back to
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.calendar.left << "," << c.calendar.top << " " << c.calendar.Width());
    EXPECT_EQ(c.place, ClearOf(c.calendar, character, kLeftWork));
  }
}

TEST(InstanceObjectName, OneNamePerFolderWhateverItsSpelling) {
  const std::wstring a = InstanceObjectName(L"C:\\USERS\\A\\MOKUNA");
  EXPECT_EQ(a, InstanceObjectName(L"C:\\USERS\\A\\MOKUNA\\"));
  EXPECT_EQ(a, InstanceObjectName(L"C:/USERS/A/MOKUNA/"));
  EXPECT_NE(a, InstanceObjectName(L"C:\\USERS\\A\\MOKUNA2"));
  EXPECT_NE(a, InstanceObjectName(L"C:\\USERS\\A"));
  EXPECT_NE(a, InstanceObjectName(L"D:\\USERS\\A\\MOKUNA"));
  EXPECT_NE(InstanceObjectName(L"C:\\\x30E2\x30AF"), InstanceObjectName(L"C:\\\x30E2\x30AE"));
  EXPECT_NE(InstanceObjectName(L"C:\\"), InstanceObjectName(L"D:\\"));
  // An object name may not hold a backslash beyond its namespace prefix.
  EXPECT_EQ(std::wstring::npos, a.find(L'\\'));
}

}  // namespace
}  // namespace mokuna
