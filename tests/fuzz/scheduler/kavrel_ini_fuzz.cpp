// Arbitrary bytes as kavrel.ini, as an entry and as an action: parsing stays in bounds, what is kept
// reads back unchanged, names that reach the loader are safe, and due checks terminate.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "clock.h"
#include "entry.h"
#include "timetable.h"

namespace {

void CheckCall(const kavrel::Call& call) {
  if (!kavrel::CheckDllName(call.dll).empty()) __builtin_trap();
  if (call.dll.find_first_of("/:") != std::string::npos) __builtin_trap();
  if (call.function.empty() && call.dll.empty()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  mokuna::LocalTime start;
  start.year = 2026, start.month = 12, start.day = 31, start.hour = 23, start.minute = 58;
  mokuna::FakeClock clock(start);

  kavrel::Timetable table;
  kavrel::LoadTimetable(text, table, clock);
  const std::string saved = table.FileText();
  kavrel::Timetable again;
  if (!kavrel::LoadTimetable(saved, again, clock).empty()) __builtin_trap();  // we only ever save good lines
  if (again.FileText() != saved) __builtin_trap();
  for (int i = 0; i < 4; ++i) {
    for (const kavrel::Call& call : table.TakeDue(clock)) CheckCall(call);
    clock.AdvanceMs(61 * 1000);
  }

  const kavrel::ParsedEntry entry = kavrel::ParseEntry(text);
  if (entry.ok()) {
    CheckCall(entry.entry.call);
    const kavrel::ParsedEntry reread = kavrel::ParseEntry(entry.entry.text);
    if (!reread.ok() || reread.entry.text != entry.entry.text) __builtin_trap();
  }
  const kavrel::ParsedAction action = kavrel::ParseAction(text);
  if (action.ok()) CheckCall(action.call);
  return 0;
}
