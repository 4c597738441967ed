// TCoolForm: the picture control that turns the window it sits on into a borderless window cut to the
// outline of its picture, and lets the user drag that window with the left button.
//
// It has no window of its own (an image control). The host window owns one TCoolForm as a member,
// attaches it with SetParent(hwnd) once its window exists (WM_CREATE or right after CreateWindow), and
// forwards its messages first:
//
//   LRESULT TForm3::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
//     LRESULT result = 0;
//     if (CoolForm1.HandleParentMessage(msg, wp, lp, result)) return result;
//     ...                               // the window's own messages
//     return DefaultProc(msg, wp, lp);  // messages nobody took must reach DefWindowProc
//   }
//
// Messages it takes: WM_ERASEBKGND (answered 1, nothing erased: painting covers the whole client area),
// WM_PAINT and WM_PRINTCLIENT (the picture at the top-left, the rest in the button face colour, then the
// OnPaint event for what the owner draws over it), the button presses and releases on the control,
// WM_CONTEXTMENU (the pop-up menu), WM_SETCURSOR while the shaped-window set-up runs, and WM_SIZE (which it
// also passes on: it returns false). WM_RBUTTONUP is reported and passed on, so that DefWindowProc turns it
// into the WM_CONTEXTMENU that opens the menu.
//
// Errors are thrown as std::runtime_error carrying Shift-JIS text; the host's general error handler shows it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace mokuna {

class TCoolForm;

// Holder of the current mask region. Once a region has been applied to the parent window the window owns
// it; the holder keeps only the handle (nullptr: no mask) and never deletes or reads it.
class TRegionType {
 public:
  explicit TRegionType(TCoolForm* owner) : owner_(owner) {}
  HRGN Region() const { return region_; }
  void SetRegion(HRGN region) { region_ = region; }
  TCoolForm* Owner() const { return owner_; }
  void SetOwner(TCoolForm* owner) { owner_ = owner; }

 private:
  HRGN region_ = nullptr;
  TCoolForm* owner_;
};

class TCoolForm {
 public:
  enum TMouseButton { mbLeft, mbRight, mbMiddle };
  // Bits of TShiftState, the keys and buttons held during a mouse event.
  enum : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
  using TShiftState = unsigned;
  // Handler of a press or release: sender, button, shift state, x and y in the control's coordinates
  // (which are the parent's client coordinates: the control always sits at the top-left).
  using TMouseEvent = std::function<void(TCoolForm& sender, TMouseButton button, TShiftState shift, int x, int y)>;
  // Called at the end of every paint with the (possibly off-screen) device context of the client area.
  using TPaintEvent = std::function<void(HDC dc)>;

  // The colour read from a pixel that cannot be read (outside the picture, or no bitmap).
  static constexpr std::int32_t kInvalidColor = -1;

  TCoolForm();
  virtual ~TCoolForm();
  TCoolForm(const TCoolForm&) = delete;
  TCoolForm& operator=(const TCoolForm&) = delete;

  // --- Placement --------------------------------------------------------------------------------------
  // Attaches the control to parent. A top-level parent (a form) loses its caption and frame; a child
  // window as parent is accepted and left as it is. The control then fills the parent's client area at 0, 0.
  void SetParent(HWND parent);
  HWND Parent() const { return parent_; }

  // The control always sits at the parent's top-left corner: SetTop and SetLeft ignore their value.
  virtual void SetTop(int value);
  virtual void SetLeft(int value);
  virtual void SetWidth(int value);
  virtual void SetHeight(int value);
  int Top() const { return 0; }
  int Left() const { return 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // --- Persisted properties ---------------------------------------------------------------------------
  // Kept for the form data; the left button drags whatever its value.
  bool Draggable() const { return draggable_; }
  void SetDraggable(bool value) { draggable_ = value; }

  // The holder of the current mask. SetMask takes the holder over and becomes its owner; nullptr is ignored.
  TRegionType* Mask() const { return mask_.get(); }
  void SetMask(std::unique_ptr<TRegionType> holder);

  // "Mask2", the mask in its stored byte form: int32 N and N bytes of region data (the layout of a mask
  // file), or four zero bytes when there is no mask region. SaveMask2 reads the outline back from the
  // window, which owns the applied region. LoadMask2 applies the bytes like
  // LoadMaskFromFile and gives false, applying nothing, for bytes that do not hold a well-formed mask.
  std::string SaveMask2() const;
  bool LoadMask2(std::string_view bytes);

  // --- Picture ----------------------------------------------------------------------------------------
  // Loads a picture file (bmp; ico, wmf and emf are accepted but hold no bitmap). Throws with
  // "拡張子 .%s の画像形式は処理できません" for another extension and "ファイル %s は開けません" for a file that
  // cannot be opened or read; the old picture then stays. A new picture drops the current mask handle
  // (the window's outline stays until a mask is applied); nothing is repainted or resized.
  void LoadPicture(const std::string& path);
  // Takes ownership of a bitmap as the new picture (nullptr clears it); the same reaction as LoadPicture.
  void SetPictureBitmap(HBITMAP bitmap);
  // The picture's bitmap (owned by the control), or nullptr when the picture holds none.
  HBITMAP PictureBitmap() const { return bitmap_; }
  bool HasPicture() const { return picture_kind_ != PictureKind::kNone; }
  int PictureWidth() const { return picture_width_; }
  int PictureHeight() const { return picture_height_; }
  // The colour (0x00BBGGRR) of pixel x, y of the picture, kInvalidColor when it cannot be read. Throws
  // "ビットマップを持っている時のみイメージの変更が可能です" when the picture is not a bitmap.
  std::int32_t PixelColor(int x, int y) const;

  // --- Display scale ----------------------------------------------------------------------------------
  // The picture and its outline are shown at dpi / 96 of their size on disk. The mask file stays the
  // outline of the picture as it is on disk; the outline at another scale is cut from it by nearest
  // neighbour, and the picture shown there is built from the same mapping, so that edge and picture match
  // pixel for pixel. Integer scales repeat pixels; others are smoothed from the picture's pixels inside
  // the outline only, so the transparent colour never bleeds into the edge. The parent's client area
  // becomes the scaled picture + 1 (scaled). At 96 the picture and the mask are used as they are.
  // SetUpShape takes the parent's DPI; call SetDpi when it changes.
  void SetDpi(int dpi);
  int Dpi() const { return dpi_; }
  // The picture's size as shown at the current scale.
  int ShownWidth() const;
  int ShownHeight() const;

  // --- Frames -----------------------------------------------------------------------------------------
  // A bitmap of the picture's size as it would show at the current scale: the same mapping and
  // smoothing as the picture, and the picture's own pixels wherever the outline (the last mask applied)
  // leaves the frame out. The caller owns the result; nullptr when the frame is not of the picture's size
  // or cannot be read.
  HBITMAP ShownLikePicture(HBITMAP frame) const;
  // Painted in place of the picture until SetFrame(nullptr); not owned, and of the shown size. changed:
  // where it differs from the picture (nullptr: anywhere). A change repaints only where the old or the new
  // frame differs from the picture (double-buffered, nothing erased), so a blink costs an eye's pixels.
  void SetFrame(HBITMAP shown, const RECT* changed = nullptr);

  // --- Mask -------------------------------------------------------------------------------------------
  // Reads a mask file and cuts the parent window to it. False, with mask and outline unchanged, when the
  // file cannot be opened or read or does not hold a well-formed mask. A file with N = 0 gives true, leaves
  // the control without a mask region and the outline unchanged. Without a parent there is nothing to cut:
  // false.
  bool LoadMaskFromFile(const std::string& path);

  // The set-up both shaped windows run at creation: double-buffered painting and the hourglass, load
  // image_path, transparent colour from pixel 0, 0 (white when unreadable), parent client size = picture
  // size + 1, GenerateMaskFile when mask_path does not exist, LoadMaskFromFile, default cursor, repaint.
  // Errors of the picture and of mask creation propagate; the steps after the failing one are not run.
  void SetUpShape(const std::string& image_path, const std::string& mask_path);

  // Paint through an off-screen bitmap, so the picture and what OnPaint draws over it never flicker.
  void SetDoubleBuffered(bool value) { double_buffered_ = value; }
  bool DoubleBuffered() const { return double_buffered_; }

  // --- Events -----------------------------------------------------------------------------------------
  // OnMouseDown fires for every press on the control. A left press then runs the system move of the parent
  // (ReleaseCapture, WM_SYSCOMMAND 0xF012 sent synchronously) and, when the move is over, fires OnMouseUp
  // once for the left button with the press's shift state and position: the owner sees exactly one release
  // per left press and tells a click from a drag by the window's position. Releases of the other buttons
  // fire OnMouseUp from their own messages.
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TPaintEvent OnPaint;
  // Shown at the cursor on a right click (WM_CONTEXTMENU); its commands reach the parent as WM_COMMAND. Not
  // owned. nullptr: no menu.
  HMENU PopupMenu = nullptr;

  // --- Messages of the parent -------------------------------------------------------------------------
  // True when the message was handled; result then holds the answer for the window procedure.
  bool HandleParentMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  // Paints the control (picture at the top-left, the rest of the client area in the button face colour,
  // then OnPaint) into dc.
  void Paint(HDC dc, const RECT* area = nullptr);  // area: the part to paint (nullptr: the whole client area)

 private:
  enum class PictureKind { kNone, kBitmap, kIcon, kMetafile };

  void PictureChanged();
  void ClearPicture();
  bool ApplyMaskBytes(std::string_view bytes);
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  bool OnControl(int x, int y) const;
  void PaintContent(HDC dc, const RECT& client);
  // The bitmap shown (the frame, or the picture at its scale) into dc, part of it at its own place.
  bool BlitPicture(HDC dc, const RECT& part) const;
  void BuildShownBitmap();
  HBITMAP Scaled(HBITMAP source, bool keep_to_outline) const;
  void ApplyScaledMask();
  void FitParent();

  HWND parent_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool draggable_ = true;
  bool double_buffered_ = false;
  bool busy_ = false;                // the set-up runs: the hourglass shows
  bool swallow_left_up_ = false;     // the left release of the last press has been reported already
  std::unique_ptr<TRegionType> mask_;
  PictureKind picture_kind_ = PictureKind::kNone;
  HBITMAP bitmap_ = nullptr;
  HICON icon_ = nullptr;
  HENHMETAFILE metafile_ = nullptr;
  int picture_width_ = 0;
  int picture_height_ = 0;
  int dpi_ = 96;
  HBITMAP shown_ = nullptr;  // the picture at dpi_ (dpi_ != 96 only)
  HBITMAP frame_ = nullptr;  // shown instead of the picture (not owned)
  RECT frame_changed_{};     // where frame_ differs from the picture
  std::string mask_bytes_;   // the last mask applied, within the window (the outline at 96)
};

}  // namespace mokuna
