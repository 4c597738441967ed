#include "font_choice.h"

#include <gtest/gtest.h>

#include <string>

namespace mokuna {
namespace {

// Faces as the characters they hold; one draws the sample when it holds all of it. A fallback of kana,
// kanji, digits and hardly any Latin letters must lose to any face that draws "POP", "OK" and "SSL/TLS".
TEST(FontChoice, TakesTheBestFittingFaceThatDrawsTheWindowsTexts) {
  const std::u16string no_latin = u"0123456789 ./:-()\u3042\u30A2\u5E74\u6708\u65E5Aa";
  const std::u16string full = no_latin + u"BCDEFGHIJKLMNOPQRSTUVWXYZbcdefghijklmnopqrstuvwxyz";
  const struct { std::vector<InstalledFace> faces; std::vector<std::u16string> held; bool want_fixed; int chosen; }
      cases[] = {  // faces as {fixed, serif}
      {{{true, false}, {false, false}}, {no_latin, full}, true, 1}, {{{true, false}}, {no_latin}, true, -1},
      {{{false, true}, {true, true}, {true, false}}, {full, full, full}, true, 2},
      {{{false, true}, {true, true}}, {full, full}, true, 1},  // the pitch counts before gothic or mincho
      {{{false, false}, {false, false}}, {full, full}, false, 0},  // ties: the system's order
  };
  for (const auto& c : cases) {
    auto draws = [&](std::size_t i) { return kJapaneseFontSample.find_first_not_of(c.held[i]) == std::u16string::npos; };
    EXPECT_EQ(ChooseJapaneseFace(c.faces, c.want_fixed, draws), c.chosen) << "case " << (&c - cases);
  }
}

}  // namespace
}  // namespace mokuna
