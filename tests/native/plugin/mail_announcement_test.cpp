// The tokens that name the newest new messages after the count.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "mail_announcement.h"

namespace fennick {
namespace {

// Rows: the messages named (oldest first), how many are new, the tokens.
TEST(MailAnnouncement, NamesTheNewestThreeOldestFirst) {
  const std::tuple<std::vector<MessageNames>, std::size_t, const char*> rows[] = {
      {{}, 4, ""},
      {{{"山田", "会議"}}, 1, " 山田さんから 「会議」"},
      {{{"山田", "会議"}}, 4, " 山田さんから 「会議」 ほかに3通あります．"},
      {{{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}, {"e", "5"}}, 5,
       " cさんから 「3」 dさんから 「4」 eさんから 「5」 ほかに2通あります．"},
      // Blanks, commas and quotes are quoted by the comma-text rule.
      {{{"Suzuki, \"Hana\" Ko", "a b"}}, 1, " \"Suzuki, \"\"Hana\"\" Koさんから\" \"「a b」\""},
      {{MessageNames{}}, 2, " （差出人不明）さんから 「（件名なし）」 ほかに1通あります．"},  // headers unread
  };
  for (const auto& [named, new_count, tokens] : rows) EXPECT_EQ(AnnouncementTokens(named, new_count), tokens);
}

}  // namespace
}  // namespace fennick
