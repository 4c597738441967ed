// Tplug.dll: a plug-in for tests. Kavrel.dll loads it like any plug-in; tests that want to drive the
// scheduler or the whole program end to end schedule its exports. Every export takes one 32-bit arg and
// returns a result string that stays valid until its next call:
//
//   Echo(n)          "Tplug Echo 000 <n>"                              tells calls apart, shows their order
//   Say(n)           line n (from 1) of tplug.txt in the current folder, verbatim (any code, any text);
//                    "Tplug Say 404 no such line" when there is none
//   Block(ms)        waits ms milliseconds, then "Tplug Block 000 <ms>"
//   Schedule(n)      "Tplug Schedule 900 * * * * /<n> Tplug <n> Echo"  a new schedule entry for the host
//   Fail(n)          "Tplug Fail <n, three digits> Test failure"       e.g. Fail(101) for an error remark
//   Null(n)          NULL                                              nothing is queued
//   Modal(n)         a modal message box until it is closed, then "Tplug Modal 000 closed"
//   PropertyPage(n)  "Tplug PropertyPage 000 Tplugの設定ページです．"
//   Stats(n)         "Tplug Stats 000 calls=<c> running=<r> most=<m> threads=<t> thread=<id>": calls of the
//                    exports above, how many run now, the most that ever ran at once, on how many distinct
//                    threads, and the thread of the last one. n = 1 resets the counts afterwards.
//   Log(n)           "Tplug Log 000 <Name>:<arg> ..." the calls above that finished, in order; n = 1 clears it.
//   Throw(n)         throws n (an int, no std::exception) at its caller
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

namespace {

struct Counters {
  CRITICAL_SECTION lock;
  int calls = 0, running = 0, most = 0;
  std::set<DWORD> threads;
  DWORD last_thread = 0;
  std::string log;
  Counters() { InitializeCriticalSection(&lock); }
  ~Counters() { DeleteCriticalSection(&lock); }
};

Counters& State() {
  static Counters counters;
  return counters;
}

// Counts one call of an export for as long as it runs.
class Counted {
 public:
  Counted(const char* name, std::int32_t arg) : name_(name), arg_(arg) {
    Counters& c = State();
    EnterCriticalSection(&c.lock);
    ++c.calls;
    if (++c.running > c.most) c.most = c.running;
    c.threads.insert(GetCurrentThreadId());
    c.last_thread = GetCurrentThreadId();
    LeaveCriticalSection(&c.lock);
  }
  ~Counted() {
    Counters& c = State();
    EnterCriticalSection(&c.lock);
    --c.running;
    if (!c.log.empty()) c.log += ' ';
    c.log += std::string(name_) + ":" + std::to_string(arg_);
    LeaveCriticalSection(&c.lock);
  }

 private:
  const char* name_;
  std::int32_t arg_;
};

std::string ReadLine(int n) {
  FILE* f = std::fopen("tplug.txt", "rb");
  if (!f) return {};
  std::string line;
  int number = 1, c;
  bool found = false;
  while ((c = std::fgetc(f)) != EOF) {
    if (c == '\n') {
      if (number == n) {
        found = true;
        break;
      }
      ++number;
      line.clear();
    } else if (c != '\r') {
      line += static_cast<char>(c);
    }
  }
  std::fclose(f);
  if (!found && number != n) return {};
  return line;
}

}  // namespace

extern "C" {

const char* __cdecl Echo(std::int32_t n) {
  Counted counted("Echo", n);
  static std::string result;
  result = "Tplug Echo 000 " + std::to_string(n);
  return result.c_str();
}

const char* __cdecl Say(std::int32_t n) {
  Counted counted("Say", n);
  static std::string result;
  result = ReadLine(n);
  if (result.empty()) result = "Tplug Say 404 no such line";
  return result.c_str();
}

const char* __cdecl Block(std::int32_t ms) {
  Counted counted("Block", ms);
  Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0);
  static std::string result;
  result = "Tplug Block 000 " + std::to_string(ms);
  return result.c_str();
}

const char* __cdecl Schedule(std::int32_t n) {
  Counted counted("Schedule", n);
  static std::string result;
  result = "Tplug Schedule 900 * * * * /" + std::to_string(n) + " Tplug " + std::to_string(n) + " Echo";
  return result.c_str();
}

const char* __cdecl Fail(std::int32_t n) {
  Counted counted("Fail", n);
  static char result[64];
  std::snprintf(result, sizeof result, "Tplug Fail %03d Test failure", static_cast<int>(n));
  return result;
}

const char* __cdecl Null(std::int32_t n) {
  Counted counted("Null", n);
  return nullptr;
}

const char* __cdecl Modal(std::int32_t n) {
  Counted counted("Modal", n);
  MessageBoxW(nullptr, L"Tplug", L"Tplug", MB_OK);
  return "Tplug Modal 000 closed";
}

const char* __cdecl PropertyPage(std::int32_t n) {
  Counted counted("PropertyPage", n);
  return "Tplug PropertyPage 000 Tplugの設定ページです．";
}

const char* __cdecl Stats(std::int32_t n) {
  Counters& c = State();
  static std::string result;
  EnterCriticalSection(&c.lock);
  result = "Tplug Stats 000 calls=" + std::to_string(c.calls) + " running=" + std::to_string(c.running) +
           " most=" + std::to_string(c.most) + " threads=" + std::to_string(c.threads.size()) +
           " thread=" + std::to_string(c.last_thread);
  if (n == 1) {
    c.calls = c.most = 0;
    c.threads.clear();
    c.last_thread = 0;
  }
  LeaveCriticalSection(&c.lock);
  return result.c_str();
}

const char* __cdecl Log(std::int32_t n) {
  Counters& c = State();
  static std::string result;
  EnterCriticalSection(&c.lock);
  result = "Tplug Log 000 " + c.log;
  if (n == 1) c.log.clear();
  LeaveCriticalSection(&c.lock);
  return result.c_str();
}

const char* __cdecl Throw(std::int32_t n) {
  Counted counted("Throw", n);
  throw static_cast<int>(n);
}

}  // extern "C"
