// A day on the desk in a few minutes: the character window with its balloon, calendar and settings dialog,
// the result dispatch and the mail plug-in's CheckMail export, each driven thousands of times in one
// process on a fake clock. Everything is checked as it goes; at the end the process must be as lean as
// after the first tenth of the run and still able to make thousands of regions, fonts and windows.
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CalUnit.h"
#include "Md5unit.h"
#include "UI2.h"
#include "UI3.h"
#include "UI4.h"
#include "Window.h"
#include "clock.h"
#include "file_io.h"
#include "loopback_listener.h"
#include "result_dispatch.h"
#include "scratch_folder.h"
#include "speech_queue.h"
#include "win_text.h"

namespace mokuna {
namespace {

// The whole run, cut into rounds that each do a tenth of every kind of work; the memory figures are taken
// after the first round and after the last. A round is cut into slices, each with one settings dialog,
// one month step and one hide/show cycle, so the kinds of work interleave.
constexpr int kRounds = 10;
constexpr int kSlices = 30;
constexpr int kSpeechLines = 20000;
constexpr int kResults = 5000;
constexpr int kMailChecks = 1000;
constexpr int kLeakProbes = 5000;
constexpr std::int64_t kTickMs = 4000;  // above SerifuInterval: every tick brings the next line

// How much of total is due once slice `slice` of round `round` is done.
int DueBy(int total, int round, int slice) {
  return static_cast<int>(static_cast<long long>(total) * (round * kSlices + slice + 1) / (kRounds * kSlices));
}

// Failures inside long loops: the first few are reported in full, the rest only counted.
struct Tally {
  int failures = 0;
  void Check(bool ok, const std::string& what) {
    if (!ok && ++failures <= 10) ADD_FAILURE() << what;
  }
};

std::vector<std::string> g_errors;
void RecordError(const std::string& text) { g_errors.push_back(text); }

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// The process's private committed memory. Windows gives it twice, as PrivateUsage and PagefileUsage; Wine
// fills in only the second (from the process's anonymous memory).
SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

struct Figures {
  SIZE_T private_bytes;
  DWORD gdi, user;
};
Figures Measure() {
  return {PrivateBytes(), GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
          GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)};
}

// ------------------------------------------------------------------------------------ result strings

struct ResultCase {
  const char* result;
  std::vector<std::string> speech;   // texts said, in order
  std::vector<std::string> entries;  // schedule entries added, in order
  const char* error;                 // what the general error handler shows, or nullptr
};

const std::vector<ResultCase>& ResultCases() {
  static const std::vector<ResultCase> cases = {
      {"Kavrel Timer 0 おはよう 今日も一日よろしくお願いします", {"おはよう", "今日も一日よろしくお願いします"}, {}, nullptr},
      {"Fennick CheckMail 000 メールが3通きています． はやく受信しましょう．",
       {"メールが3通きています．", "はやく受信しましょう．"}, {}, nullptr},
      {"Fennick CheckMail 000", {}, {}, nullptr},
      {"Fennick PropertyPage 900 * * * * /10 Fennick 0 CheckMail", {}, {"* * * * /10 Fennick 0 CheckMail"}, nullptr},
      {"Tplug Run 900 + 10 * * * * Tplug 0 Hello + + 0 12 * * * Tplug 0 Noon", {},
       {"10 * * * * Tplug 0 Hello", "0 12 * * * Tplug 0 Noon"}, nullptr},
      {"Gone Func 501", {"GoneというDLLがないにゅ．"}, {}, nullptr},
      {"Fennick Missing 502", {"FennickというDLLのなかに，Missingという関数ががないにゅ．"}, {}, nullptr},
      {"Fennick CheckMail 101 Cannot Connect to Server",
       {"FennickというDLLのCheckMailという関数で，エラー番号101のエラーが出たにゅ． だめだめにゅ．"}, {}, nullptr},
      {"Fennick CheckMail 102 Receive Failed",
       {"FennickというDLLのCheckMailという関数で，エラー番号102のエラーが出たにゅ． だめだめにゅ．"}, {}, nullptr},
      {"Tplug Run -7", {"TplugというDLLのRunという関数で，エラー番号-7のエラーが出たにゅ． だめだめにゅ．"}, {}, nullptr},
      {"Fennick CheckMail", {}, {}, "リストのインデックスが範囲を超えています (2)"},
      {"Fennick CheckMail OK", {}, {}, "'OK' は整数ではありません"},
      {"", {}, {}, "リストのインデックスが範囲を超えています (2)"},
  };
  return cases;
}

// The scheduler library as the dispatch sees it, holding the strings the test gives it.
class FakeScheduler : public ResultSource {
 public:
  std::deque<std::string> waiting;
  std::vector<std::string> entries;
  bool IsResult() override { return !waiting.empty(); }
  std::string GetResults() override {
    std::string text = waiting.front();
    waiting.pop_front();
    return text;
  }
  void AddEntry(const std::string& entry) override { entries.push_back(entry); }
};

// Notes what the dispatch says and passes it on to the character's speech.
class NotingSpeech : public SpeechSink {
 public:
  NotingSpeech(SpeechSink& next, std::function<void(const std::string&)> on_said) : next_(next), on_said_(on_said) {}
  std::vector<std::string> said;
  void AddSerifu(const std::string& text) override {
    said.push_back(text);
    on_said_(text);
    next_.AddSerifu(text);
  }

 private:
  SpeechSink& next_;
  std::function<void(const std::string&)> on_said_;
};

// -------------------------------------------------------------------------------- the POP3 server

constexpr const char* kSilence = "<silence>";
constexpr const char* kGreeting = "+OK POP3 ready <{n}.soak@127.0.0.1>\r\n";
constexpr const char* kMessage =
    "+OK 300 octets\r\nFrom: a@b\r\nMessage-ID: <{n}@soak.test>\r\nSubject: soak\r\n\r\nbody\r\n.\r\n";

// One step: the command line the server waits for (nullptr: none, the greeting) and its reply
// (nullptr: hang up; kSilence: say nothing until the client gives up).
struct Step {
  const char* expect;
  const char* reply;
};
struct PopScript {
  const char* name;
  bool apop;
  std::vector<Step> steps;
  const char* result;
  int last_mail_num;  // in epop.ini after the check; -1: the file is left as it was
};

const std::vector<PopScript>& PopScripts() {
  static const Step greet{nullptr, kGreeting}, user{"USER soak", "+OK\r\n"}, pass{"PASS secret", "+OK Logged in.\r\n"};
  static const std::vector<PopScript> scripts = {
      {"new mail", false,
       {greet, user, pass, {"STAT", "+OK 3 1200\r\n"}, {"RETR 3", kMessage}, {"QUIT", "+OK Logging out.\r\n"}},
       "Fennick CheckMail 000 メールが3通きています． はやく受信しましょう．", 3},
      {"empty mailbox", false, {greet, user, pass, {"STAT", "+OK 0 0\r\n"}, {"QUIT", "+OK\r\n"}}, "Fennick CheckMail 000", 0},
      {"APOP, count in the reply", true,
       {greet, {"APOP soak {digest}", "+OK soak has 1 message (300 octets)\r\n"}, {"RETR 1", kMessage}, {"QUIT", "+OK\r\n"}},
       "Fennick CheckMail 000 メールが1通きています． はやく受信しましょう．", 1},
      {"unknown user", false, {greet, {"USER soak", "-ERR no such mailbox\r\n"}},
       "Fennick CheckMail 000 ユーザ名が誤っています．", -1},
      {"wrong password", false, {greet, user, {"PASS secret", "-ERR [AUTH] Authentication failed.\r\n"}},
       "Fennick CheckMail 000 パスワードが正しくありません．", -1},
      {"hang-up before the greeting", false, {{nullptr, nullptr}}, "Fennick CheckMail 102 Receive Failed", -1},
      {"hang-up after USER", false, {greet, {"USER soak", nullptr}}, "Fennick CheckMail 102 Receive Failed", -1},
      // Last: the time-out, which costs the plug-in's full wait, is played only a few times.
      {"silence after USER", false, {greet, {"USER soak", kSilence}}, "Fennick CheckMail 101 Cannot Connect to Server", -1},
  };
  return scripts;
}

std::string Fill(std::string text, int call) {
  auto replace = [&](const std::string& key, const std::string& value) {
    for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
  };
  replace("{digest}", fennick::Md5Hex("<" + std::to_string(call) + ".soak@127.0.0.1>secret"));
  replace("{n}", std::to_string(call));
  return text;
}

// Listens on 127.0.0.1 at a port of its own, which epop.ini names, and plays the script set for each call.
class PopServer {
 public:
  PopServer() : listener_(testsupport::ListenOnLoopback(port_)) {
    served_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (Listening()) thread_ = std::thread([this] { Loop(); });
  }
  ~PopServer() {
    closesocket(listener_);
    if (thread_.joinable()) thread_.join();
    CloseHandle(served_);
    WSACleanup();
  }
  bool Listening() const { return listener_ != INVALID_SOCKET; }
  int Port() const { return port_; }

  // The script for the next connection.
  void Expect(const PopScript& script, int call) {
    script_ = &script;
    call_ = call;
    ResetEvent(served_);
  }
  // Waits until the connection was played out; what went wrong on the server's side, or "".
  std::string Served() {
    if (WaitForSingleObject(served_, 20000) != WAIT_OBJECT_0) return "no connection reached the server";
    std::lock_guard<std::mutex> lock(mutex_);
    return problem_;
  }

 private:
  void Loop() {
    for (;;) {
      SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      const std::string problem = Play(client, *script_, call_);
      closesocket(client);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        problem_ = problem;
      }
      SetEvent(served_);
    }
  }

  static std::string Play(SOCKET client, const PopScript& script, int call) {
    for (const Step& step : script.steps) {
      if (step.expect) {
        const std::string want = Fill(step.expect, call), got = ReadLine(client);
        if (got != want) return "expected \"" + want + "\", got \"" + got + "\"";
      }
      if (!step.reply) return "";
      if (step.reply == kSilence) break;
      const std::string reply = Fill(step.reply, call);
      send(client, reply.data(), static_cast<int>(reply.size()), 0);
    }
    WaitForClose(client);
    return "";
  }

  // True when something (or the end) can be read within ms.
  static bool Readable(SOCKET s, int ms) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &limit) == 1;
  }
  static std::string ReadLine(SOCKET s) {
    std::string line;
    char c;
    while (Readable(s, 15000) && recv(s, &c, 1, 0) == 1 && c != '\n') line += c;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  // Longer than the plug-in's own wait, so a silent server sees the client give up.
  static void WaitForClose(SOCKET s) {
    char buffer[256];
    while (Readable(s, 15000) && recv(s, buffer, sizeof buffer, 0) > 0) {
    }
  }

  int port_ = 0;
  SOCKET listener_ = INVALID_SOCKET;
  HANDLE served_ = nullptr;
  std::thread thread_;
  std::atomic<const PopScript*> script_{nullptr};
  std::atomic<int> call_{0};
  std::mutex mutex_;
  std::string problem_;
};

// ------------------------------------------------------------------------------------------ the run

constexpr const char* kSpeech[] = {
    "こんにちは", "今日は2026年12月7日月曜日です", "", "A line of plain ASCII text long enough for three lines",
    "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴ", "x",
};
constexpr UINT kMonthSteps[] = {TCalForm::kN4, TCalForm::kN4, TCalForm::kN3, TCalForm::kN4, TCalForm::kN5};

class Soak : public ::testing::Test {
 protected:
  testsupport::ScratchFolder folder_{L"mokuna-soak"};
  FakeClock clock_{LocalTime{2026, 12, 7, 1, 7, 0, 0, 0}};
  Tally tally_;

  void SetUp() override {
    for (const wchar_t* name : {L"climon.bmp", L"fukidasi.bmp", L"back.bmp", L"mokuna.ico"})
      ASSERT_TRUE(folder_.CopyIn(std::wstring(L"pictures\\") + name));
    SetCurrentClock(&clock_);
    g_errors.clear();
    SetGeneralErrorDisplay(RecordError);
  }
  void TearDown() override {
    SetGeneralErrorDisplay(nullptr);
    SetCurrentClock(nullptr);
  }
};

TEST_F(Soak, ADayOfUseLeavesTheProgramAsLeanAsItStarted) {
  // The windows as the program puts them together.
  TForm3 form3;
  Form3 = &form3;
  ASSERT_TRUE(form3.Create(nullptr));
  TForm4 balloon;
  ASSERT_TRUE(balloon.Create(nullptr));
  form3.Serifu.SetBalloon(&balloon);
  form3.BalloonWindow = balloon.Handle();
  TCalForm calendar;
  ASSERT_TRUE(calendar.FormCreate(20, 20, true, nullptr));
  form3.Settings.ShowCalender = true;
  form3.CalendarWindow = calendar.Handle();
  balloon.Hide();
  TForm2 form2(form3.SettingsLink(), form3.CurrentSettings());
  Form2 = &form2;
  form2.message_box = [&](HWND, const std::string& text, const std::string&, UINT) {
    tally_.Check(false, "settings dialog message: " + text);
    return IDOK;
  };
  form2.show_error = [&](const std::string& text) { tally_.Check(false, "settings dialog error: " + text); };
  ASSERT_TRUE(form2.Create(form3.Handle()));
  ASSERT_TRUE(g_errors.empty()) << g_errors.front();

  // Speech: every line said is expected in the balloon, in order, when the queue lets it out.
  std::deque<std::string> lines;  // lines from number `first_line` on
  long long first_line = 0, added = 0;
  auto said = [&](const std::string& text) {
    for (std::string& line : CutSerifu(text)) lines.push_back(std::move(line));
    added = first_line + static_cast<long long>(lines.size());
  };
  auto tick = [&] {
    clock_.AdvanceMs(kTickMs);
    SendMessageW(form3.Handle(), WM_TIMER, TForm3::kTimer1, 0);
    Pump();
    if (!form3.IsSpeaking) {
      tally_.Check(!balloon.Visible() && balloon.LabelText().empty(), "silence empties and hides the balloon");
      return;
    }
    const long long out = added - static_cast<long long>(form3.Serifu.Queue().SerifuQueue().size());
    if (out == 0) return;
    for (; first_line < out - 1; ++first_line) lines.pop_front();
    const std::string& label = balloon.LabelText(), want = "\r\n" + lines.front();
    tally_.Check(label.size() >= want.size() && label.compare(label.size() - want.size(), want.size(), want) == 0,
                 "balloon shows \"" + label + "\", its last line should be line " + std::to_string(out) + " \"" +
                     lines.front() + "\"");
    tally_.Check(balloon.Visible() == form3.IsShown, "balloon visible while speaking exactly when the character is");
  };
  auto drain = [&] {
    while (!form3.Serifu.Queue().SerifuQueue().empty()) tick();
  };

  // Result strings, one at a time through the dispatch of a tick of Timer2.
  FakeScheduler scheduler;
  NotingSpeech speech(*form3.Speech, said);
  int results = 0;
  auto dispatch = [&] {
    const ResultCase& c = ResultCases()[results++ % ResultCases().size()];
    scheduler.waiting.push_back(c.result);
    scheduler.entries.clear();
    speech.said.clear();
    g_errors.clear();
    GuardHandler([&] { DispatchResultString(scheduler, speech); });
    const std::vector<std::string> errors = c.error ? std::vector<std::string>{c.error} : std::vector<std::string>{};
    tally_.Check(speech.said == c.speech && scheduler.entries == c.entries && g_errors == errors,
                 std::string("result \"") + c.result + "\" dispatched otherwise");
  };

  // The settings dialog opened from the menu, changed, applied and closed with OK.
  int dialogs = 0;
  auto settings = [&] {
    const int n = dialogs++;
    const bool show_calendar = n % 2 != 0, show_time = n % 3 == 0;
    const int polling = 300 + 50 * (n % 4);
    SetControlText(form2.Control(TForm2::kEself), std::to_string(polling));
    SendMessageW(form2.Control(TForm2::kCheckBox1), BM_SETCHECK, show_calendar ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(form2.Control(TForm2::kCheckBox2), BM_SETCHECK, show_time ? BST_CHECKED : BST_UNCHECKED, 0);
    for (int button : {TForm2::kButton2, TForm2::kButton3})  // 適用, then OK
      PostMessageW(form2.Handle(), WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(form2.Control(button)));
    // Should the clicks go astray, キャンセル after a while ends the modal loop and the check below fails.
    const UINT_PTR watchdog = SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR, DWORD) {
      if (Form2) PostMessageW(Form2->Handle(), WM_COMMAND, MAKEWPARAM(TForm2::kButton1, BN_CLICKED), 0);
    });
    SendMessageW(form3.Handle(), WM_COMMAND, TForm3::kN1, 0);
    KillTimer(nullptr, watchdog);
    tally_.Check(!form2.IsModalOpen() && !IsWindowVisible(form2.Handle()), "the dialog closed");
    tally_.Check(form3.Timer1.Interval() == polling && form3.Settings.ShowCalender == show_calendar &&
                     calendar.Visible() == show_calendar && form3.WatchTimer.Enabled() == show_time &&
                     IsWindowEnabled(form3.Handle()),
                 "opening " + std::to_string(n) + " of the settings dialog applied what it held");
  };

  // The calendar's month steps, each painted.
  int steps = 0;
  int shown_year = 2026, shown_month = 12;
  HDC screen = GetDC(nullptr);
  HDC paint_dc = CreateCompatibleDC(screen);
  HBITMAP paint_bitmap = CreateCompatibleBitmap(screen, TCalForm::kClientWidth, TCalForm::kClientHeight);
  HGDIOBJ old_bitmap = SelectObject(paint_dc, paint_bitmap);
  ReleaseDC(nullptr, screen);
  auto step_month = [&] {
    const UINT command = kMonthSteps[steps++ % std::size(kMonthSteps)];
    int months = shown_year * 12 + shown_month - 1;
    if (command == TCalForm::kN4) ++months;
    if (command == TCalForm::kN3) --months;
    if (command == TCalForm::kN5) months = clock_.Now().year * 12 + clock_.Now().month - 1;
    shown_year = months / 12, shown_month = months % 12 + 1;
    SendMessageW(calendar.Handle(), WM_COMMAND, command, 0);
    SendMessageW(calendar.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(paint_dc), PRF_CLIENT);
    wchar_t caption[64] = {};
    GetWindowTextW(calendar.Handle(), caption, 64);
    char want[64];
    std::snprintf(want, sizeof want, "Calender: %d年%d月", shown_year, shown_month);
    tally_.Check(NarrowToSjis(caption) == want, "calendar shows \"" + NarrowToSjis(caption) + "\", not \"" + want + "\"");
  };

  // Hidden from the menu, brought back by the tray icon's double click.
  auto hide_and_show = [&] {
    SendMessageW(form3.Handle(), WM_COMMAND, TForm3::kHide1, 0);
    tally_.Check(!IsWindowVisible(form3.Handle()) && !balloon.Visible() && !calendar.Visible() && !form3.IsShown,
                 "hiding hides the character, the balloon and the calendar");
    form3.TaskTray1DblClick();
    Pump();
    tally_.Check(IsWindowVisible(form3.Handle()) && calendar.Visible() == form3.Settings.ShowCalender &&
                     balloon.Visible() == form3.IsSpeaking && form3.IsShown,
                 "the double click brings back what was shown");
  };

  // The mail plug-in, loaded as the scheduler loads it.
  PopServer server;
  ASSERT_TRUE(server.Listening());
  HMODULE fennick = LoadLibraryW(WidenSjis(FENNICK_DLL_PATH).c_str());
  ASSERT_NE(nullptr, fennick) << FENNICK_DLL_PATH;
  using PluginFunction = const char*(__cdecl*)(int);
  const auto check_mail = reinterpret_cast<PluginFunction>(reinterpret_cast<void*>(GetProcAddress(fennick, "CheckMail")));
  ASSERT_NE(nullptr, check_mail);
  const std::vector<PopScript>& scripts = PopScripts();
  const std::size_t quick_scripts = scripts.size() - 1;
  int checks = 0, time_outs = 0;
  auto check = [&] {
    const int n = checks++;
    // Two time-outs, one in the first tenth and one in the last.
    const bool time_out = n % (kMailChecks * 9 / 10) == kMailChecks / 20;
    const PopScript& script = time_out ? scripts.back() : scripts[n % quick_scripts];
    time_outs += time_out;
    const std::string ini = std::string("Account=soak\r\nPassword=secret\r\nPOPServer=127.0.0.1\r\nisUseAPOP=") +
                            (script.apop ? "1" : "0") + "\r\nPOPPort=" + std::to_string(server.Port()) + "\r\n";
    fileio::WriteFileAtomic("epop.ini", ini);
    server.Expect(script, n);
    const std::string result = check_mail(0);
    const std::string problem = server.Served();
    std::string written;
    fileio::ReadFile("epop.ini", written);
    const bool file_right = script.last_mail_num < 0
                                ? written == ini
                                : written.find("\r\nLastMailNum=" + std::to_string(script.last_mail_num) + "\r\n") !=
                                      std::string::npos;
    tally_.Check(result == script.result && problem.empty() && file_right,
                 std::string(script.name) + ": \"" + result + "\" " + problem + "\nepop.ini:\n" + written);
  };

  std::vector<Figures> figures;
  std::size_t texts = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < kRounds; ++round) {
    for (int slice = 0; slice < kSlices; ++slice) {
      settings();
      step_month();
      hide_and_show();
      while (results < DueBy(kResults, round, slice)) dispatch();
      while (added < DueBy(kSpeechLines, round, slice)) speech.AddSerifu(kSpeech[texts++ % std::size(kSpeech)]);
      drain();
      while (checks < DueBy(kMailChecks, round, slice)) check();
    }
    // The balloon's last lines linger, then it goes.
    for (int i = 0; i < 3 && form3.IsSpeaking; ++i) tick();
    tally_.Check(!form3.IsSpeaking && !balloon.Visible() && balloon.LabelText().empty(), "the balloon went");
    figures.push_back(Measure());
    std::printf("soak round %2d: %6lld ms, private bytes %8llu KiB, GDI %lu, USER %lu\n", round + 1,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start).count()),
                static_cast<unsigned long long>(figures.back().private_bytes / 1024), figures.back().gdi,
                figures.back().user);
  }
  EXPECT_EQ(0, tally_.failures);
  EXPECT_GE(added, kSpeechLines);
  EXPECT_EQ(kResults, results);
  EXPECT_EQ(kRounds * kSlices, dialogs);
  EXPECT_EQ(kRounds * kSlices, steps);
  EXPECT_EQ(kMailChecks, checks);
  EXPECT_EQ(2, time_outs);
  std::printf("soak: %lld speech lines, %d result strings, %d settings dialogs, %d month steps, %d hide/show "
              "cycles, %d CheckMail calls (%d time-outs)\n",
              added, results, dialogs, steps, kRounds * kSlices, checks, time_outs);

  FreeLibrary(fennick);
  SelectObject(paint_dc, old_bitmap);
  DeleteObject(paint_bitmap);
  DeleteDC(paint_dc);

  // Wine counts no GDI or USER objects; where they are counted they must not have grown.
  const Figures& first = figures.front();
  const Figures& last = figures.back();
  const long long growth = static_cast<long long>(last.private_bytes) - static_cast<long long>(first.private_bytes);
  std::printf("soak: private bytes %llu KiB after the first tenth, %llu KiB after the last: %+lld KiB\n",
              static_cast<unsigned long long>(first.private_bytes / 1024),
              static_cast<unsigned long long>(last.private_bytes / 1024), growth / 1024);
  EXPECT_GT(first.private_bytes, 0u);
  EXPECT_LT(growth, 2LL * 1024 * 1024);
  if (first.gdi || first.user) {
    EXPECT_EQ(first.gdi, last.gdi);
    EXPECT_EQ(first.user, last.user);
  } else {
    std::printf("soak: GDI and USER objects are not counted here\n");
  }

  // Afterwards the process can still make plenty of each kind of handle it might have leaked.
  std::vector<HRGN> regions;
  std::vector<HFONT> fonts;
  std::vector<HWND> windows;
  for (int i = 0; i < kLeakProbes; ++i) regions.push_back(CreateRectRgn(0, 0, i % 97 + 1, 10));
  for (int i = 0; i < kLeakProbes; ++i)
    fonts.push_back(CreateFontW(-(10 + i % 13), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0, 0, 0,
                                L"ＭＳ ゴシック"));
  for (int i = 0; i < kLeakProbes; ++i)
    windows.push_back(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, i % 200, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
  auto made = [](const auto& handles) {
    int n = 0;
    for (auto h : handles) n += h != nullptr;
    return n;
  };
  std::printf("soak: afterwards made %d regions, %d fonts, %d windows of %d each\n", made(regions), made(fonts),
              made(windows), kLeakProbes);
  EXPECT_EQ(kLeakProbes, made(regions));
  EXPECT_EQ(kLeakProbes, made(fonts));
  EXPECT_EQ(kLeakProbes, made(windows));
  for (HWND w : windows) DestroyWindow(w);
  for (HFONT f : fonts) DeleteObject(f);
  for (HRGN r : regions) DeleteObject(r);

  SendMessageW(form3.Handle(), WM_CLOSE, 0, 0);
  Form2 = nullptr;
  Form3 = nullptr;
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Tests run in a bare X server without a window manager, where Wine waits two seconds for every hide of a
// window it has handed to the window manager; the soak hides windows hundreds of times. Under Wine it
// therefore keeps its windows to itself, through the per-program setting that Wine reads at start-up: a
// first start sets it and runs the program again. Windows ignores the key.
bool KeepWindowsUnmanaged() {
  if (GetEnvironmentVariableW(L"MOKUNA_SOAK_AGAIN", nullptr, 0) != 0) return false;  // once is enough
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, n);
  name = name.substr(name.find_last_of(L"\\/") + 1);
  const std::wstring key = L"Software\\Wine\\AppDefaults\\" + name + L"\\X11 Driver";
  wchar_t value[8] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"Managed", RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS &&
      std::wstring(value) == L"N")
    return false;
  HKEY handle;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const LONG set = RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 2 * sizeof(wchar_t));
  RegCloseKey(handle);
  return set == ERROR_SUCCESS;
}

int RunAgain() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  std::wstring command = GetCommandLineW();
  SetEnvironmentVariableW(L"MOKUNA_SOAK_AGAIN", L"1");
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "could not start the soak again: error %lu\n", GetLastError());
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace
}  // namespace mokuna

int main(int argc, char** argv) {
  if (mokuna::UnderWine() && mokuna::KeepWindowsUnmanaged()) return mokuna::RunAgain();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
