#include "CharacterFrames.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "win_text.h"

namespace mokuna {

namespace {

// The 32-bit pixels of a bitmap w x h, top-down; empty when they cannot be read.
std::vector<std::uint32_t> Pixels(HBITMAP bitmap, int w, int h) {
  BITMAPINFO bmi{};
  bmi.bmiHeader = {sizeof bmi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
  HDC dc = CreateCompatibleDC(nullptr);
  const int got = dc ? GetDIBits(dc, bitmap, 0, static_cast<UINT>(h), pixels.data(), &bmi, DIB_RGB_COLORS) : 0;
  if (dc) DeleteDC(dc);
  if (got != h) pixels.clear();
  return pixels;
}

bool SizeOf(HBITMAP bitmap, int& w, int& h) {
  BITMAP info{};
  if (!GetObjectW(bitmap, sizeof info, &info)) return false;
  w = info.bmWidth;
  h = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  return true;
}

}  // namespace

void TCharacterFrames::Clear() {
  for (HBITMAP* set : {raw_, shown_})
    for (int i = 0; i < kCount; ++i) {
      if (set[i]) DeleteObject(set[i]);
      set[i] = nullptr;
    }
}

std::string TCharacterFrames::Load(const std::string& picture_path, const TCoolForm& picture) {
  Clear();
  std::string problems;
  const int w = picture.PictureWidth(), h = picture.PictureHeight();
  if (!picture.PictureBitmap()) return problems;
  const char* const suffixes[] = {"-blink", "-talk"};
  for (int i = kBlink; i <= kTalk; ++i) {
    const std::string name = FrameFileName(picture_path, suffixes[i]);
    // Relative to the current folder only, as the picture is.
    std::wstring wide = WidenSjis(name);
    wchar_t full[MAX_PATH * 2];
    const DWORD n = GetFullPathNameW(wide.c_str(), MAX_PATH * 2, full, nullptr);
    if (n > 0 && n < MAX_PATH * 2) wide.assign(full, n);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
      continue;
    auto* frame = static_cast<HBITMAP>(
        LoadImageW(nullptr, wide.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    int fw = 0, fh = 0;
    std::string problem;
    if (!frame || !SizeOf(frame, fw, fh)) {
      problem = "ファイル " + name + " は開けません";
    } else if (fw != w || fh != h) {
      problem = name + " は " + std::to_string(fw) + " × " + std::to_string(fh) + " で、" + picture_path + " の " +
                std::to_string(w) + " × " + std::to_string(h) + " と大きさが違うため使いません";
    }
    if (problem.empty()) {
      raw_[i] = frame;
      continue;
    }
    if (frame) DeleteObject(frame);
    problems += (problems.empty() ? "" : "\r\n") + problem;
  }
  if (raw_[kBlink] && raw_[kTalk]) raw_[kBoth] = BothFrame(picture.PictureBitmap());
  Rebuild(picture);
  return problems;
}

// The talk frame with the eyes of the blink frame: every pixel in which the blink frame differs from the
// picture comes from it.
HBITMAP TCharacterFrames::BothFrame(HBITMAP picture) const {
  int w = 0, h = 0;
  if (!SizeOf(picture, w, h)) return nullptr;
  const std::vector<std::uint32_t> base = Pixels(picture, w, h), blink = Pixels(raw_[kBlink], w, h);
  std::vector<std::uint32_t> both = Pixels(raw_[kTalk], w, h);
  if (base.empty() || blink.empty() || both.empty()) return nullptr;
  for (std::size_t i = 0; i < both.size(); ++i)
    if ((blink[i] ^ base[i]) & 0xFFFFFF) both[i] = blink[i];
  BITMAPINFO bmi{};
  bmi.bmiHeader = {sizeof bmi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP out = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (out && bits) std::copy(both.begin(), both.end(), static_cast<std::uint32_t*>(bits));
  return out;
}

void TCharacterFrames::Rebuild(const TCoolForm& picture) {
  HBITMAP still = picture.ShownLikePicture(picture.PictureBitmap());
  int w = 0, h = 0;
  const std::vector<std::uint32_t> base = still && SizeOf(still, w, h) ? Pixels(still, w, h) : std::vector<std::uint32_t>{};
  if (still) DeleteObject(still);
  for (int i = 0; i < kCount; ++i) {
    if (shown_[i]) DeleteObject(shown_[i]);
    shown_[i] = raw_[i] ? picture.ShownLikePicture(raw_[i]) : nullptr;
    changed_[i] = {0, 0, 1 << 20, 1 << 20};  // unknown: anywhere
    const std::vector<std::uint32_t> pixels = shown_[i] && !base.empty() ? Pixels(shown_[i], w, h) : base;
    if (pixels.empty()) continue;
    RECT box{w, h, 0, 0};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if ((pixels[static_cast<std::size_t>(y) * w + x] ^ base[static_cast<std::size_t>(y) * w + x]) & 0xFFFFFF)
          box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                 std::max<LONG>(box.bottom, y + 1)};
    changed_[i] = box.left < box.right ? box : RECT{};
  }
}

int TCharacterFrames::Index(CharacterFrame frame) const {
  if (frame.eyes_closed && frame.mouth_open)
    return shown_[kBoth] ? kBoth : shown_[kTalk] ? kTalk : shown_[kBlink] ? kBlink : -1;
  if (frame.eyes_closed) return shown_[kBlink] ? kBlink : -1;
  if (frame.mouth_open) return shown_[kTalk] ? kTalk : -1;
  return -1;
}

void TCharacterFrames::Show(TCoolForm& picture, CharacterFrame frame) const {
  const int i = Index(frame);
  if (i < 0) picture.SetFrame(nullptr);
  else picture.SetFrame(shown_[i], &changed_[i]);
}

}  // namespace mokuna
