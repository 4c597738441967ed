// The running library between initForm and freeForm: the timetable and kavrel.ini, the worker thread
// that makes every plug-in call, and the queue of result strings.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "entry.h"
#include "result_queue.h"
#include "timetable.h"

namespace kavrel {

class TimetablePage;

class Engine {
 public:
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Loads kavrel.ini from the current directory; the worker starts once there is something to do.
  void Start();
  // Lets the call in progress finish (bounded), stops the worker, unloads the plug-ins, closes the
  // settings page and saves the timetable.
  void Stop();

  // The seven exports, on the host's thread.
  int ResultCount();
  const char* NextResult();
  void AddEntry(std::string_view text);
  void DirectAction(std::string_view text);
  void PropertyPage(std::string_view name);

  // For the settings page.
  std::vector<std::string> EntryTexts() const;
  void RemoveEntry(const std::string& text);
  void PageClosed(HWND page);

  // What the worker and the host's thread share. The worker holds it too, so a worker that outlives the
  // bounded wait in Stop still has everything it touches.
  struct Shared;

 private:
  void StartWorker(const char* function);
  void Save(const char* function);
  void Report(const char* function, const std::string& code_and_reason);
  void NotifyPage();
  void EndIntake();

  // The entries the host adds while it dispatches one 900 result string: from the GetResults that handed
  // the string out to the host's next look at the queue. They count as one: at most kMaxEntriesPerResult
  // of them, one write of kavrel.ini and one remark for all that were refused. Host thread only.
  struct Intake {
    bool open = false;
    bool changed = false;
    std::size_t taken = 0;
    std::size_t over_result = 0;  // refused: beyond kMaxEntriesPerResult
    std::size_t full = 0;         // refused: the timetable was full
  };

  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
  DWORD thread_id_ = 0;
  bool worker_failed_ = false;  // reported once; the library then runs without it
  bool unreadable_ = false;  // kavrel.ini was there but could not be read at start: never written
  std::string path_;        // kavrel.ini, fixed at start so that a later change of folder does not move it
  std::string saved_;       // what kavrel.ini holds (empty: no file, which also means no entries)
  std::string current_;     // the string GetResults handed out last
  std::mutex save_mutex_;
  Intake intake_;
  std::unique_ptr<TimetablePage> page_;
};

}  // namespace kavrel
