#include "host_settings.h"

#include <optional>

#include "config_file.h"
#include "host_error.h"
#include "sjis.h"

namespace mokuna {
namespace {

int IntValue(const std::string& value) {
  const std::optional<int> number = config::ParseInt(value);
  if (!number) throw HostError("'" + value + "' は整数ではありません");
  return *number;
}

// Booleans are stored as integers; only exactly 1 means true, but a non-number is still an error.
bool BoolValue(const std::string& value) { return IntValue(value) == 1; }

}  // namespace

const char* HostKeyName(HostKey key) {
  switch (key) {
    case HostKey::MokunaImage: return "MokunaImage";
    case HostKey::SerifuInterval: return "SerifuInterval";
    case HostKey::FukidasiInterval: return "FukidasiInterval";
    case HostKey::EventPolling: return "EventPolling";
    case HostKey::LocalPolling: return "LocalPolling";
    case HostKey::MaxSpeaking: return "MaxSpeaking";
    case HostKey::Top: return "Top";
    case HostKey::Left: return "Left";
    case HostKey::ShowCalender: return "ShowCalender";
    case HostKey::ShowTime: return "ShowTime";
    case HostKey::CalX: return "CalX";
    case HostKey::CalY: return "CalY";
    case HostKey::DllList: return kDllListSection;
  }
  return "";
}

void ReadHostIni(std::string_view text, HostSettings& s, const HostKeyApplied& applied) {
  const std::vector<std::string> lines = config::SplitLines(text);
  auto notify = [&](HostKey key) {
    if (applied) applied(key);
  };
  // Each key is applied (and announced) before the next one is looked at, so a bad value leaves the
  // earlier keys in effect.
  auto apply = [&](HostKey key, auto&& store) {
    if (std::optional<std::string> value = config::FindValue(lines, HostKeyName(key))) {
      store(*value);
      notify(key);
    }
  };
  apply(HostKey::MokunaImage, [&](const std::string& v) { s.MokunaImage = v; });
  apply(HostKey::SerifuInterval, [&](const std::string& v) { s.SerifuInterval = IntValue(v); });
  apply(HostKey::FukidasiInterval, [&](const std::string& v) { s.FukidasiInterval = IntValue(v); });
  apply(HostKey::EventPolling, [&](const std::string& v) { s.EventPolling = IntValue(v); });
  apply(HostKey::LocalPolling, [&](const std::string& v) { s.LocalPolling = IntValue(v); });
  apply(HostKey::MaxSpeaking, [&](const std::string& v) { s.MaxSpeaking = IntValue(v); });
  apply(HostKey::Top, [&](const std::string& v) { s.Top = IntValue(v); });
  apply(HostKey::Left, [&](const std::string& v) { s.Left = IntValue(v); });
  apply(HostKey::ShowCalender, [&](const std::string& v) { s.ShowCalender = BoolValue(v); });
  apply(HostKey::ShowTime, [&](const std::string& v) { s.ShowTime = BoolValue(v); });
  apply(HostKey::CalX, [&](const std::string& v) { s.CalX = IntValue(v); });
  apply(HostKey::CalY, [&](const std::string& v) { s.CalY = IntValue(v); });

  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!sjis::EqualsIgnoreCase(lines[i], kDllListSection)) continue;
    // Every later line is a name, taken whole: blank lines and key lines too.
    s.DllList.assign(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, lines.end());
    if (s.DllList.empty()) s.DllList.push_back(kDefaultDllName);
    notify(HostKey::DllList);
    break;
  }
}

std::string WriteHostIni(const HostSettings& s) {
  auto line = [](const char* key, const std::string& value) { return std::string(key) + "=" + value; };
  auto number = [&](const char* key, int value) { return line(key, std::to_string(value)); };
  std::vector<std::string> lines{
      line("MokunaImage", s.MokunaImage),
      number("SerifuInterval", s.SerifuInterval),
      number("FukidasiInterval", s.FukidasiInterval),
      number("EventPolling", s.EventPolling),
      number("LocalPolling", s.LocalPolling),
      number("Top", s.Top),
      number("Left", s.Left),
      number("MaxSpeaking", s.MaxSpeaking),
      number("ShowCalender", s.ShowCalender ? 1 : 0),
      number("ShowTime", s.ShowTime ? 1 : 0),
      number("CalX", s.CalX),
      number("CalY", s.CalY),
      kDllListSection,
  };
  lines.insert(lines.end(), s.DllList.begin(), s.DllList.end());
  return config::JoinCrLf(lines);
}

}  // namespace mokuna
