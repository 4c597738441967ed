// TTaskTray: an icon with a tip in the notification area, its mouse events as component events, and
// pop-up menus opened when the icon is pressed. TNotifyWindow: the one hidden window of the process that
// receives the notification area's callbacks for every TTaskTray and passes them to the right one.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

#include "WindowBase.h"
#include "tray_core.h"

namespace mokuna {

// Shift state of a mouse event, a set of these bits.
using TShiftState = unsigned;
enum : TShiftState { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };

class TTaskTray;
using TButtonDblClick = std::function<void(TTaskTray& sender, TrayButton button)>;
using TTrayMouseMove = std::function<void(TTaskTray& sender, TShiftState shift, int x, int y)>;
using TTrayMouse = std::function<void(TTaskTray& sender, TrayButton button, TShiftState shift, int x, int y)>;

class TTaskTray {
 public:
  // owner: the form the component belongs to (its window gets the foreground and the menu commands);
  // may be null.
  explicit TTaskTray(HWND owner);
  TTaskTray(const TTaskTray&) = delete;
  TTaskTray& operator=(const TTaskTray&) = delete;
  virtual ~TTaskTray();

  // The after-loading step, once the properties have been given their stored values.
  void Loaded() { UpdateTrayIcon(); }

  const std::string& TipString() const { return tip_; }
  // Shift-JIS; an equal text changes nothing. A notification area that refuses the update is not an
  // error here: the icon stays registered and is added again later.
  void SetTipString(const std::string& tip);
  HICON Icon() const { return icon_; }
  void SetIcon(HICON icon);  // copied; null empties the icon and removes it from the notification area
  int IconID() const { return id_; }
  void SetIconID(int id);
  bool Registered() const { return registered_; }
  void SetRegistered(bool registered);
  HMENU PopupMenuL() const { return menu_l_; }
  HMENU PopupMenuR() const { return menu_r_; }
  void SetPopupMenuL(HMENU menu) { menu_l_ = menu; }
  void SetPopupMenuR(HMENU menu) { menu_r_ = menu; }
  // To be called by whoever destroys a menu: every component's reference to it is cleared.
  static void MenuDestroyed(HMENU menu);

  TButtonDblClick OnDblClick;
  TTrayMouseMove OnMouseMove;
  TTrayMouse OnMouseDown;
  TTrayMouse OnMouseUp;

  virtual void RemoveTrayIcon();
  virtual void UpdateTrayIcon();
  virtual void DblClick(TrayButton button);
  virtual void MouseDown(TrayButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(int x, int y);
  virtual void MouseUp(TrayButton button, TShiftState shift, int x, int y);

  bool Added() const { return added_; }
  const NOTIFYICONDATAA& NotifyRecord() const { return record_; }
  HWND Owner() const { return owner_; }
  // For a component built before its form's window exists.
  void SetOwner(HWND owner) { owner_ = owner; }

  // A notification of the icon (title and text in Shift-JIS), which Windows also keeps in its
  // notification centre. False when the icon is not in the notification area or the shell refused.
  bool ShowInfo(const std::string& title, const std::string& text);

  // The call into the notification area; tests put a recorder in its place (null restores the shell's).
  using NotifyFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAA record);
  static void SetNotifyFunction(NotifyFunction f);
  // The same for notifications, which go in the wide record so that Japanese shows on any system.
  using InfoNotifyFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAW record);
  static void SetInfoNotifyFunction(InfoNotifyFunction f);

 private:
  friend class TNotifyWindow;
  // The taskbar came back (explorer restarted): every icon that should be shown is added again.
  void ReAdd();

  HWND owner_;
  std::string tip_;
  HICON icon_ = nullptr;
  int id_ = 0;
  HMENU menu_l_ = nullptr;
  HMENU menu_r_ = nullptr;
  NOTIFYICONDATAA record_{};
  bool registered_ = false;
  bool added_ = false;
};

// The receiver of message 1126 for all icons of the process. A hidden window owned by the first icon's
// form; top-level (not a child) so that it also hears the taskbar's "TaskbarCreated" broadcast.
// A failure inside a callback goes to the binary's error reporter.
class TNotifyWindow : public Window {
 public:
  explicit TNotifyWindow(HWND owner);

  // Message 1126: wp = icon identifier, lp = mouse message.
  void WMTrayNotify(WPARAM id, LPARAM mouse_message);

 private:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
};

}  // namespace mokuna
