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

// The log dump: every waiting result string is said whole, unparsed and undispatched.
void DumpLog(ResultSource& scheduler, SpeechSink& speech);

}  // namespace mokuna
