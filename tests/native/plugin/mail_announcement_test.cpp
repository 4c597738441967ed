// The tokens that name the newest new messages after the count.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail_announcement.h"

namespace fennick {
namespace {

struct AnnouncementCase {
  const char* what;
  std::vector<MessageNames> named;  // oldest first
  std::size_t new_count;
  const char* tokens;
};

TEST(MailAnnouncement, NamesTheNewestThreeOldestFirst) {
  const MessageNames unreadable;
  const AnnouncementCase cases[] = {
      {"nothing named", {}, 4, ""},
      {"one of one", {{"山田", "会議"}}, 1, " 山田さんから 「会議」"},
      {"one of four: the rest counted", {{"山田", "会議"}}, 4, " 山田さんから 「会議」 ほかに3通あります．"},
      {"five new, the newest three named oldest first",
       {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}, {"e", "5"}}, 5,
       " cさんから 「3」 dさんから 「4」 eさんから 「5」 ほかに2通あります．"},
      {"blanks, commas and quotes quoted by the comma-text rule",
       {{"Suzuki, \"Hana\" Ko", "a b"}}, 1, " \"Suzuki, \"\"Hana\"\" Koさんから\" \"「a b」\""},
      {"headers that could not be read", {unreadable}, 2, " （差出人不明）さんから 「（件名なし）」 ほかに1通あります．"},
  };
  for (const AnnouncementCase& c : cases) EXPECT_EQ(AnnouncementTokens(c.named, c.new_count), c.tokens) << c.what;
}

}  // namespace
}  // namespace fennick
