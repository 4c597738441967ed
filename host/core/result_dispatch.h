// Dispatch of the result strings that the scheduler library queues: speech lines, error remarks and new
// schedule entries. Portable: the library and the speech queue are reached through small interfaces.
#pragma once

#include <functional>
#include <string>

namespace mokuna {

// The part of the scheduler library the dispatcher uses.
class ResultSource {
 public:
  virtual ~ResultSource() = default;
  virtual bool IsResult() = 0;
  virtual std::string GetResults() = 0;  // a copy; the library keeps its own string
  virtual void AddEntry(const std::string& entry) = 0;
};

// The library's C functions as a ResultSource.
class FunctionResultSource : public ResultSource {
 public:
  using IsResultFn = int (*)();
  using GetResultsFn = const char* (*)();
  using AddEntryFn = void (*)(const char*);
  FunctionResultSource(IsResultFn is_result, GetResultsFn get_results, AddEntryFn add_entry)
      : is_result_(is_result), get_results_(get_results), add_entry_(add_entry) {}
  bool IsResult() override { return is_result_() != 0; }
  std::string GetResults() override;
  void AddEntry(const std::string& entry) override { add_entry_(entry.c_str()); }

 private:
  IsResultFn is_result_;
  GetResultsFn get_results_;
  AddEntryFn add_entry_;
};

class SpeechSink {
 public:
  virtual ~SpeechSink() = default;
  virtual void AddSerifu(const std::string& text) = 0;
};

// Dispatches one result string. Throws HostError when it has fewer than three tokens or its third token
// is not a whole number.
void DispatchResult(const std::string& result, ResultSource& library, SpeechSink& speech);

// One tick of Timer2: every waiting string, in order. A bad string ends the tick by its HostError; the
// strings behind it wait for the next tick.
void DispatchResultString(ResultSource& library, SpeechSink& speech);

// The same tick, and everything a result string made the character say also handed to notify as one
// text: the speech lines of its texts joined by CR LF. notify empty: the plain tick.
using SpeechNotify = std::function<void(const std::string& text)>;
void DispatchResultString(ResultSource& library, SpeechSink& speech, const SpeechNotify& notify);

}  // namespace mokuna
