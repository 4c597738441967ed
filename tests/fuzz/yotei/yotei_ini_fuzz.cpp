// Arbitrary bytes as yotei.ini: written back from a read it reads the same, each reminder's text reaches the
// host as one token (the fuzz build's literals are UTF-8: composed texts are not split), a tick runs clean.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tokenizer.h"
#include "yotei_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const yotei::YoteiFile file = yotei::ParseYoteiFile(bytes);
  const std::string saved = yotei::FormatYoteiFile(file);
  if (yotei::FormatYoteiFile(yotei::ParseYoteiFile(saved)) != saved) __builtin_trap();
  // Each text that may be said reaches the host as exactly one token.
  for (const yotei::ReminderLine& line : file.reminders) {
    if (!line.reminder) continue;
    const std::vector<std::string> tokens = SplitCommaText(yotei::TickResult({line.reminder->text}));
    if (tokens.size() != 4 || tokens[3] != line.reminder->text) __builtin_trap();
  }
  if (file.reminders.size() > 50) return 0;  // the sweep below is per reminder and minute
  const std::int64_t now = yotei::MinuteOf(2026, 12, 9, 9, 0);
  yotei::Tick(file, now - yotei::kMissedAfterMinutes - 1, now);
  return 0;
}
