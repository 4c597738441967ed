// Fonts for Japanese text. They ask for the Japanese character set, so that a system without the named
// face still picks a Japanese one; and when what it picks cannot draw the windows' texts (digits, Latin
// letters, kana and kanji; some fallback faces hold only part of them), an installed Japanese face that
// can is taken instead. Every window's font is made here. Heights are pixels at the window's DPI: callers
// scale their 96-DPI heights with Scale (Dpi.h).
#pragma once

#include <windows.h>

namespace mokuna {

// wanted with its character set made Shift-JIS; the caller deletes the font.
HFONT CreateJapaneseFont(LOGFONTW wanted);

// The same from the usual arguments: a pixel height (negative: character height) and the face name. A font
// for Latin text only may ask for another character set: it is made as asked, without the glyph check.
HFONT CreateJapaneseFont(const wchar_t* face, int height, int weight = FW_NORMAL, bool italic = false,
                         bool underline = false, BYTE pitch_and_family = DEFAULT_PITCH | FF_DONTCARE,
                         BYTE charset = SHIFTJIS_CHARSET);

// A Japanese font whose characters are pixel_height pixels tall; the caller deletes it.
HFONT CreatePixelFont(const wchar_t* face, int pixel_height, bool bold = false, bool italic = false,
                      bool underline = false);

}  // namespace mokuna
