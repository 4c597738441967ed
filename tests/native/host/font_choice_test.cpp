#include "font_choice.h"

#include <gtest/gtest.h>

#include <string>

namespace mokuna {
namespace {

const std::u16string kDigits = u"0123456789 ./:-()";
const std::u16string kLatin = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
const std::u16string kKanaKanji = u"\u3042\u30A2\u5E74\u6708\u65E5";

// A face holding exactly these characters draws the sample when it has every one of them.
bool Draws(const std::u16string& held) {
  for (char16_t c : kJapaneseFontSample)
    if (held.find(c) == std::u16string::npos) return false;
  return true;
}

TEST(FontChoice, SampleHoldsWhatTheWindowsShow) {
  for (const char16_t* text : {u"POP", u"APOP", u"OK", u"SSL/TLS", u"2001/12/24 23:59", u"Kavrel.dll", u"About..."}) {
    for (const char16_t* c = text; *c; ++c)
      EXPECT_NE(kJapaneseFontSample.find(*c), std::u16string_view::npos) << static_cast<int>(*c);
  }
}

TEST(FontChoice, TakesTheBestFittingFaceThatDrawsTheSample) {
  const std::u16string full = kDigits + kLatin + kKanaKanji;
  const std::u16string no_latin = kDigits + kKanaKanji;  // a fallback of ideographs and digits
  const struct Face {
    InstalledFace traits;
    std::u16string held;
  } fixed_gothic_no_latin{{true, false}, no_latin}, fixed_gothic{{true, false}, full},
      fixed_mincho{{true, true}, full}, gothic{{false, false}, full}, mincho{{false, true}, full};
  const struct {
    std::vector<Face> faces;
    bool want_fixed;
    int chosen;
  } cases[] = {
      {{fixed_gothic_no_latin, gothic}, true, 1},  // the fitting face lacks Latin letters: the other one
      {{fixed_gothic_no_latin}, true, -1},
      {{}, false, -1},
      {{mincho, fixed_mincho, fixed_gothic}, true, 2},
      {{mincho, fixed_mincho}, true, 1},  // the pitch counts before gothic or mincho
      {{fixed_gothic, mincho, gothic}, false, 2},
      {{gothic, gothic}, false, 0},       // ties: the system's order
  };
  for (const auto& c : cases) {
    std::vector<InstalledFace> traits;
    for (const Face& f : c.faces) traits.push_back(f.traits);
    const int chosen =
        ChooseJapaneseFace(traits, c.want_fixed, [&](std::size_t i) { return Draws(c.faces[i].held); });
    EXPECT_EQ(chosen, c.chosen) << "case " << (&c - cases);
  }
}

}  // namespace
}  // namespace mokuna
