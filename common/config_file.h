// The key=value text files that hold settings (edll.ini, epop.ini and the like).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace config {

// Splits text into lines at CR LF, CR or LF. A final line without a break counts; a final break does not
// start another line.
std::vector<std::string> SplitLines(std::string_view text);

// Joins lines, each followed by CR LF.
std::string JoinCrLf(const std::vector<std::string>& lines);

// The value of key: everything after the first "=" on the first line whose text before that "=" equals
// key without regard to letter case. Nothing is trimmed. nullopt when no line matches.
std::optional<std::string> FindValue(const std::vector<std::string>& lines, std::string_view key);

// Integer reading of a value: optional sign and decimal digits only, within 32 bits.
std::optional<int> ParseInt(std::string_view text);

// A settings file loaded into lines.
class KeyValueFile {
 public:
  KeyValueFile() = default;
  explicit KeyValueFile(std::string_view text) : lines_(SplitLines(text)) {}

  std::optional<std::string> Find(std::string_view key) const { return FindValue(lines_, key); }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

}  // namespace config
