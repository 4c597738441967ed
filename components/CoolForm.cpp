#include "CoolForm.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <vector>

#include "Dpi.h"
#include "device_name.h"
#include "extMaskgenerator.h"
#include "mask_region.h"
#include "sjis.h"
#include "win_text.h"

namespace mokuna {

namespace {

constexpr WPARAM kMoveByCaption = 0xF012;  // SC_MOVE with the caption hit-test: a move that follows the mouse

const char* const kNotBitmap = "ビットマップを持っている時のみイメージの変更が可能です";

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The extension of a Shift-JIS path: the text after the last dot of its last component. A trail byte of
// a double-byte character may equal '\\', so the path is stepped by characters.
std::string ExtensionOf(const std::string& path) {
  std::size_t name_start = 0;
  std::size_t dot = std::string::npos;
  for (std::size_t i = 0; i < path.size();) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    const std::size_t len = sjis::CharLength(path, i);
    if (len == 1) {
      if (c == '\\' || c == '/' || c == ':') {
        name_start = i + 1;
        dot = std::string::npos;
      } else if (c == '.') {
        dot = i;
      }
    }
    i += len;
  }
  if (dot == std::string::npos || dot < name_start) return std::string();
  return path.substr(dot + 1);
}

TCoolForm::TShiftState ShiftFromKeys(WPARAM keys, bool double_click) {
  TCoolForm::TShiftState s = 0;
  if (keys & MK_SHIFT) s |= TCoolForm::ssShift;
  if (keys & MK_CONTROL) s |= TCoolForm::ssCtrl;
  if (keys & MK_LBUTTON) s |= TCoolForm::ssLeft;
  if (keys & MK_RBUTTON) s |= TCoolForm::ssRight;
  if (keys & MK_MBUTTON) s |= TCoolForm::ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= TCoolForm::ssAlt;
  if (double_click) s |= TCoolForm::ssDouble;
  return s;
}

bool CursorOver(HWND window) {
  POINT p;
  RECT r;
  return window && GetCursorPos(&p) && GetWindowRect(window, &r) && PtInRect(&r, p);
}

// For each of the Scale(n, dpi) pixels at dpi, the pixel at 96 it shows: pixel s covers Scale(s) up to
// Scale(s + 1), so a rectangle's edges land where Scale(RECT) puts them.
std::vector<int> NearestSource(int n, int dpi) {
  std::vector<int> map(static_cast<std::size_t>(std::max(Scale(n, dpi), 0)));
  for (int s = 0; s < n; ++s)
    for (int x = std::max(Scale(s, dpi), 0); x < Scale(s + 1, dpi) && x < static_cast<int>(map.size()); ++x)
      map[static_cast<std::size_t>(x)] = s;
  return map;
}

// The rectangles of a mask's region data (header, then the rectangles).
const RECT* MaskRects(std::string_view data, DWORD& count) {
  count = 0;
  if (data.size() < sizeof(RGNDATAHEADER)) return nullptr;
  RGNDATAHEADER header;
  std::copy(data.begin(), data.begin() + sizeof header, reinterpret_cast<char*>(&header));
  const std::size_t room = (data.size() - header.dwSize) / sizeof(RECT);
  count = static_cast<DWORD>(std::min<std::size_t>(header.nCount, room));
  return reinterpret_cast<const RECT*>(data.data() + header.dwSize);
}

}  // namespace

TCoolForm::TCoolForm() : mask_(std::make_unique<TRegionType>(this)) {}

TCoolForm::~TCoolForm() { ClearPicture(); }

void TCoolForm::SetParent(HWND parent) {
  parent_ = parent;
  if (parent && !(GetWindowLongW(parent, GWL_STYLE) & WS_CHILD)) {
    // A form: no caption, no frame.
    LONG style = GetWindowLongW(parent, GWL_STYLE);
    style &= ~(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_BORDER | WS_DLGFRAME);
    style |= WS_POPUP;
    SetWindowLongW(parent, GWL_STYLE, style);
    LONG ex = GetWindowLongW(parent, GWL_EXSTYLE);
    ex &= ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE);
    SetWindowLongW(parent, GWL_EXSTYLE, ex);
    SetWindowPos(parent, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  }
  RECT client{};
  if (parent) GetClientRect(parent, &client);
  width_ = client.right;
  height_ = client.bottom;
  SetTop(0);
  SetLeft(0);
}

void TCoolForm::SetTop(int) {}   // the control's top is always 0
void TCoolForm::SetLeft(int) {}  // the control's left is always 0
void TCoolForm::SetWidth(int value) { width_ = value; }
void TCoolForm::SetHeight(int value) { height_ = value; }

void TCoolForm::SetMask(std::unique_ptr<TRegionType> holder) {
  if (!holder) return;
  holder->SetOwner(this);
  mask_ = std::move(holder);
}

// ---------------------------------------------------------------------------------------------------------
// Picture

void TCoolForm::ClearPicture() {
  if (bitmap_) DeleteObject(bitmap_);
  if (icon_) DestroyIcon(icon_);
  if (metafile_) DeleteEnhMetaFile(metafile_);
  if (shown_) DeleteObject(shown_);
  shown_ = nullptr;
  frame_ = nullptr;
  frame_changed_ = {};
  bitmap_ = nullptr;
  icon_ = nullptr;
  metafile_ = nullptr;
  picture_kind_ = PictureKind::kNone;
  picture_width_ = picture_height_ = 0;
}

void TCoolForm::PictureChanged() {
  // The window keeps its outline until a new mask is applied; only the handle is forgotten.
  mask_->SetRegion(nullptr);
  mask_bytes_.clear();
  BuildShownBitmap();
}

void TCoolForm::SetPictureBitmap(HBITMAP bitmap) {
  if (bitmap && bitmap == bitmap_) {
    PictureChanged();
    return;
  }
  ClearPicture();
  BITMAP info{};
  if (bitmap && GetObjectW(bitmap, sizeof info, &info)) {
    bitmap_ = bitmap;
    picture_kind_ = PictureKind::kBitmap;
    picture_width_ = info.bmWidth;
    picture_height_ = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  } else if (bitmap) {
    DeleteObject(bitmap);
  }
  PictureChanged();
}

void TCoolForm::LoadPicture(const std::string& path) {
  const std::string ext = ExtensionOf(path);
  const std::string kind = LowerAscii(ext);
  if (kind != "bmp" && kind != "ico" && kind != "wmf" && kind != "emf")
    throw std::runtime_error("拡張子 ." + ext + " の画像形式は処理できません");
  const std::runtime_error cannot_open("ファイル " + path + " は開けません");
  if (IsDeviceName(path)) throw cannot_open;  // a console or a serial port, never a picture
  // Pictures are opened relative to the current folder only: a bare name handed to LoadImage is also
  // looked for beside the program, which would show a picture the user's folder does not hold.
  std::wstring wide = WidenSjis(path);
  wchar_t full[MAX_PATH * 2];
  const DWORD full_len = GetFullPathNameW(wide.c_str(), MAX_PATH * 2, full, nullptr);
  if (full_len > 0 && full_len < MAX_PATH * 2) wide.assign(full, full_len);

  if (kind == "bmp") {
    HANDLE image = LoadImageW(nullptr, wide.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (!image) throw cannot_open;
    SetPictureBitmap(static_cast<HBITMAP>(image));
    return;
  }
  if (kind == "ico") {
    HICON icon = static_cast<HICON>(LoadImageW(nullptr, wide.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
    if (!icon) throw cannot_open;
    ICONINFO ii{};
    BITMAP bm{};
    int w = 0, h = 0;
    if (GetIconInfo(icon, &ii)) {
      if (GetObjectW(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof bm, &bm)) {
        w = bm.bmWidth;
        h = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
      }
      if (ii.hbmColor) DeleteObject(ii.hbmColor);
      if (ii.hbmMask) DeleteObject(ii.hbmMask);
    }
    ClearPicture();
    icon_ = icon;
    picture_kind_ = PictureKind::kIcon;
    picture_width_ = w;
    picture_height_ = h;
    PictureChanged();
    return;
  }
  HENHMETAFILE metafile = nullptr;
  if (kind == "emf") {
    metafile = GetEnhMetaFileW(wide.c_str());
  } else {
    // A Windows metafile, usually behind a 22-byte placeable header.
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw cannot_open;
    LARGE_INTEGER size{};
    std::vector<BYTE> bytes;
    DWORD got = 0;
    const bool read = GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (64 << 20) &&
                      (bytes.resize(static_cast<std::size_t>(size.QuadPart)), true) &&
                      ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                      got == bytes.size();
    CloseHandle(file);
    if (!read) throw cannot_open;
    std::size_t skip = 0;
    if (bytes.size() >= 22 && bytes[0] == 0xD7 && bytes[1] == 0xCD && bytes[2] == 0xC6 && bytes[3] == 0x9A) skip = 22;
    metafile = SetWinMetaFileBits(static_cast<UINT>(bytes.size() - skip), bytes.data() + skip, nullptr, nullptr);
  }
  if (!metafile) throw cannot_open;
  ENHMETAHEADER header{};
  GetEnhMetaFileHeader(metafile, sizeof header, &header);
  ClearPicture();
  metafile_ = metafile;
  picture_kind_ = PictureKind::kMetafile;
  picture_width_ = std::max(0L, header.rclBounds.right - header.rclBounds.left + 1);
  picture_height_ = std::max(0L, header.rclBounds.bottom - header.rclBounds.top + 1);
  PictureChanged();
}

std::int32_t TCoolForm::PixelColor(int x, int y) const {
  if (picture_kind_ == PictureKind::kIcon || picture_kind_ == PictureKind::kMetafile)
    throw std::runtime_error(kNotBitmap);
  if (!bitmap_ || x < 0 || y < 0 || x >= picture_width_ || y >= picture_height_) return kInvalidColor;
  // Read the way the mask generator reads, so the transparent colour matches its pixels exactly.
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = picture_width_;
  bmi.bmiHeader.biHeight = picture_height_;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> row(static_cast<std::size_t>(picture_width_));
  HDC dc = CreateCompatibleDC(nullptr);
  const int got = dc ? GetDIBits(dc, bitmap_, static_cast<UINT>(picture_height_ - 1 - y), 1, row.data(), &bmi,
                                 DIB_RGB_COLORS)
                     : 0;
  if (dc) DeleteDC(dc);
  if (got != 1) return kInvalidColor;
  const std::uint32_t p = row[static_cast<std::size_t>(x)];
  return static_cast<std::int32_t>((p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16);
}

// ---------------------------------------------------------------------------------------------------------
// Mask

bool TCoolForm::ApplyMaskBytes(std::string_view bytes) {
  std::string_view data;
  if (!mask::ParseMask(bytes, data)) return false;
  if (data.empty()) {
    mask_->SetRegion(nullptr);
    return true;
  }
  if (!parent_) return false;
  // Only the union of the rectangles within the window is kept: then drawing work follows the window's
  // pixels, however many rectangles a file holds and however they overlap. A file of canonical rectangles
  // inside the window (every one the generator writes) comes through unchanged.
  RECT window{};
  GetWindowRect(parent_, &window);
  const auto in96 = [this](LONG px) {
    return static_cast<std::int32_t>((std::max(px, 0L) * kBaseDpi + dpi_ - 1) / dpi_ + 1);
  };
  mask_bytes_ = mask::EncodeMaskFile(
      mask::Normalize(mask::DecodeRects(data), in96(window.right - window.left), in96(window.bottom - window.top)));
  // The smoothed picture keeps to this outline.
  if (dpi_ != kBaseDpi) BuildShownBitmap();
  ApplyScaledMask();
  return true;
}

void TCoolForm::ApplyScaledMask() {
  std::string_view data;
  if (!parent_ || !mask::ParseMask(mask_bytes_, data) || data.empty()) return;
  std::vector<DWORD> aligned((data.size() + 3) / 4);
  std::copy(data.begin(), data.end(), reinterpret_cast<char*>(aligned.data()));
  DWORD size = static_cast<DWORD>(data.size());
  if (dpi_ != kBaseDpi) {
    // Every rectangle of the outline at 96 scaled edge by edge: the nearest-neighbour outline.
    DWORD count = 0;
    const RECT* rects = MaskRects(data, count);
    auto* header = reinterpret_cast<RGNDATAHEADER*>(aligned.data());
    if (!rects || header->dwSize < sizeof(RGNDATAHEADER) || header->dwSize > data.size()) return;
    RECT* out = reinterpret_cast<RECT*>(reinterpret_cast<char*>(aligned.data()) + header->dwSize);
    DWORD kept = 0;
    for (DWORD i = 0; i < count; ++i) {
      const RECT r = Scale(rects[i], dpi_);
      if (r.left < r.right && r.top < r.bottom) out[kept++] = r;
    }
    header->nCount = kept;
    header->nRgnSize = kept * sizeof(RECT);
    header->rcBound = Scale(header->rcBound, dpi_);
    size = header->dwSize + header->nRgnSize;
  }
  HRGN region = ExtCreateRegion(nullptr, size, reinterpret_cast<const RGNDATA*>(aligned.data()));
  if (!region) {
    mask_->SetRegion(nullptr);
    return;
  }
  // From here on the window owns the region.
  if (!SetWindowRgn(parent_, region, TRUE)) {
    DeleteObject(region);
    region = nullptr;
  }
  mask_->SetRegion(region);
}

bool TCoolForm::LoadMaskFromFile(const std::string& path) {
  HANDLE file = CreateFileW(WidenSjis(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = false;
  try {
    // Only as much as the file holds is ever read or allocated, whatever its first four bytes claim.
    LARGE_INTEGER size{};
    unsigned char first4[4];
    DWORD got = 0;
    std::int32_t n = 0;
    if (GetFileSizeEx(file, &size) && ::ReadFile(file, first4, 4, &got, nullptr) && got == 4 &&
        mask::CheckMaskLength(first4, static_cast<std::uint64_t>(size.QuadPart), n)) {
      std::string bytes(4 + static_cast<std::size_t>(n), '\0');
      std::copy(first4, first4 + 4, bytes.begin());
      got = 0;
      if (n == 0 || (::ReadFile(file, &bytes[4], static_cast<DWORD>(n), &got, nullptr) && got == static_cast<DWORD>(n))) {
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        ok = ApplyMaskBytes(bytes);
      }
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return ok;
}

std::string TCoolForm::SaveMask2() const {
  std::string out(4, '\0');
  if (!mask_->Region() || !parent_) return out;
  // The applied region belongs to the window and may not be touched through its handle any more; the
  // window hands out a copy of its outline instead.
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  if (!copy) return out;
  const DWORD n = GetWindowRgn(parent_, copy) != ERROR ? GetRegionData(copy, 0, nullptr) : 0;
  std::vector<DWORD> data((n + 3) / 4);
  if (n != 0 && GetRegionData(copy, n, reinterpret_cast<RGNDATA*>(data.data())) == n) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(n >> (8 * i) & 0xFF);
    out.append(reinterpret_cast<const char*>(data.data()), n);
  }
  DeleteObject(copy);
  return out;
}

bool TCoolForm::LoadMask2(std::string_view bytes) {
  try {
    return ApplyMaskBytes(bytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void TCoolForm::SetUpShape(const std::string& image_path, const std::string& mask_path) {
  SetDoubleBuffered(true);
  busy_ = true;
  if (CursorOver(parent_)) SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  // The hourglass goes whether the set-up completes or fails.
  struct Restore {
    TCoolForm* self;
    ~Restore() {
      self->busy_ = false;
      if (CursorOver(self->parent_)) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    }
  } restore{this};

  LoadPicture(image_path);
  const std::int32_t pixel = PixelColor(0, 0);
  const COLORREF transparent = pixel == kInvalidColor ? 0xFFFFFF : static_cast<COLORREF>(pixel);
  if (parent_ && DpiOf(parent_) != dpi_) {
    dpi_ = DpiOf(parent_);
    BuildShownBitmap();
  }
  FitParent();
  if (GetFileAttributesW(WidenSjis(mask_path).c_str()) == INVALID_FILE_ATTRIBUTES)
    GenerateMaskFile(bitmap_, transparent, mask_path);
  LoadMaskFromFile(mask_path);
  busy_ = false;
  if (parent_) {
    InvalidateRect(parent_, nullptr, FALSE);
    UpdateWindow(parent_);
  }
}

void TCoolForm::FitParent() {
  if (!parent_) return;
  RECT r{0, 0, Scale(picture_width_ + 1, dpi_), Scale(picture_height_ + 1, dpi_)};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(parent_, GWL_STYLE)), GetMenu(parent_) != nullptr,
                     static_cast<DWORD>(GetWindowLongW(parent_, GWL_EXSTYLE)));
  SetWindowPos(parent_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

// ---------------------------------------------------------------------------------------------------------
// Display scale

int TCoolForm::ShownWidth() const { return Scale(picture_width_, dpi_); }
int TCoolForm::ShownHeight() const { return Scale(picture_height_, dpi_); }

void TCoolForm::SetDpi(int dpi) {
  dpi_ = dpi > 0 ? dpi : kBaseDpi;
  BuildShownBitmap();
  FitParent();
  ApplyScaledMask();
  if (parent_) InvalidateRect(parent_, nullptr, FALSE);
}

void TCoolForm::BuildShownBitmap() {
  if (shown_) DeleteObject(shown_);
  shown_ = nullptr;
  if (dpi_ != kBaseDpi) shown_ = Scaled(bitmap_, false);
}

HBITMAP TCoolForm::ShownLikePicture(HBITMAP frame) const { return Scaled(frame, true); }

void TCoolForm::SetFrame(HBITMAP shown, const RECT* changed) {
  if (shown == frame_) return;
  const RECT anywhere{0, 0, std::max(width_, ShownWidth()), std::max(height_, ShownHeight())};
  const RECT now = !shown ? RECT{} : changed ? *changed : anywhere;
  RECT dirty;
  UnionRect(&dirty, &frame_changed_, &now);
  frame_ = shown;
  frame_changed_ = now;
  if (!parent_ || IsRectEmpty(&dirty)) return;
  // Within the picture and with nothing drawn over it, the change is one opaque blit: drawn at once, without
  // the round trip of a repaint, which is most of what a blink costs. Elsewhere the window repaints.
  const bool in_picture = dirty.left >= 0 && dirty.top >= 0 && dirty.right <= ShownWidth() && dirty.bottom <= ShownHeight();
  if (in_picture && !OnPaint && picture_kind_ == PictureKind::kBitmap && IsWindowVisible(parent_)) {
    if (HDC dc = GetDC(parent_)) {
      const bool drawn = BlitPicture(dc, dirty);
      ReleaseDC(parent_, dc);
      if (drawn) return;
    }
  }
  InvalidateRect(parent_, &dirty, FALSE);
}

// source at the current scale. keep_to_outline: source is a frame of the picture, whose pixels outside
// the outline give way to the picture's own.
HBITMAP TCoolForm::Scaled(HBITMAP source_bitmap, bool keep_to_outline) const {
  const int w = picture_width_, h = picture_height_;
  if (!source_bitmap || !bitmap_ || w <= 0 || h <= 0) return nullptr;
  BITMAP info{};
  if (!GetObjectW(source_bitmap, sizeof info, &info) || info.bmWidth != w || std::abs(info.bmHeight) != h)
    return nullptr;
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = w;
  bmi.bmiHeader.biHeight = -h;  // top-down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> source(static_cast<std::size_t>(w) * h), picture;
  HDC dc = CreateCompatibleDC(nullptr);
  int got = dc ? GetDIBits(dc, source_bitmap, 0, static_cast<UINT>(h), source.data(), &bmi, DIB_RGB_COLORS) : 0;
  if (got == h && keep_to_outline) {
    picture.resize(source.size());
    got = GetDIBits(dc, bitmap_, 0, static_cast<UINT>(h), picture.data(), &bmi, DIB_RGB_COLORS);
  }
  if (got != h) {
    if (dc) DeleteDC(dc);
    return nullptr;
  }
  // Which pixels of the picture lie inside its outline; without a mask, all of them.
  std::vector<char> inside(source.size(), mask_bytes_.empty() ? 1 : 0);
  std::string_view data;
  if (!mask_bytes_.empty() && mask::ParseMask(mask_bytes_, data)) {
    DWORD count = 0;
    const RECT* rects = MaskRects(data, count);
    for (DWORD i = 0; rects && i < count; ++i)
      for (LONG y = std::max(rects[i].top, 0L); y < std::min<LONG>(rects[i].bottom, h); ++y)
        for (LONG x = std::max(rects[i].left, 0L); x < std::min<LONG>(rects[i].right, w); ++x)
          inside[static_cast<std::size_t>(y) * w + x] = 1;
  }
  if (keep_to_outline)
    for (std::size_t i = 0; i < source.size(); ++i)
      if (!inside[i]) source[i] = picture[i];
  const std::vector<int> map_x = NearestSource(w, dpi_), map_y = NearestSource(h, dpi_);
  const int sw = static_cast<int>(map_x.size()), sh = static_cast<int>(map_y.size());
  bmi.bmiHeader.biWidth = sw;
  bmi.bmiHeader.biHeight = -sh;
  void* bits = nullptr;
  HBITMAP shown = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  DeleteDC(dc);
  if (!shown || !bits) {
    if (shown) DeleteObject(shown);
    return nullptr;
  }
  auto* out = static_cast<std::uint32_t*>(bits);
  const bool smooth = dpi_ % kBaseDpi != 0;
  const double step = static_cast<double>(kBaseDpi) / dpi_;
  for (int y = 0; y < sh; ++y) {
    for (int x = 0; x < sw; ++x) {
      const std::size_t nearest = static_cast<std::size_t>(map_y[y]) * w + map_x[x];
      std::uint32_t pixel = source[nearest];
      if (smooth && inside[nearest]) {
        // Bilinear over the neighbours inside the outline only; with none of them inside, the nearest.
        // Pixels outside the outline keep their own colour, so picture and outline agree.
        const double u = std::clamp((x + 0.5) * step - 0.5, 0.0, w - 1.0);
        const double v = std::clamp((y + 0.5) * step - 0.5, 0.0, h - 1.0);
        const int x0 = static_cast<int>(u), y0 = static_cast<int>(v);
        const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
        const double fx = u - x0, fy = v - y0;
        const struct {
          int x, y;
          double weight;
        } taps[] = {{x0, y0, (1 - fx) * (1 - fy)}, {x1, y0, fx * (1 - fy)}, {x0, y1, (1 - fx) * fy}, {x1, y1, fx * fy}};
        double sum[3] = {0, 0, 0}, total = 0;
        for (const auto& t : taps) {
          const std::size_t i = static_cast<std::size_t>(t.y) * w + t.x;
          if (!inside[i] || t.weight <= 0) continue;
          for (int c = 0; c < 3; ++c) sum[c] += t.weight * (source[i] >> (8 * c) & 0xFF);
          total += t.weight;
        }
        if (total > 1e-9) {
          pixel = 0;
          for (int c = 0; c < 3; ++c)
            pixel |= static_cast<std::uint32_t>(std::lround(sum[c] / total)) << (8 * c);
        }
      }
      out[static_cast<std::size_t>(y) * sw + x] = pixel & 0xFFFFFF;
    }
  }
  return shown;
}

// ---------------------------------------------------------------------------------------------------------
// Painting and messages

bool TCoolForm::BlitPicture(HDC dc, const RECT& part) const {
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, frame_ ? frame_ : shown_ ? shown_ : bitmap_);
  const BOOL drawn = BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, source, part.left,
                            part.top, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  return drawn != FALSE;
}

void TCoolForm::PaintContent(HDC dc, const RECT& client) {
  const int w = std::min<int>(ShownWidth(), width_);
  const int h = std::min<int>(ShownHeight(), height_);
  if (picture_kind_ == PictureKind::kBitmap && w > 0 && h > 0) {
    BlitPicture(dc, RECT{0, 0, w, h});
  } else if (picture_kind_ == PictureKind::kIcon) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    DrawIconEx(dc, 0, 0, icon_, ShownWidth(), ShownHeight(), 0, nullptr, DI_NORMAL);
  } else if (picture_kind_ == PictureKind::kMetafile) {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    RECT r{0, 0, ShownWidth(), ShownHeight()};
    PlayEnhMetaFile(dc, metafile_, &r);
  }
  // What the picture does not cover: the erase that WM_ERASEBKGND skipped.
  const int covered_w = picture_kind_ == PictureKind::kBitmap ? std::max(w, 0) : 0;
  const int covered_h = picture_kind_ == PictureKind::kBitmap ? std::max(h, 0) : 0;
  if (picture_kind_ == PictureKind::kBitmap || picture_kind_ == PictureKind::kNone) {
    RECT right{covered_w, 0, client.right, client.bottom};
    RECT below{0, covered_h, covered_w, client.bottom};
    if (right.left < right.right) FillRect(dc, &right, GetSysColorBrush(COLOR_BTNFACE));
    if (below.top < below.bottom) FillRect(dc, &below, GetSysColorBrush(COLOR_BTNFACE));
  }
  if (OnPaint) OnPaint(dc);
}

void TCoolForm::Paint(HDC dc, const RECT* area) {
  RECT client{0, 0, width_, height_};
  if (parent_) GetClientRect(parent_, &client);
  RECT part = client;
  if (area && !IntersectRect(&part, area, &client)) return;
  if (!double_buffered_ || client.right <= 0 || client.bottom <= 0) {
    PaintContent(dc, client);
    return;
  }
  // The buffer covers only the part asked for; everything is drawn at its client position through the origin.
  const int pw = part.right - part.left, ph = part.bottom - part.top;
  HDC buffer = CreateCompatibleDC(dc);
  HBITMAP surface = CreateCompatibleBitmap(dc, pw, ph);
  if (!buffer || !surface) {
    if (buffer) DeleteDC(buffer);
    if (surface) DeleteObject(surface);
    PaintContent(dc, client);
    return;
  }
  HGDIOBJ old = SelectObject(buffer, surface);
  // Text drawn by OnPaint uses the window's font unless it selects its own.
  SelectObject(buffer, GetCurrentObject(dc, OBJ_FONT));
  SetViewportOrgEx(buffer, -part.left, -part.top, nullptr);
  PaintContent(buffer, client);
  BitBlt(dc, part.left, part.top, pw, ph, buffer, part.left, part.top, SRCCOPY);
  SelectObject(buffer, old);
  DeleteObject(surface);
  DeleteDC(buffer);
}

bool TCoolForm::OnControl(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

void TCoolForm::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) swallow_left_up_ = false;
  if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
  if (button != mbLeft || !parent_) return;
  ReleaseCapture();
  // Returns only when the system's move loop is over, which consumes the real release of the button.
  SendMessageW(parent_, WM_SYSCOMMAND, kMoveByCaption, 0);
  // Should a release still be on its way (a move that ended early), it must not be reported a second time.
  swallow_left_up_ = true;
  if (OnMouseUp) OnMouseUp(*this, mbLeft, shift, x, y);
}

bool TCoolForm::HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  result = 0;
  const int x = GET_X_LPARAM(lp);
  const int y = GET_Y_LPARAM(lp);
  switch (msg) {
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(parent_, &ps);
      if (dc) Paint(dc, &ps.rcPaint);
      EndPaint(parent_, &ps);
      return true;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wp));
      return true;
    case WM_SIZE:
      width_ = LOWORD(lp);
      height_ = HIWORD(lp);
      return false;
    case WM_SETCURSOR:
      if (!busy_) return false;
      SetCursor(LoadCursorW(nullptr, IDC_WAIT));
      result = TRUE;
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: {
      if (!OnControl(x, y)) return false;
      const TMouseButton button = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK   ? mbLeft
                                  : msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK ? mbRight
                                                                                     : mbMiddle;
      const bool dbl = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
      MouseDown(button, ShiftFromKeys(wp, dbl), x, y);
      return true;
    }
    case WM_LBUTTONUP:
      if (swallow_left_up_) {
        swallow_left_up_ = false;
        return true;
      }
      if (!OnControl(x, y)) return false;
      if (OnMouseUp) OnMouseUp(*this, mbLeft, ShiftFromKeys(wp, false), x, y);
      return true;
    case WM_RBUTTONUP:
      // Reported, then left to DefWindowProc, which turns it into WM_CONTEXTMENU.
      if (OnControl(x, y) && OnMouseUp) OnMouseUp(*this, mbRight, ShiftFromKeys(wp, false), x, y);
      return false;
    case WM_MBUTTONUP:
      if (!OnControl(x, y)) return false;
      if (OnMouseUp) OnMouseUp(*this, mbMiddle, ShiftFromKeys(wp, false), x, y);
      return true;
    case WM_CONTEXTMENU: {
      if (!PopupMenu || !parent_) return false;
      POINT at{x, y};
      if (lp == -1) {  // from the keyboard: at the control's top-left
        at = POINT{0, 0};
        ClientToScreen(parent_, &at);
      }
      // Without the foreground the menu would not close when the user clicks elsewhere.
      SetForegroundWindow(parent_);
      TrackPopupMenuEx(PopupMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, parent_, nullptr);
      PostMessageW(parent_, WM_NULL, 0, 0);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace mokuna
