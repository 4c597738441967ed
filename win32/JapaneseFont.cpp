#include "JapaneseFont.h"

#include <algorithm>
#include <string>
#include <vector>

#include "font_choice.h"

namespace mokuna {

namespace {

bool DrawsSample(HDC dc, HFONT font) {
  const std::wstring sample(kJapaneseFontSample.begin(), kJapaneseFontSample.end());
  std::vector<WORD> glyphs(sample.size());
  HGDIOBJ old = SelectObject(dc, font);
  const bool ok = GetGlyphIndicesW(dc, sample.c_str(), static_cast<int>(sample.size()), glyphs.data(),
                                   GGI_MARK_NONEXISTING_GLYPHS) == sample.size();
  SelectObject(dc, old);
  return ok && std::find(glyphs.begin(), glyphs.end(), 0xFFFF) == glyphs.end();
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
        try {
          auto* list = reinterpret_cast<std::vector<Candidate>*>(p);
          if (lf->lfFaceName[0] == L'@') return 1;  // the vertical variants
          for (const Candidate& c : *list)
            if (c.face == lf->lfFaceName) return 1;
          list->push_back({lf->lfFaceName, (lf->lfPitchAndFamily & 3) == FIXED_PITCH,
                           (lf->lfPitchAndFamily & 0xF0) == FF_ROMAN});
          return 1;
        } catch (...) {
          return 0;  // no exception crosses the system; the faces found so far
        }
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
  // The face the system chose cannot draw the texts: take an installed Japanese face that can.
  const std::vector<Candidate> faces = JapaneseFaces(dc);
  std::vector<InstalledFace> traits;
  for (const Candidate& c : faces) traits.push_back({c.fixed, c.serif});
  HFONT best = nullptr;
  auto draws = [&](std::size_t i) {
    LOGFONTW lf = wanted;
    lstrcpynW(lf.lfFaceName, faces[i].face.c_str(), LF_FACESIZE);
    HFONT candidate = CreateFontIndirectW(&lf);
    if (!candidate || !DrawsSample(dc, candidate)) {
      if (candidate) DeleteObject(candidate);
      return false;
    }
    if (best) DeleteObject(best);
    best = candidate;
    return true;
  };
  ChooseJapaneseFace(traits, (wanted.lfPitchAndFamily & 3) == FIXED_PITCH, draws);
  DeleteDC(dc);
  if (!best) return font;  // nothing better: what the system chose
  DeleteObject(font);
  return best;
}

HFONT CreateJapaneseFont(const wchar_t* face, int height, int weight, bool italic, bool underline,
                         BYTE pitch_and_family, BYTE charset) {
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
  if (charset != SHIFTJIS_CHARSET) {
    lf.lfCharSet = charset;
    return CreateFontIndirectW(&lf);
  }
  return CreateJapaneseFont(lf);
}

HFONT CreatePixelFont(const wchar_t* face, int pixel_height, bool bold, bool italic, bool underline) {
  return CreateJapaneseFont(face, -pixel_height, bold ? FW_BOLD : FW_NORMAL, italic, underline);
}

}  // namespace mokuna
