#include "UI3.h"

#include <algorithm>
#include <string>

#include "DLLHead.h"
#include "ShellState.h"
#include "announcement.h"
#include "clock.h"
#include "UI1.h"
#include "CalUnit.h"
#include "UI2.h"
#include "Controls.h"
#include "UI5.h"
#include "dialog_ports.h"
#include "dll_list.h"
#include "file_io.h"
#include "host_error.h"
#include "win_text.h"

namespace mokuna {

TForm3* Form3 = nullptr;

namespace {

constexpr int kDesignLeft = 894;
constexpr int kDesignTop = 393;

int AskRetryBox(HWND owner, const std::string& text) {
  OutputDebugStringA((std::string(kApplicationTitle) + ": " + text + "\n").c_str());
  return MessageBoxW(owner, WidenSjis(text).c_str(), WidenSjis(kApplicationTitle).c_str(),
                     MB_RETRYCANCEL | MB_ICONWARNING | MB_TASKMODAL);
}

// The full path of a file in the current folder, for messages that name it.
std::string FullPath(const std::string& name) {
  wchar_t buffer[MAX_PATH * 2];
  const DWORD n = GetFullPathNameW(WidenSjis(name).c_str(), MAX_PATH * 2, buffer, nullptr);
  if (n == 0 || n >= MAX_PATH * 2) return name;
  return NarrowToSjis(std::wstring_view(buffer, n));
}

}  // namespace

TForm3::TForm3() : QueryNotificationState(QueryUserNotificationState), AskRetry(AskRetryBox) {
  CoolForm1.OnMouseDown = [this](TCoolForm&, TCoolForm::TMouseButton button, TCoolForm::TShiftState shift, int x,
                                 int y) { CoolForm1MouseDown(button, shift, x, y); };
  CoolForm1.OnMouseUp = [this](TCoolForm&, TCoolForm::TMouseButton button, TCoolForm::TShiftState shift, int x,
                               int y) { CoolForm1MouseUp(button, shift, x, y); };
}

TForm3::~TForm3() {
  if (Form3 == this) Form3 = nullptr;
  TTaskTray::MenuDestroyed(PopupMenu1);
  if (PopupMenu1) DestroyMenu(PopupMenu1);
}

bool TForm3::Create(HWND owner) {
  // Borderless and always on top. Owned by the application window, so it has no task-bar button.
  if (!CreateWin(L"TForm3", WS_EX_TOPMOST, WS_POPUP | WS_CLIPCHILDREN, kDesignLeft, kDesignTop,
                 kDesignClientWidth, kDesignClientHeight, owner)) {
    return false;
  }
  CoolForm1.SetParent(Handle());
  Serifu.Attach(Handle(), CoolForm1, [this] { return IsShown; }, &IsSpeaking);
  Serifu.OnTipText = [this](const std::string& tip) { TaskTray1.SetTipString(tip); };
  Speech = &Serifu;
  Timer1.Attach(Handle());
  Timer2.Attach(Handle());
  WatchTimer.Attach(Handle());
  AnimationTimer.Attach(Handle());
  CreatePopupMenu1();
  CoolForm1.PopupMenu = PopupMenu1;
  TimeLabel.Create(Handle());
  SetUpTaskTray1();

  // A failing step ends the creation handler only; the window then shows as designed.
  GuardHandler([this] { FormCreate(); });
  if (Settings.HideOnFullScreen) full_screen_watch_.Start(Handle(), kFullScreenNotice);
  ShowWindow(Handle(), SW_SHOWNOACTIVATE);
  UpdateWindow(Handle());
  return true;
}

// ---------------------------------------------------------------------------------------- start-up

void TForm3::FormCreate() {
  // 1. The scheduler library comes first of all, before edll.ini is read.
  initForm();

  // 2.-3. Speech state. The speech queue and the balloon's lines start empty here.
  IsSpeaking = false;
  IsShown = true;

  // 4. Defaults of the host settings; the clock is off from process start.
  Settings = HostSettings{};
  Presence = CharacterPresence(Settings.HideOnFullScreen);
  WatchTimer.SetEnabled(false);
  SetTimeLabelVisible(false);

  // 5.-6. edll.ini, key by key; a bad value ends the handler here.
  ReadHostSettings();

  // 7. The plug-in submenu.
  BuildPluginMenu();

  // 8.-14. The picture and the outline: hourglass, picture, transparent colour from pixel (0, 0), window =
  // picture + 1, mask file made when missing, outline cut, default cursor, repaint.
  CoolForm1.SetUpShape(Settings.MokunaImage, Settings.MokunaImage + ".msk");
  LoadFrames();

  // 15. From here on the speech refresh and the result poll run.
  Timer1.SetEnabled(true);
  Timer2.SetEnabled(true);

  // 16. The tray icon.
  SetTrayIconRegistered(true);

  // 17. A moment long past, so the first click cannot complete a double click.
  LastClickTime = 0;
}

void TForm3::ReadHostSettings() {
  std::string text;
  // An edll.ini that exists but cannot be read (held open by another program) is reported and then left
  // alone: the defaults this run starts from must not replace the user's settings at exit.
  switch (fileio::ReadFileStatus(kHostIniName, text)) {
    case fileio::ReadStatus::Missing:
      if (fileio::ReadFile(kHostIniSeedName, text)) break;
      return;
    case fileio::ReadStatus::Unreadable:
      HostIni.SetUnreadable();
      throw HostError(std::string("ファイル ") + kHostIniName + " は開けません（このファイルは上書きしません）");
    case fileio::ReadStatus::Ok: break;
  }
  HostIni.Read(text, Settings, [this](HostKey key) { HostKeyApplied(key); });
}

// The values that live in window objects take effect as soon as their key is read, so that a bad value
// further down leaves everything before it in force.
void TForm3::HostKeyApplied(HostKey key) {
  switch (key) {
    case HostKey::EventPolling: Timer2.SetInterval(Settings.EventPolling); break;
    case HostKey::LocalPolling: Timer1.SetInterval(Settings.LocalPolling); break;
    case HostKey::Top: MoveTo(CurrentSettings().Left, Settings.Top); break;
    case HostKey::Left: MoveTo(Settings.Left, CurrentSettings().Top); break;
    case HostKey::ShowCalender: SetN5Caption(Settings.ShowCalender); break;
    case HostKey::ShowTime:
      WatchTimer.SetEnabled(Settings.ShowTime);
      SetTimeLabelVisible(Settings.ShowTime);
      break;
    case HostKey::HideOnFullScreen: Presence.SetHideOnFullScreen(Settings.HideOnFullScreen); break;
    default: break;
  }
}

void TForm3::CreatePopupMenu1() {
  struct Item {
    UINT id;
    const char* caption;  // nullptr: separator
  };
  static const Item kItems[] = {
      {kDebug1, "デバッグ窓"}, {kN4, "ログ吐き出し"}, {kN2, nullptr},          {kDLL1, "拡張DLL"},
      {kN1, "UI 設定..."},     {kN5, "カレンダー表示"}, {kN3, nullptr},          {kAbout1, "About..."},
      {kHide1, "隠す"},        {kExit1, "終了"},
  };
  PopupMenu1 = CreatePopupMenu();
  DLL1 = CreatePopupMenu();
  for (const Item& item : kItems) {
    if (!item.caption) {
      AppendMenuW(PopupMenu1, MF_SEPARATOR | (item.id == kN2 ? MF_GRAYED : 0), item.id, nullptr);
    } else if (item.id == kDLL1) {
      AppendMenuW(PopupMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(DLL1), WidenSjis(item.caption).c_str());
    } else {
      AppendMenuW(PopupMenu1, MF_STRING, item.id, WidenSjis(item.caption).c_str());
    }
  }
}

void TForm3::SetN5Caption(bool calendar_shown) {
  // The caption names what the item does next.
  const char* caption = calendar_shown ? "カレンダー非表示" : "カレンダー表示";
  ModifyMenuW(PopupMenu1, kN5, MF_BYCOMMAND | MF_STRING, kN5, WidenSjis(caption).c_str());
}

void TForm3::BuildPluginMenu() {
  // Item i gets the command kFirstDllItem + i; at most 31 items.
  BuildDllSubmenu(DLL1, Settings.DllList, kFirstDllItem);
}

void TForm3::SetTimeLabelVisible(bool visible) {
  // TimeLabel, the clock over the character, is shown exactly while ShowTime is on.
  if (visible) TimeLabel.SetText(ClockText(CurrentClock().Now()));
  TimeLabel.SetVisible(visible);
}

void TForm3::LoadFrames() {
  if (!Settings.Animate) return;
  const std::string problems = Frames.Load(Settings.MokunaImage, CoolForm1);
  const auto seed = static_cast<std::uint64_t>(GetTickCount64()) ^ (std::uint64_t{GetCurrentProcessId()} << 32);
  Animation = CharacterAnimation(Frames.HasBlink(), Frames.HasTalk(), seed);
  // A frame left out does not stop the start: the character keeps its other frames.
  if (!problems.empty()) ReportError(problems);
}

void TForm3::SetAnimationVisible(bool visible) {
  if (!Animation.Moves()) return;
  if (visible) {
    Animation.Start(CurrentClock().TickMs());
    StepAnimation();
  } else {
    Animation.Stop();
    AnimationTimer.SetEnabled(false);
    CoolForm1.SetFrame(nullptr);  // shown again, it starts from the picture
  }
}

void TForm3::StepAnimation() {
  const std::int64_t now = CurrentClock().TickMs();
  Frames.Show(CoolForm1, Animation.At(now));
  const std::optional<std::int64_t> next = Animation.NextChange();
  if (next) AnimationTimer.Restart(static_cast<int>(std::clamp<std::int64_t>(*next - now, 1, 60000)));
  else AnimationTimer.SetEnabled(false);
}

void TForm3::SetTrayIconRegistered(bool registered) { TaskTray1.SetRegistered(registered); }

void TForm3::OnDpiChanged(int dpi, const RECT& suggested) {
  SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  // The clock first: the resize that follows places it from its new size.
  TimeLabel.SetDpi(dpi);
  CoolForm1.SetFrame(nullptr);
  CoolForm1.SetDpi(dpi);
  Frames.Rebuild(CoolForm1);
  if (Animation.Running()) StepAnimation();
  Serifu.OnDpiChanged(dpi);
  if (CalForm && CalForm->Handle() == CalendarWindow) CalForm->SetDpi(dpi);
  HICON icon = LoadSmallIcon(GetModuleHandleW(nullptr), 1, dpi);
  if (icon) {
    TaskTray1.SetIcon(icon);
    DestroyIcon(icon);
  }
}

void TForm3::SetUpTaskTray1() {
  TaskTray1.SetOwner(Handle());
  TaskTray1.SetPopupMenuR(PopupMenu1);
  // Either button's double click brings the windows back.
  TaskTray1.OnDblClick = [this](TTaskTray&, TrayButton) { TaskTray1DblClick(); };
  HICON icon = LoadSmallIcon(GetModuleHandleW(nullptr), 1);
  if (icon) {
    TaskTray1.SetIcon(icon);  // the component keeps its own copy
    DestroyIcon(icon);
  }
  TaskTray1.Loaded();
}

void TForm3::MoveTo(int left, int top) {
  SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm3::FormShow() {
  // The application window would be the task-bar button; the program is reached through the character,
  // its menu and the tray icon only.
  if (Application.Handle()) ShowWindow(Application.Handle(), SW_HIDE);
}

// ---------------------------------------------------------------------------------------- shutdown

HostSettings TForm3::CurrentSettings() const {
  HostSettings s = Settings;
  RECT r;
  if (Handle() && GetWindowRect(Handle(), &r)) {
    s.Left = r.left;
    s.Top = r.top;
  }
  s.LocalPolling = Timer1.Interval();
  s.EventPolling = Timer2.Interval();
  // The calendar's place is where the window stands now, not where it started.
  if (CalendarWindow && IsWindow(CalendarWindow) && GetWindowRect(CalendarWindow, &r)) {
    s.CalX = r.left;
    s.CalY = r.top;
  }
  return s;
}

bool TForm3::SaveHostSettings() {
  if (!HostIni.MayWrite()) return true;
  const std::string bytes = HostIni.Write(CurrentSettings());
  for (;;) {
    std::string reason;
    if (fileio::WriteFileAtomic(kHostIniName, bytes, &reason)) return true;
    const std::string text = "設定ファイル " + FullPath(kHostIniName) + " に書き込めません。\r\n" + reason +
                             "\r\n\r\n再試行すると、もう一度書き込みます。キャンセルすると、設定を保存せずに終了します。";
    if (AskRetry(Handle(), text) != IDRETRY) return false;
  }
}

void TForm3::FormClose() {
  if (closing_) return;
  closing_ = true;
  // 1. edll.ini. After Cancel the program still ends, without saving.
  SaveHostSettings();
  // 2. The tray icon.
  SetTrayIconRegistered(false);
  // 3. The scheduler library goes last; no call into it follows.
  Timer1.SetEnabled(false);
  Timer2.SetEnabled(false);
  full_screen_watch_.Stop();
  freeForm();
}

// ---------------------------------------------------------------------------------- running program

void TForm3::AddSerifu(const std::string& text) { Serifu.AddSerifu(text); }

void TForm3::PlaceFukidasi() { Serifu.PlaceFukidasi(); }

void TForm3::RefreshSerifu() {
  // Timer1: at most one speech line per tick into the balloon; clears it after its linger time.
  const std::deque<std::string>& queue = Serifu.Queue().SerifuQueue();
  const std::size_t queued = queue.size();
  const std::string line = queued ? queue.front() : std::string();
  Serifu.RefreshSerifu();
  if (queue.size() >= queued || !Animation.Running()) return;
  // The mouth moves for the line that just entered, until the next one may come at the earliest.
  Animation.LineEntered(CurrentClock().TickMs(), line, std::int64_t{Settings.SerifuInterval} * 1000);
  StepAnimation();
}

void TForm3::DispatchResultString() {
  // Timer2: every waiting result string from the scheduler library, dispatched.
  static FunctionResultSource kavrel(isResult, GetResults, AddEntry);
  // What plug-ins say while nobody can see the balloon also goes to the tray, where it stays.
  SpeechNotify notify;
  if (!IsShown && Settings.NotifyWhileHidden)
    notify = [this](const std::string& text) { TaskTray1.ShowInfo("Mokuna", text); };
  mokuna::DispatchResultString(Results ? *Results : kavrel, Serifu, notify);
}

void TForm3::WatchTimerTimer() { TimeLabel.SetText(ClockText(CurrentClock().Now())); }

// ------------------------------------------------------------------------------- character commands

void TForm3::CoolForm1MouseDown(TCoolForm::TMouseButton, TCoolForm::TShiftState, int, int) {
  RECT r;
  GetWindowRect(Handle(), &r);
  DownLeft = r.left;
  DownTop = r.top;
}

// The component fires this after the window move a left press starts, so a drag shows as a new place.
void TForm3::CoolForm1MouseUp(TCoolForm::TMouseButton button, TCoolForm::TShiftState, int, int) {
  if (button != TCoolForm::mbLeft) return;
  RECT r;
  GetWindowRect(Handle(), &r);
  const bool moved = r.left != DownLeft || r.top != DownTop;
  if (DoubleClickRelease(moved, ToDateTime(CurrentClock().Now()), LastClickTime)) Announce();
}

void TForm3::Announce() {
  const auto lines = AnnouncementLines(CurrentClock().Now());
  if (!Speech) return;
  Speech->AddSerifu(lines.first);
  Speech->AddSerifu(lines.second);
}

void TForm3::N5Click() {
  Settings.ShowCalender = !Settings.ShowCalender;
  SetN5Caption(Settings.ShowCalender);
  if (CalendarWindow && IsWindow(CalendarWindow))
    ShowWindow(CalendarWindow, Settings.ShowCalender ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void TForm3::Hide1Click() {
  Presence.Hide();
  HideCharacterWindows();
}

void TForm3::TaskTray1DblClick() {
  Presence.Show();
  ShowCharacterWindows();
}

void TForm3::FullScreenNotice(WPARAM what) {
  if (what != ABN_FULLSCREENAPP && what != FullScreenWatch::kWindowEvent) return;
  full_screen_checks_ = 2;
  CheckFullScreen();
}

void TForm3::CheckFullScreen() {
  if (full_screen_checks_ <= 0 || !Presence.PollDue(GetTickCount())) return;
  --full_screen_checks_;
  if (!Presence.SetNotificationState(QueryNotificationState ? QueryNotificationState() : std::nullopt)) return;
  if (Presence.Shown())
    ShowCharacterWindows();
  else
    HideCharacterWindows();
}

void TForm3::HideCharacterWindows() {
  // ShowCalender stays: the calendar comes back with the character.
  ShowWindow(Handle(), SW_HIDE);
  if (BalloonWindow) ShowWindow(BalloonWindow, SW_HIDE);
  if (CalendarWindow) ShowWindow(CalendarWindow, SW_HIDE);
  IsShown = false;
}

void TForm3::ShowCharacterWindows() {
  ShowWindow(Handle(), SW_SHOWNOACTIVATE);
  if (Settings.ShowCalender && CalendarWindow) ShowWindow(CalendarWindow, SW_SHOWNOACTIVATE);
  IsShown = true;
  // The balloon shows only while something is being said.
  if (BalloonWindow) ShowWindow(BalloonWindow, IsSpeaking ? SW_SHOWNOACTIVATE : SW_HIDE);
}


void TForm3::KeepWindowsReachable() {
  if (MoveIntoReach(Handle())) Serifu.OnExitSizeMove();  // the balloon follows if something is said
  if (!CalendarWindow || !IsWindow(CalendarWindow) || !MoveIntoReach(CalendarWindow)) return;
  // Both brought back from afar land in the same corner: the calendar steps aside.
  RECT c, k, w;
  if (!GetWindowRect(CalendarWindow, &c) || !GetWindowRect(Handle(), &k) || !WorkAreaNear(c, w)) return;
  const ScreenPoint p = ClearOf(ToScreenRect(c), ToScreenRect(k), ToScreenRect(w));
  SetWindowPos(CalendarWindow, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm3::Exit1Click() { PostMessageW(Handle(), WM_CLOSE, 0, 0); }

// ------------------------------------ settings dialog, debug window, About box, plug-in submenu

namespace {

SchedulerPort& Kavrel() {
  static FunctionSchedulerPort port(isResult, GetResults, AddEntry, DirectAction, PropertyPage);
  return port;
}

}  // namespace

class TForm3::SettingsLinkImpl final : public SettingsTarget {
 public:
  explicit SettingsLinkImpl(TForm3& form) : f_(form) {}
  void SetLocalPolling(int ms) override { f_.Timer1.SetInterval(ms); }
  void SetSerifuInterval(int seconds) override { f_.Settings.SerifuInterval = seconds; }
  void SetFukidasiInterval(int seconds) override { f_.Settings.FukidasiInterval = seconds; }
  void SetEventPolling(int ms) override { f_.Timer2.SetInterval(ms); }
  void SetMokunaImage(const std::string& path) override { f_.Settings.MokunaImage = path; }
  void SetMaxSpeaking(int lines) override { f_.Settings.MaxSpeaking = lines; }
  void SetDllList(const std::vector<std::string>& names) override {
    f_.Settings.DllList = names;
    // Rebuilt at once, so that every item passes its own entry.
    f_.BuildPluginMenu();
  }
  void SetShowCalender(bool show) override {
    f_.Settings.ShowCalender = show;
    // The calendar follows the box both ways, and the menu names what its item will do next.
    if (f_.CalendarWindow && IsWindow(f_.CalendarWindow))
      ShowWindow(f_.CalendarWindow, show ? SW_SHOWNOACTIVATE : SW_HIDE);
    f_.SetN5Caption(show);
  }
  void SetShowTime(bool show) override {
    f_.Settings.ShowTime = show;
    f_.WatchTimer.SetEnabled(show);
    f_.SetTimeLabelVisible(show);
  }

 private:
  TForm3& f_;
};

SettingsTarget& TForm3::SettingsLink() {
  if (!settings_link_) settings_link_ = std::make_unique<SettingsLinkImpl>(*this);
  return *settings_link_;
}

void TForm3::Debug1Click() {
  if (Form1) Form1->Show();
}

void TForm3::N1Click() {
  if (Form2) Form2->ShowModal();
}

void TForm3::About1Click() {
  if (Form5) Form5->Show();
}

// The log dump: every waiting result string said whole, undispatched.
void TForm3::N4Click() {
  if (Speech) DumpLog(Kavrel(), *Speech);
}

void TForm3::SubMenu1Click(int index) { mokuna::SubMenu1Click(index, Settings.DllList, Kavrel()); }

// ------------------------------------------------------------------------------------------------------

void TForm3::OnTimer(UINT_PTR id) {
  switch (id) {
    case kTimer1:
      CheckFullScreen();  // first, so a line placed in this tick already knows
      RefreshSerifu();
      break;
    case kTimer2: DispatchResultString(); break;
    case kWatchTimer: WatchTimerTimer(); break;
    case kAnimationTimer: StepAnimation(); break;
    default: break;
  }
}

void TForm3::OnCommand(UINT id) {
  switch (id) {
    case kDebug1: Debug1Click(); break;
    case kN4: N4Click(); break;
    case kN1: N1Click(); break;
    case kN5: N5Click(); break;
    case kAbout1: About1Click(); break;
    case kHide1: Hide1Click(); break;
    case kExit1: Exit1Click(); break;
    default:
      if (id >= kFirstDllItem) SubMenu1Click(static_cast<int>(id - kFirstDllItem));
      break;
  }
}

void TForm3::OnEnterSizeMove() {
  // The balloon hides while the character is dragged.
  Serifu.OnEnterSizeMove();
}

void TForm3::OnExitSizeMove() {
  // The balloon is placed beside the character's new position.
  Serifu.OnExitSizeMove();
}

LRESULT TForm3::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (CoolForm1.HandleParentMessage(msg, wp, lp, result)) return result;
  switch (msg) {
    case WM_TIMER:
      OnTimer(wp);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wp) == 0) OnCommand(LOWORD(wp));
      return 0;
    case WM_SIZE:
      TimeLabel.ParentResized(LOWORD(lp), HIWORD(lp));  // anchored to the bottom edge
      break;
    case WM_SHOWWINDOW:
      if (wp) FormShow();
      SetAnimationVisible(wp != 0);
      break;
    case WM_ENTERSIZEMOVE:
      OnEnterSizeMove();
      return 0;
    case WM_EXITSIZEMOVE:
      OnExitSizeMove();
      return 0;
    case WM_CLOSE:
      if (closing_) return 0;  // a second close while the first one asks about a failed save
      FormClose();
      DestroyWindow(Handle());
      return 0;
    case kShowRequest:
      TaskTray1DblClick();
      return 0;
    case kFullScreenNotice:
      FullScreenNotice(wp);
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wp), *reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_DISPLAYCHANGE:
      KeepWindowsReachable();
      break;
    case WM_SETTINGCHANGE:
      if (wp == SPI_SETWORKAREA) KeepWindowsReachable();
      if (lp && lstrcmpiW(reinterpret_cast<const wchar_t*>(lp), L"intl") == 0) Serifu.ReadLocaleSeparators();
      break;
    case WM_ENDSESSION:
      // Windows is ending: keep the settings as a normal exit would.
      if (wp) FormClose();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default: break;
  }
  return DefaultProc(msg, wp, lp);
}

}  // namespace mokuna
