#include "TaskTray.h"

#include <cstring>
#include <memory>

#include "MessageLoop.h"

namespace mokuna {

namespace {

TTaskTray::NotifyFunction g_notify = nullptr;
std::unique_ptr<TNotifyWindow> g_notify_window;
bool g_busy = false;
UINT g_taskbar_created = 0;

BOOL Notify(DWORD message, NOTIFYICONDATAA* record) {
  return g_notify ? g_notify(message, record) : Shell_NotifyIconA(message, record);
}

TTaskTray* ComponentOf(int id) { return static_cast<TTaskTray*>(TrayIdRegistry::Process().Find(id)); }

}  // namespace

// ---- TTaskTray ----

TTaskTray::TTaskTray(HWND owner) : owner_(owner) {
  TrayIdRegistry& registry = TrayIdRegistry::Process();
  id_ = registry.NextId();
  registry.Add(id_, this);
}

TTaskTray::~TTaskTray() {
  try {
    RemoveTrayIcon();
  } catch (...) {
    // Nothing more can be done for an icon while its component goes away.
  }
  TrayIdRegistry::Process().Remove(id_);
  if (icon_) DestroyIcon(icon_);
}

void TTaskTray::SetTipString(const std::string& tip) {
  if (tip == tip_) return;
  tip_ = tip;
  try {
    UpdateTrayIcon();
  } catch (const TrayInvalidOperation&) {
    // No taskbar (none yet, or Explorer restarting): the tip is kept, and it shows once the icon is added
    // again, at the next update or when the taskbar comes back. A clock tip is no reason for a box.
  }
}

void TTaskTray::SetIcon(HICON icon) {
  if (!icon) {
    if (icon_) DestroyIcon(icon_);
    icon_ = nullptr;
    RemoveTrayIcon();
    return;
  }
  HICON copy = CopyIcon(icon);
  if (icon_) DestroyIcon(icon_);
  icon_ = copy;
  UpdateTrayIcon();
}

void TTaskTray::SetIconID(int id) {
  if (id <= 0) throw TrayInvalidOperation(kTrayIdNotPositive);
  if (id == id_) return;
  TrayIdRegistry& registry = TrayIdRegistry::Process();
  if (registry.Contains(id)) throw TrayInvalidOperation(kTrayIdInUse);
  if (registered_) {
    // Removed under the old identifier; the component wants it shown, so it comes back under the new one.
    RemoveTrayIcon();
    registered_ = true;
  }
  registry.Replace(id_, id);
  id_ = id;
  UpdateTrayIcon();
}

void TTaskTray::SetRegistered(bool registered) {
  if (registered == registered_) return;
  if (!registered) {
    RemoveTrayIcon();
    return;
  }
  if (!icon_) throw TrayInvalidOperation(kTrayNoIcon);
  registered_ = true;
  UpdateTrayIcon();
}

void TTaskTray::MenuDestroyed(HMENU menu) {
  if (!menu) return;
  for (const auto& entry : TrayIdRegistry::Process().entries()) {
    TTaskTray* tray = static_cast<TTaskTray*>(entry.second);
    if (tray->menu_l_ == menu) tray->menu_l_ = nullptr;
    if (tray->menu_r_ == menu) tray->menu_r_ = nullptr;
  }
}

void TTaskTray::RemoveTrayIcon() {
  if (added_) Notify(NIM_DELETE, &record_);
  added_ = false;
  registered_ = false;
}

void TTaskTray::UpdateTrayIcon() {
  if (!registered_) return;
  if (!g_notify_window || !g_notify_window->Handle()) g_notify_window = std::make_unique<TNotifyWindow>(owner_);
  if (!added_) {
    // The first form of the record: no balloon or version fields, the same layout on every Windows.
    record_.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record_.hWnd = g_notify_window->Handle();
    record_.uCallbackMessage = kTrayCallbackMessage;
  }
  record_.uID = static_cast<UINT>(id_);
  record_.uFlags = tip_.empty() ? kTrayFlagsNoTip : kTrayFlagsWithTip;
  record_.hIcon = icon_;
  const std::string tip = TrayTipForRecord(tip_);
  std::memset(record_.szTip, 0, sizeof record_.szTip);
  std::memcpy(record_.szTip, tip.data(), tip.size());
  if (!Notify(added_ ? NIM_MODIFY : NIM_ADD, &record_)) throw TrayInvalidOperation(kTrayCannotAdd);
  added_ = true;
}

void TTaskTray::ReAdd() {
  if (!registered_) return;
  added_ = false;
  UpdateTrayIcon();
}

void TTaskTray::DblClick(TrayButton button) {
  if (OnDblClick) OnDblClick(*this, button);
}

void TTaskTray::MouseDown(TrayButton button, TShiftState shift, int x, int y) {
  if (owner_) {
    // The menu only closes on a click elsewhere when its owner is the foreground window.
    SetForegroundWindow(owner_);
    PumpMessages();
  }
  if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
  HMENU menu = button == TrayButton::kLeft ? menu_l_ : button == TrayButton::kRight ? menu_r_ : nullptr;
  if (!menu) return;
  HWND target = owner_ ? owner_ : g_notify_window ? g_notify_window->Handle() : nullptr;
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, x, y, 0, target, nullptr);
  if (target) PostMessageW(target, WM_NULL, 0, 0);
}

void TTaskTray::MouseMove(int x, int y) {
  if (OnMouseMove) OnMouseMove(*this, 0, x, y);
}

void TTaskTray::MouseUp(TrayButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
}

void TTaskTray::SetNotifyFunction(NotifyFunction f) { g_notify = f; }

// ---- TNotifyWindow ----

TNotifyWindow::TNotifyWindow(HWND owner) {
  if (!g_taskbar_created) g_taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
  CreateWin(L"MokunaTrayNotify", WS_EX_TOOLWINDOW, WS_POPUP, 0, 0, 0, 0, owner);
}

void TNotifyWindow::WMTrayNotify(WPARAM id, LPARAM mouse_message) {
  POINT p{};
  GetCursorPos(&p);
  TTaskTray* tray = ComponentOf(static_cast<int>(id));
  // While one callback is handled (a menu may be open for a long time) the others are dropped.
  if (!tray || g_busy) return;
  struct BusyScope {
    BusyScope() { g_busy = true; }
    ~BusyScope() { g_busy = false; }
  } busy;
  const TrayEvent e = TrayEventFor(static_cast<unsigned>(mouse_message));
  const TShiftState shift = e.button == TrayButton::kLeft ? ssLeft : e.button == TrayButton::kRight ? ssRight : ssMiddle;
  switch (e.call) {
    case TrayCall::kMouseMove: tray->MouseMove(p.x, p.y); break;
    case TrayCall::kMouseDown: tray->MouseDown(e.button, shift, p.x, p.y); break;
    case TrayCall::kMouseUp: tray->MouseUp(e.button, shift, p.x, p.y); break;
    case TrayCall::kDblClick: tray->DblClick(e.button); break;
    case TrayCall::kNone: break;
  }
}

LRESULT TNotifyWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kTrayCallbackMessage) {
    WMTrayNotify(wp, lp);
    return 0;
  }
  if (msg == g_taskbar_created && g_taskbar_created) {
    for (const auto& entry : TrayIdRegistry::Process().entries()) {
      try {
        static_cast<TTaskTray*>(entry.second)->ReAdd();
      } catch (const std::exception&) {
        // The new taskbar refused this icon; the next update tries again.
      }
    }
    return 0;
  }
  return DefaultProc(msg, wp, lp);
}

}  // namespace mokuna
