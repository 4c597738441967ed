#include "font_choice.h"

#include <gtest/gtest.h>

#include <string>

namespace mokuna {
namespace {

// Faces as the characters they hold; one draws the sample when it holds all of it. A fallback of kana,
// kanji, digits and hardly any Latin letters must lose to any face that draws "POP", "OK" and "SSL/TLS".
TEST(FontChoice, TakesTheBestFittingFaceThatDrawsTheWindowsTexts) {
  const std::u16string kana = u"0123456789 ./:-()\u3042\u30A2\u5E74\u6708\u65E5";
  const std::u16string no_latin = kana + u"Aa";
  const std::u16string full = kana + u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const struct { std::vector<InstalledFace> faces; std::vector<std::u16string> held; bool want_fixed; int chosen; }
      cases[] = {  // faces as {fixed, serif}
      {{{true, false}, {false, false}}, {no_latin, full}, true, 1},
      {{{true, false}}, {no_latin}, true, -1},
      {{{false, true}, {true, true}, {true, false}}, {full, full, full}, true, 2},
      {{{false, true}, {true, true}}, {full, full}, true, 1},  // the pitch counts before gothic or mincho
      {{{false, false}, {false, false}}, {full, full}, false, 0},  // ties: the system's order
  };
  for (const auto& c : cases) {
    auto draws = [&](std::size_t i) {
      for (char16_t ch : kJapaneseFontSample)
        if (c.held[i].find(ch) == std::u16string::npos) return false;
      return true;
    };
    EXPECT_EQ(ChooseJapaneseFace(c.faces, c.want_fixed, draws), c.chosen) << "case " << (&c - cases);
  }
}

}  // namespace
}  // namespace mokuna
