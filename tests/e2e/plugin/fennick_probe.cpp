// Runs one call of the mail-check plug-in the way the program does and prints every result string that
// comes back, as hexadecimal bytes, one line each ("RESULT <hex>"):
//   fennick_probe check   CheckMail through Kavrel.dll (DirectAction "Fennick 0 CheckMail"), or straight
//                         into Fennick.dll when no Kavrel.dll lies beside it
//   fennick_probe page    PropertyPage the same way; prints "SHOWN" once the window is up and presses
//                         キャンセル when a file named close.flag appears (or after 60 s)
// Both DLLs are loaded by bare name from the current folder.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "wait_until.h"

namespace {

using PluginFunction = const char*(__cdecl*)(int);
using VoidFunction = void(__cdecl*)();
using IntFunction = int(__cdecl*)();
using TextFunction = const char*(__cdecl*)();
using ActionFunction = void(__cdecl*)(const char*);

template <class F>
F Find(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void PrintResult(const char* text) {
  std::printf("RESULT ");
  for (const char* p = text; *p; ++p) std::printf("%02x", static_cast<unsigned char>(*p));
  std::printf("\n");
  std::fflush(stdout);
}

// For "page": waits for the settings window, reports it, and cancels it on the signal.
void WatchPage() {
  HWND window = nullptr;
  const auto shown = [&] { return (window = FindWindowW(L"FennickTForm1", nullptr)) && IsWindowVisible(window); };
  if (!testsupport::WaitUntil(shown, 30000)) return;
  Sleep(500);  // let it paint before the picture is taken
  std::printf("SHOWN\n");
  std::fflush(stdout);
  testsupport::WaitUntil([] { return GetFileAttributesW(L"close.flag") != INVALID_FILE_ATTRIBUTES; }, 60000);
  PostMessageW(GetDlgItem(window, 1001), BM_CLICK, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "check";
  const char* function = mode == "page" ? "PropertyPage" : "CheckMail";
  std::thread watcher;
  if (mode == "page") watcher = std::thread(WatchPage);

  int status = 0;
  if (HMODULE kavrel = LoadLibraryW(L"Kavrel.dll")) {
    std::printf("VIA Kavrel\n");
    auto init = Find<VoidFunction>(kavrel, "initForm");
    auto free_form = Find<VoidFunction>(kavrel, "freeForm");
    auto is_result = Find<IntFunction>(kavrel, "isResult");
    auto get_results = Find<TextFunction>(kavrel, "GetResults");
    auto direct = Find<ActionFunction>(kavrel, "DirectAction");
    auto page = Find<ActionFunction>(kavrel, "PropertyPage");
    if (!init || !free_form || !is_result || !get_results || !direct || !page) return 3;
    init();
    if (mode == "page")
      page("Fennick");
    else
      direct("Fennick 0 CheckMail");
    // Every result until the plug-in's own, within a bound that covers a few server waits.
    const std::string prefix = std::string("Fennick ") + function;
    bool done = false;
    const auto own_result = [&] {
      while (is_result()) {
        const char* text = get_results();
        PrintResult(text);
        done = done || std::string(text).compare(0, prefix.size(), prefix) == 0;
      }
      return done;
    };
    if (!testsupport::WaitUntil(own_result, 90000)) status = 4;
    free_form();
    FreeLibrary(kavrel);
  } else if (HMODULE fennick = LoadLibraryW(L"Fennick.dll")) {
    std::printf("VIA Fennick\n");
    auto call = Find<PluginFunction>(fennick, function);
    if (!call) return 3;
    PrintResult(call(0));
    FreeLibrary(fennick);
  } else {
    return 2;
  }
  if (watcher.joinable()) watcher.join();
  return status;
}
