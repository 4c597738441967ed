#include "JapaneseFont.h"

#include <string>
#include <vector>

namespace mokuna {

namespace {

// What the program's Japanese texts are made of: digits, separators, kana and kanji.
constexpr wchar_t kSample[] = L"0123456789:/ Aa\x3042\x30A2\x5E74\x6708\x65E5";  // あア年月日

bool DrawsSample(HDC dc, HFONT font) {
  HGDIOBJ old = SelectObject(dc, font);
  WORD glyphs[std::size(kSample)] = {};
  const int n = static_cast<int>(std::size(kSample)) - 1;
  const bool ok = GetGlyphIndicesW(dc, kSample, n, glyphs, GGI_MARK_NONEXISTING_GLYPHS) == static_cast<DWORD>(n);
  SelectObject(dc, old);
  if (!ok) return false;
  for (int i = 0; i < n; ++i)
    if (glyphs[i] == 0xFFFF) return false;
  return true;
}

struct Candidate {
  std::wstring face;
  bool fixed;
  bool serif;
};

std::vector<Candidate> JapaneseFaces(HDC dc) {
  std::vector<Candidate> faces;
  LOGFONTW query{};
  query.lfCharSet = SHIFTJIS_CHARSET;
  EnumFontFamiliesExW(
      dc, &query,
      [](const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM p) -> int {
        auto* list = reinterpret_cast<std::vector<Candidate>*>(p);
        if (lf->lfFaceName[0] == L'@') return 1;  // the vertical variants
        for (const Candidate& c : *list)
          if (c.face == lf->lfFaceName) return 1;
        list->push_back({lf->lfFaceName, (lf->lfPitchAndFamily & 3) == FIXED_PITCH,
                         (lf->lfPitchAndFamily & 0xF0) == FF_ROMAN});
        return 1;
      },
      reinterpret_cast<LPARAM>(&faces), 0);
  return faces;
}

}  // namespace

HFONT CreateJapaneseFont(LOGFONTW wanted) {
  wanted.lfCharSet = SHIFTJIS_CHARSET;
  HFONT font = CreateFontIndirectW(&wanted);
  HDC dc = CreateCompatibleDC(nullptr);
  if (!font || !dc || DrawsSample(dc, font)) {
    if (dc) DeleteDC(dc);
    return font;
  }
  // The face the system chose cannot draw the texts. Take an installed Japanese face that can, one of the
  // requested pitch and not a serif one (the program's faces are gothic) where there is such a face.
  const bool want_fixed = (wanted.lfPitchAndFamily & 3) == FIXED_PITCH;
  HFONT best = nullptr;
  int best_score = -1;
  for (const Candidate& c : JapaneseFaces(dc)) {
    const int score = (c.fixed == want_fixed ? 2 : 0) + (c.serif ? 0 : 1);
    if (score <= best_score) continue;
    LOGFONTW lf = wanted;
    lstrcpynW(lf.lfFaceName, c.face.c_str(), LF_FACESIZE);
    HFONT candidate = CreateFontIndirectW(&lf);
    if (!candidate) continue;
    if (!DrawsSample(dc, candidate)) {
      DeleteObject(candidate);
      continue;
    }
    if (best) DeleteObject(best);
    best = candidate;
    best_score = score;
  }
  DeleteDC(dc);
  if (!best) return font;  // nothing better: what the system chose
  DeleteObject(font);
  return best;
}

HFONT CreateJapaneseFont(const wchar_t* face, int height, int weight, bool italic, bool underline,
                         BYTE pitch_and_family) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfItalic = italic;
  lf.lfUnderline = underline;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = pitch_and_family;
  lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  return CreateJapaneseFont(lf);
}

}  // namespace mokuna
