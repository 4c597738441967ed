// The library's entry and its two exports. Each export is a thin call on POP1's work with the one module
// state; nothing may unwind into the scheduler. Loading Fennick.dll runs nothing of the plug-in's own: the
// module state starts empty and every export builds what it needs and releases it before it returns.
#include <windows.h>

#include <string>

#include "POP1.h"
#include "mail_results.h"

namespace {

fennick::ModuleState g_state;
// Each export's result lives here until that export is called again; a result of any length is kept whole.
std::string g_check_mail_result;
std::string g_property_page_result;

}  // namespace

extern "C" {

// The argument is not read; the result belongs to the plug-in and stays unchanged until its next call.
const char* __cdecl CheckMail(int) {
  try {
    g_check_mail_result = fennick::RunCheckMail(g_state);
  } catch (...) {
    // The answer needs no memory of its own, which may be what ran out.
    return fennick::results::kCannotConnect;
  }
  return g_check_mail_result.c_str();
}

const char* __cdecl PropertyPage(int) {
  try {
    g_property_page_result = fennick::RunPropertyPage(g_state);
  } catch (...) {
    return fennick::results::kPropertyPageNothingDone;
  }
  return g_property_page_result.c_str();
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
