#include "Engine.h"

#include <objbase.h>
#include <process.h>

#include <cstdint>

#include "Dpi.h"
#include "MessageLoop.h"
#include "TimetablePage.h"
#include "clock.h"
#include "config_file.h"
#include "file_io.h"
#include "tokenizer.h"
#include "win_text.h"

namespace kavrel {

namespace {

// How long freeForm lets a plug-in call finish: first on its own, then after its windows were asked to
// close (a settings page left open at shutdown closes like Cancel).
constexpr DWORD kStopGraceMs = 1000;
constexpr DWORD kStopCloseMs = 9000;

// Plug-in exports take one 32-bit value and return a string that stays theirs.
using PluginFunction = const char*(__cdecl*)(std::int32_t);

// kavrel.ini as a full path, when the folder's name survives the trip through Shift-JIS; otherwise the
// bare name, read relative to the current directory at each use.
std::string ResolveIniPath() {
  wchar_t full[MAX_PATH];
  const DWORD n = GetFullPathNameW(L"kavrel.ini", MAX_PATH, full, nullptr);
  if (n == 0 || n >= MAX_PATH) return "kavrel.ini";
  const std::string narrow = mokuna::NarrowToSjis(std::wstring_view(full, n));
  return mokuna::WidenSjis(narrow) == std::wstring_view(full, n) ? narrow : "kavrel.ini";
}

BOOL CALLBACK PostClose(HWND hwnd, LPARAM) noexcept {
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  return TRUE;
}

BOOL CALLBACK Destroy(HWND hwnd, LPARAM) noexcept {
  DestroyWindow(hwnd);
  return TRUE;
}

std::wstring FullPath(const std::wstring& path) {
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return {};
  std::wstring full(n, L'\0');
  const DWORD got = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
  if (got == 0 || got >= n) return {};
  full.resize(got);
  return full;
}

// The folder Kavrel.dll was loaded from, ending in a backslash; empty when it cannot be told.
std::wstring OwnFolder() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&OwnFolder), &self))
    return {};
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(self, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
  const std::wstring full = FullPath(path);
  const std::size_t slash = full.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash + 1);
}

// The file of plug-in dll in folder, or empty when the name would lead anywhere else.
std::wstring PluginPath(const std::wstring& folder, const std::string& dll) {
  const std::wstring name = mokuna::WidenSjis(dll);
  if (folder.empty() || name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos) return {};
  const std::wstring full = FullPath(folder + name + L".dll");
  const bool inside = full.size() > folder.size() &&
                      CompareStringOrdinal(full.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                           static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL &&
                      full.find_first_of(L"\\/", folder.size()) == std::wstring::npos;
  return inside ? full : std::wstring();
}

}  // namespace

struct Engine::Shared {
  struct Job {
    Call call;
    bool scheduled;  // from the timetable (rather than DirectAction or PropertyPage)
  };

  std::mutex mutex;
  Timetable timetable;    // under mutex
  std::deque<Job> jobs;   // under mutex: calls waiting for the worker, oldest first
  ResultQueue results;
  HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  std::atomic<bool> stop{false};
  std::atomic<HWND> page{nullptr};

  Shared() = default;
  Shared(const Shared&) = delete;
  Shared& operator=(const Shared&) = delete;
  ~Shared() {
    if (wake) CloseHandle(wake);
  }
};

namespace {

// The worker thread: owns a message loop (plug-ins may show windows, even modal ones), makes every plug-in
// call one at a time, checks the timetable about every second and keeps the loaded plug-ins.
class Worker {
 public:
  explicit Worker(Engine::Shared& shared) : s_(shared) {}

  void Run() {
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, nullptr);
    // Common dialogs that plug-ins open (a sound file chooser) want a single-threaded apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    folder_ = OwnFolder();
    while (!s_.stop) {
      try {
        if (Step()) continue;
      } catch (...) {
        // Out of memory for one call or string, or an exception a plug-in let out: drop that call and keep
        // serving the others.
      }
      MsgWaitForMultipleObjectsEx(1, &s_.wake, UntilNextSecond(), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    // Windows a plug-in left behind must go before its code is unloaded.
    EnumThreadWindows(GetCurrentThreadId(), Destroy, 0);
    try {
      mokuna::PumpMessages(true);
    } catch (...) {
      // A plug-in's window that throws while going: it is gone all the same.
    }
    for (auto& m : modules_) FreeLibrary(m.second);
    modules_.clear();
    if (SUCCEEDED(com)) CoUninitialize();
  }

 private:
  // One round: messages, due entries, at most one call. True when a call ran (look again at once).
  bool Step() {
    mokuna::PumpMessages(true);  // a quit request is dropped: only freeForm ends this loop
    if (s_.stop) return true;
    Engine::Shared::Job job;
    {
      std::lock_guard<std::mutex> lock(s_.mutex);
      for (Call& call : s_.timetable.TakeDue(mokuna::CurrentClock())) {
        // A scheduled call still waiting from an earlier minute is not queued a second time, so a slow
        // plug-in cannot pile up calls.
        bool waiting = false;
        for (const auto& j : s_.jobs) waiting = waiting || (j.scheduled && SameCall(j.call, call));
        if (!waiting) s_.jobs.push_back({std::move(call), true});
      }
      if (s_.jobs.empty()) return false;
      job = std::move(s_.jobs.front());
      s_.jobs.pop_front();
    }
    RunCall(job.call);
    return true;
  }

  // Wakes shortly after the next full second of the clock, so each minute is looked at in time.
  static DWORD UntilNextSecond() {
    const int ms = mokuna::CurrentClock().Now().millisecond;
    return static_cast<DWORD>(1000 - ms + 10);
  }

  // Plug-ins come from Kavrel.dll's own folder only: never from the current folder, PATH or the system
  // folders, where a stale or mistyped name would load whatever DLL of that name lies there.
  HMODULE Module(const std::string& dll) {
    for (const auto& m : modules_)
      if (m.first == dll) return m.second;
    const std::wstring path = PluginPath(folder_, dll);
    if (path.empty()) return nullptr;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
    HMODULE module =
        LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    // A Windows 7 without the search-folder update knows only the older way to look beside the DLL first.
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
      module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module) modules_.emplace_back(dll, module);
    return module;
  }

  void RunCall(const Call& call) {
    const HMODULE module = Module(call.dll);
    if (!module) {
      s_.results.Push(call.dll + " " + call.function + " 501");
      return;
    }
    const FARPROC proc = GetProcAddress(module, call.function.c_str());
    if (!proc) {
      s_.results.Push(call.dll + " " + call.function + " 502");
      return;
    }
    const auto function = reinterpret_cast<PluginFunction>(reinterpret_cast<void*>(proc));
    // A plug-in that knows nothing of DPI has its windows scaled by the system; one that does opts in itself.
    const mokuna::ThreadDpiAwareness unaware(mokuna::ThreadDpiAwareness::Kind::Unaware);
    // The plug-in keeps its string only until its next call: copy it at once.
    if (const char* result = function(call.arg)) s_.results.Push(result);
  }

  Engine::Shared& s_;
  std::wstring folder_;                                   // Kavrel.dll's folder, where plug-ins are
  std::vector<std::pair<std::string, HMODULE>> modules_;  // by DLL name as given, in load order
};

unsigned __stdcall WorkerMain(void* param) noexcept {
  // The worker's own reference: everything it touches stays alive even if freeForm stopped waiting.
  const std::unique_ptr<std::shared_ptr<Engine::Shared>> shared(static_cast<std::shared_ptr<Engine::Shared>*>(param));
  try {
    Worker(**shared).Run();
  } catch (...) {
    // Nothing may unwind out of a thread; the library goes on without its worker.
  }
  return 0;
}

}  // namespace

Engine::Engine() : shared_(std::make_shared<Shared>()) {}

Engine::~Engine() { Stop(); }

void Engine::Start() {
  path_ = ResolveIniPath();
  std::string text;
  std::vector<LoadProblem> problems;
  std::string reason;
  unreadable_ = false;
  switch (fileio::ReadFileStatus(path_, text, &reason)) {
    case fileio::ReadStatus::Ok: {
      std::lock_guard<std::mutex> lock(shared_->mutex);
      problems = LoadTimetable(text, shared_->timetable, mokuna::CurrentClock());
      saved_ = std::move(text);
      break;
    }
    case fileio::ReadStatus::Missing: break;
    case fileio::ReadStatus::Unreadable:
      // Held open by another program, say: the timetable starts empty, and the user's file must not be
      // replaced by it.
      unreadable_ = true;
      Report("initForm", "500 Cannot read kavrel.ini: " + reason);
      break;
  }
  for (const LoadProblem& p : problems)
    Report("initForm", "400 kavrel.ini line " + std::to_string(p.line) + ": " + p.reason);

  bool idle;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    idle = shared_->timetable.size() == 0;
  }
  if (!idle) StartWorker("initForm");
}

// The worker starts with the first thing to do: a thread costs the host's process as much memory as all
// its windows, and a timetable without entries may never get one.
void Engine::StartWorker(const char* function) {
  if (thread_ || worker_failed_) return;
  auto* param = new std::shared_ptr<Shared>(shared_);
  unsigned id = 0;
  thread_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WorkerMain, param, 0, &id));
  if (!thread_) {
    delete param;
    worker_failed_ = true;
    Report(function, "500 Cannot start the worker thread");
    return;
  }
  thread_id_ = id;
}

void Engine::Stop() {
  if (page_) {
    page_.reset();
    TimetablePage::UnregisterWindowClass();
  }
  if (thread_) {
    shared_->stop = true;
    SetEvent(shared_->wake);
    if (WaitForSingleObject(thread_, kStopGraceMs) == WAIT_TIMEOUT) {
      EnumThreadWindows(thread_id_, PostClose, 0);
      // A call that still does not return is left to finish on its own; its plug-in stays loaded
      // until then, since unloading code that runs would crash the process.
      WaitForSingleObject(thread_, kStopCloseMs);
    }
    CloseHandle(thread_);
    thread_ = nullptr;
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->jobs.clear();
  }
  EndIntake();
  Save("freeForm");
  shared_->results.Clear();
}

int Engine::ResultCount() {
  EndIntake();
  const std::size_t n = shared_->results.Count();
  return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n);
}

const char* Engine::NextResult() {
  EndIntake();
  if (!shared_->results.Pop(current_)) current_.clear();
  const std::vector<std::string> tokens = SplitCommaText(current_);
  intake_.open = tokens.size() > 3 && config::ParseInt(tokens[2]) == 900;
  return current_.c_str();
}

namespace {

std::string FullRemark(std::size_t refused) {
  return "400 Timetable full (" + std::to_string(kMaxEntries) + " entries), " + std::to_string(refused) +
         " not added";
}

}  // namespace

void Engine::AddEntry(std::string_view text) {
  if (intake_.open && intake_.taken++ >= kMaxEntriesPerResult) {
    ++intake_.over_result;
    return;
  }
  const ParsedEntry parsed = ParseEntry(text);
  if (!parsed.ok()) {
    Report("AddEntry", "400 " + parsed.error);
    return;
  }
  Timetable::Change change;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    change = shared_->timetable.Apply(parsed.entry, mokuna::CurrentClock());
  }
  if (change == Timetable::Change::kFull) {
    if (intake_.open)
      ++intake_.full;
    else
      Report("AddEntry", FullRemark(1));
    return;
  }
  if (change == Timetable::Change::kNone) return;
  StartWorker("AddEntry");
  SetEvent(shared_->wake);  // an interval entry is due at once
  if (intake_.open)
    intake_.changed = true;
  else
    Save("AddEntry");
  NotifyPage();
}

void Engine::EndIntake() {
  if (!intake_.open) return;
  const Intake done = intake_;
  intake_ = Intake{};
  if (done.changed) Save("AddEntry");
  if (done.over_result)
    Report("AddEntry", "400 Too many entries in one result (at most " + std::to_string(kMaxEntriesPerResult) +
                           "), " + std::to_string(done.over_result) + " not added");
  if (done.full) Report("AddEntry", FullRemark(done.full));
}

void Engine::DirectAction(std::string_view text) {
  const ParsedAction parsed = ParseAction(text);
  if (!parsed.ok()) {
    Report("DirectAction", "400 " + parsed.error);
    return;
  }
  StartWorker("DirectAction");
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->jobs.push_back({parsed.call, false});
  SetEvent(shared_->wake);
}

void Engine::PropertyPage(std::string_view name) {
  if (IsOwnName(name)) {
    if (!page_) page_ = std::make_unique<TimetablePage>(*this);
    page_->Show();
    shared_->page = page_->Handle();
    return;
  }
  const std::string error = CheckDllName(name);
  if (!error.empty()) {
    Report("PropertyPage", "400 " + error);
    return;
  }
  StartWorker("PropertyPage");
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->jobs.push_back({Call{std::string(name), 0, "PropertyPage"}, false});
  SetEvent(shared_->wake);
}

std::vector<std::string> Engine::EntryTexts() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->timetable.Texts();
}

void Engine::RemoveEntry(const std::string& text) {
  bool removed;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    removed = shared_->timetable.Remove(text);
  }
  if (!removed) return;
  Save("PropertyPage");
  NotifyPage();
}

void Engine::PageClosed(HWND page) {
  HWND expected = page;
  shared_->page.compare_exchange_strong(expected, nullptr);
}

void Engine::Save(const char* function) {
  if (path_.empty() || unreadable_) return;  // never started, or the file was not ours to replace
  std::lock_guard<std::mutex> save_lock(save_mutex_);
  std::string text;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    text = shared_->timetable.FileText();
  }
  if (text == saved_) return;  // an entry replaced by the same text, say
  std::string reason;
  if (fileio::WriteFileAtomic(path_, text, &reason))
    saved_ = std::move(text);
  else
    Report(function, "500 Cannot write kavrel.ini: " + reason);
}

void Engine::Report(const char* function, const std::string& code_and_reason) {
  shared_->results.Push(std::string("Kavrel ") + function + " " + code_and_reason);
}

void Engine::NotifyPage() {
  if (HWND page = shared_->page) PostMessageW(page, TimetablePage::kRefreshMessage, 0, 0);
}

}  // namespace kavrel
