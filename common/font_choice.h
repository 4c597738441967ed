// Which Japanese face draws the program's windows. A system without the faces the windows name picks a
// fallback for the Japanese character set, and some fallbacks hold only part of what the windows show
// (ideographs without Latin letters, say): "POP", "OK" or "SSL/TLS" would then be empty boxes.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace mokuna {

// What every face of the windows must draw: digits, the Latin letters and the signs of the windows'
// texts (names, protocols, dates and times), kana and kanji.
inline constexpr std::u16string_view kJapaneseFontSample =
    u"0123456789 ./:-()ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
    u"\u3042\u30A2\u5E74\u6708\u65E5";  // あア年月日

// An installed Japanese face as the system lists it.
struct InstalledFace {
  bool fixed = false;  // fixed pitch
  bool serif = false;  // a mincho (roman) face; the windows' faces are gothic
};

// The face to take when the one the system chose cannot draw the sample: of the faces that can
// (draws_sample asks, in the order tried), one of the requested pitch first, then a gothic one; the
// system's order breaks ties. -1 when none can.
inline int ChooseJapaneseFace(const std::vector<InstalledFace>& faces, bool want_fixed,
                              const std::function<bool(std::size_t)>& draws_sample) {
  int best = -1;
  int best_score = -1;
  for (std::size_t i = 0; i < faces.size(); ++i) {
    const int score = (faces[i].fixed == want_fixed ? 2 : 0) + (faces[i].serif ? 0 : 1);
    if (score <= best_score || !draws_sample(i)) continue;
    best = static_cast<int>(i);
    best_score = score;
  }
  return best;
}

}  // namespace mokuna
