// The library's entry and its two exports. Each export loads yotei.ini anew, does its work and keeps only
// its result and the minute it last looked at.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "YoteiPage.h"
#include "clock.h"
#include "file_io.h"
#include "mokuna_plugin.h"
#include "yotei_rules.h"

namespace {

std::optional<std::int64_t> g_last_tick;  // the minute the last Tick or the page's OK looked at
// Each export's result lives here until the plug-in's next call.
std::string g_tick_result;
std::string g_page_result;
constexpr char kNothingSaid[] = "Yotei Tick 000";

std::string RunTick() {
  std::string text;
  const fileio::ReadStatus status = fileio::ReadFileStatus(yotei::kIniName, text);
  if (status == fileio::ReadStatus::Unreadable) return kNothingSaid;  // held by an editor, say: next minute again
  yotei::TickRun run = yotei::RunTick(status == fileio::ReadStatus::Ok ? &text : nullptr, g_last_tick,
                                      yotei::MinuteOf(mokuna::CurrentClock().Now()));
  // When it cannot be written, the remembered minute still keeps what was said from being said again.
  if (run.new_file) fileio::WriteFileAtomic(yotei::kIniName, *run.new_file);
  return run.result;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}

MOKUNA_PLUGIN_EXPORT const char* MOKUNA_CALL Tick(mokuna_int32) {
  try {
    g_tick_result = RunTick();
  } catch (...) {
    return kNothingSaid;  // nothing may unwind into the caller
  }
  return g_tick_result.c_str();
}

MOKUNA_PLUGIN_EXPORT const char* MOKUNA_CALL PropertyPage(mokuna_int32) {
  try {
    g_page_result = yotei::RunPropertyPage(g_last_tick);
  } catch (...) {
    return yotei::kPropertyPageCancelled;
  }
  return g_page_result.c_str();
}
