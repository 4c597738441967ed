// The scheduler library as the debug window, the log dump and the plug-in submenu reach it: the calls of
// the result dispatch plus the two that only these tools make. The program plugs in the real library;
// tests plug in recorders.
#pragma once

#include <string>

#include "result_dispatch.h"

namespace mokuna {

class SchedulerPort : public ResultSource {
 public:
  // Texts are Shift-JIS and valid only during the call.
  virtual void DirectAction(const std::string& action) = 0;
  virtual void PropertyPage(const std::string& dll_name) = 0;
};

// The library's C functions as a SchedulerPort.
class FunctionSchedulerPort : public SchedulerPort {
 public:
  using TextFn = void (*)(const char*);
  FunctionSchedulerPort(FunctionResultSource::IsResultFn is_result, FunctionResultSource::GetResultsFn get_results,
                        TextFn add_entry, TextFn direct_action, TextFn property_page)
      : results_(is_result, get_results, add_entry), direct_action_(direct_action), property_page_(property_page) {}
  bool IsResult() override { return results_.IsResult(); }
  std::string GetResults() override { return results_.GetResults(); }
  void AddEntry(const std::string& entry) override { results_.AddEntry(entry); }
  void DirectAction(const std::string& action) override { direct_action_(action.c_str()); }
  void PropertyPage(const std::string& dll_name) override { property_page_(dll_name.c_str()); }

 private:
  FunctionResultSource results_;
  TextFn direct_action_;
  TextFn property_page_;
};

// The log dump: every waiting result string is said whole, unparsed and undispatched.
void DumpLog(ResultSource& scheduler, SpeechSink& speech);

}  // namespace mokuna
