// Dispatch of the result strings that the scheduler library queues: speech lines, error remarks and new
// schedule entries. Portable: the library and the speech queue are reached through small interfaces.
#pragma once

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

}  // namespace mokuna
