#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about_text.h"

namespace mokuna {
namespace {

TEST(VersionNoteLines, MissingEmptyAndPresentFiles) {
  EXPECT_EQ(std::vector<std::string>{"version.txt がないにょ～(T^T)"}, VersionNoteLines(nullptr));
  const std::string empty;
  EXPECT_TRUE(VersionNoteLines(&empty).empty());
  const std::string notes = "Mokuna 1.0\r\n\r\n修正: 吹き出し\nlast";
  EXPECT_EQ((std::vector<std::string>{"Mokuna 1.0", "", "修正: 吹き出し", "last"}), VersionNoteLines(&notes));
}

TEST(ToggleAboutFold, UnfoldsFromAnyOtherHeightAndFoldsBack) {
  AboutFold f = ToggleAboutFold(kAboutFoldedHeight);
  EXPECT_EQ(522, f.height);
  EXPECT_STREQ("説明とじる", f.button_caption);
  f = ToggleAboutFold(f.height);
  EXPECT_EQ(334, f.height);
  EXPECT_STREQ("つかいかた", f.button_caption);
  EXPECT_EQ(522, ToggleAboutFold(400).height);  // a height changed by someone else still unfolds
}

TEST(AboutTexts, CreditsHaveThreeRolesEachWithNames) {
  const auto lines = CreditLines();
  const std::vector<std::string> roles = {"作った人", "絵をかいてくれた人", "でばぐしてくれてる人"};
  std::size_t role = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("……", 0) == 0) continue;
    ASSERT_LT(role, roles.size()) << lines[i];
    EXPECT_EQ(roles[role++], lines[i]);
    ASSERT_LT(i + 1, lines.size());
    EXPECT_EQ(0u, lines[i + 1].rfind("……", 0)) << "no names after " << lines[i];
  }
  EXPECT_EQ(roles.size(), role);
}

TEST(AboutTexts, UserGuideKeepsLeadingBlanksAndEmptyLines) {
  const auto& guide = UserGuideLines();
  ASSERT_EQ(32u, guide.size());
  EXPECT_EQ("＜＜ つかいかた ＞＞", guide[0]);
  EXPECT_EQ("   5. Mokuna画像ファイル（ｃlimon.bmp)", guide[7]);
  EXPECT_EQ("   終了  見なかったことにする", guide[24]);
  EXPECT_EQ("    説明は…面倒(苦笑)．ためしてみるべし．", guide[31]);
  for (std::size_t i : {8u, 12u, 15u, 18u, 25u, 28u}) EXPECT_EQ("", guide[i]) << i;
}

}  // namespace
}  // namespace mokuna
