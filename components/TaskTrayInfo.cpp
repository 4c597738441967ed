// Notifications of the tray icon: the one message that needs the later, wide form of the record.
#include <cwchar>

#include "TaskTray.h"
#include "win_text.h"

namespace mokuna {
namespace {

TTaskTray::InfoNotifyFunction g_info_notify = nullptr;

// Copies text into a field of count characters; a text too long for it ends in an ellipsis.
template <std::size_t N>
void CopyField(wchar_t (&field)[N], const std::wstring& text) {
  std::wmemset(field, 0, N);
  if (text.size() < N) {
    std::wmemcpy(field, text.data(), text.size());
    return;
  }
  std::wmemcpy(field, text.data(), N - 2);
  field[N - 2] = L'\u2026';
}

}  // namespace

void TTaskTray::SetInfoNotifyFunction(InfoNotifyFunction f) { g_info_notify = f; }

bool TTaskTray::ShowInfo(const std::string& title, const std::string& text) {
  if (!added_) return false;
  NOTIFYICONDATAW record{};
  record.cbSize = NOTIFYICONDATAW_V2_SIZE;
  record.hWnd = record_.hWnd;
  record.uID = record_.uID;
  // Only the notification: icon, tip and callback stay as they are.
  record.uFlags = NIF_INFO;
  record.dwInfoFlags = NIIF_INFO | NIIF_NOSOUND;
  CopyField(record.szInfoTitle, WidenSjis(title));
  CopyField(record.szInfo, WidenSjis(text));
  return (g_info_notify ? g_info_notify(NIM_MODIFY, &record) : Shell_NotifyIconW(NIM_MODIFY, &record)) != FALSE;
}

}  // namespace mokuna
