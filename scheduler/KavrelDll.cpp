// The seven exports of Kavrel.dll. Each one is a thin call on the one Engine that lives between initForm
// and freeForm; nothing may unwind into the host.
#include <memory>

#define KAVREL_BUILD
#include "DLLHead.h"
#include "Engine.h"

namespace {

std::unique_ptr<kavrel::Engine> g_engine;

template <class F>
void Guard(F&& f) noexcept {
  try {
    f();
  } catch (...) {
    // Out of memory, say: the call does nothing.
  }
}

std::string_view Text(const char* s) { return s ? std::string_view(s) : std::string_view(); }

}  // namespace

extern "C" {

void KAVREL_CALL initForm(void) {
  Guard([] {
    if (g_engine) return;  // already running
    auto engine = std::make_unique<kavrel::Engine>();
    engine->Start();
    g_engine = std::move(engine);
  });
}

void KAVREL_CALL freeForm(void) {
  Guard([] {
    if (!g_engine) return;
    g_engine->Stop();
    g_engine.reset();
  });
}

int KAVREL_CALL isResult(void) {
  int count = 0;
  Guard([&] {
    if (g_engine) count = g_engine->ResultCount();
  });
  return count;
}

const char* KAVREL_CALL GetResults(void) {
  const char* result = "";
  Guard([&] {
    if (g_engine) result = g_engine->NextResult();
  });
  return result;
}

void KAVREL_CALL AddEntry(const char* entry) {
  Guard([&] {
    if (g_engine) g_engine->AddEntry(Text(entry));
  });
}

void KAVREL_CALL DirectAction(const char* action) {
  Guard([&] {
    if (g_engine) g_engine->DirectAction(Text(action));
  });
}

void KAVREL_CALL PropertyPage(const char* name) {
  Guard([&] {
    if (g_engine) g_engine->PropertyPage(Text(name));
  });
}

}  // extern "C"
