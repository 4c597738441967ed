#include "host_settings.h"

#include <algorithm>
#include <optional>

#include "config_file.h"
#include "host_error.h"
#include "sjis.h"

namespace mokuna {
namespace {

constexpr HostKey kReadOrder[] = {
    HostKey::MokunaImage, HostKey::SerifuInterval, HostKey::FukidasiInterval, HostKey::EventPolling,
    HostKey::LocalPolling, HostKey::MaxSpeaking, HostKey::Top, HostKey::Left,
    HostKey::ShowCalender, HostKey::ShowTime, HostKey::CalX, HostKey::CalY, HostKey::HideOnFullScreen,
    HostKey::NotifyWhileHidden, HostKey::Animate, HostKey::DllList,
};
constexpr HostKey kWriteOrder[] = {
    HostKey::MokunaImage, HostKey::SerifuInterval, HostKey::FukidasiInterval, HostKey::EventPolling,
    HostKey::LocalPolling, HostKey::Top, HostKey::Left, HostKey::MaxSpeaking,
    HostKey::ShowCalender, HostKey::ShowTime, HostKey::CalX, HostKey::CalY, HostKey::HideOnFullScreen,
    HostKey::NotifyWhileHidden, HostKey::Animate, HostKey::DllList,
};

// Keys that are on unless the file says otherwise; their line is written only when they are off.
bool OnByDefault(HostKey key) {
  return key == HostKey::HideOnFullScreen || key == HostKey::NotifyWhileHidden || key == HostKey::Animate;
}

int IntValue(const std::string& value) {
  const std::optional<int> number = config::ParseInt(value);
  if (!number) throw HostError("'" + value + "' は整数ではありません");
  return *number;
}

// Booleans are stored as integers; only exactly 1 means true, but a non-number is still an error.
bool BoolValue(const std::string& value) { return IntValue(value) == 1; }

// The field of an integer key (null for the others); S is HostSettings or const HostSettings.
template <class S>
auto IntField(HostKey key, S& s) -> decltype(&s.Top) {
  switch (key) {
    case HostKey::SerifuInterval: return &s.SerifuInterval;
    case HostKey::FukidasiInterval: return &s.FukidasiInterval;
    case HostKey::EventPolling: return &s.EventPolling;
    case HostKey::LocalPolling: return &s.LocalPolling;
    case HostKey::MaxSpeaking: return &s.MaxSpeaking;
    case HostKey::Top: return &s.Top;
    case HostKey::Left: return &s.Left;
    case HostKey::CalX: return &s.CalX;
    case HostKey::CalY: return &s.CalY;
    default: return nullptr;
  }
}

template <class S>
auto BoolField(HostKey key, S& s) -> decltype(&s.ShowTime) {
  switch (key) {
    case HostKey::ShowCalender: return &s.ShowCalender;
    case HostKey::ShowTime: return &s.ShowTime;
    case HostKey::HideOnFullScreen: return &s.HideOnFullScreen;
    case HostKey::NotifyWhileHidden: return &s.NotifyWhileHidden;
    case HostKey::Animate: return &s.Animate;
    default: return nullptr;
  }
}

// The index of the section line; lines.size() when there is none.
std::size_t SectionLine(const std::vector<std::string>& lines) {
  std::size_t i = 0;
  while (i < lines.size() && !sjis::EqualsIgnoreCase(lines[i], kDllListSection)) ++i;
  return i;
}

// Applies key from the file's lines; false when the file does not hold it.
bool ApplyKey(const std::vector<std::string>& lines, HostKey key, HostSettings& s) {
  if (key == HostKey::DllList) {
    const std::size_t section = SectionLine(lines);
    if (section == lines.size()) return false;
    // Every later line is a name, taken whole: blank lines and key lines too.
    s.DllList.assign(lines.begin() + static_cast<std::ptrdiff_t>(section) + 1, lines.end());
    if (s.DllList.empty()) s.DllList.push_back(kDefaultDllName);
    return true;
  }
  const std::optional<std::string> value = config::FindValue(lines, HostKeyName(key));
  if (!value) return false;
  if (key == HostKey::MokunaImage) s.MokunaImage = *value;
  else if (int* n = IntField(key, s)) *n = IntValue(*value);
  else if (bool* b = BoolField(key, s)) *b = BoolValue(*value);
  return true;
}

// The lines the write gives key.
std::vector<std::string> KeyLines(HostKey key, const HostSettings& s) {
  if (key == HostKey::DllList) {
    std::vector<std::string> lines{kDllListSection};
    lines.insert(lines.end(), s.DllList.begin(), s.DllList.end());
    return lines;
  }
  if (OnByDefault(key) && *BoolField(key, s)) return {};
  std::string value;
  if (key == HostKey::MokunaImage) value = s.MokunaImage;
  else if (const int* n = IntField(key, s)) value = std::to_string(*n);
  else if (const bool* b = BoolField(key, s)) value = *b ? "1" : "0";
  return {std::string(HostKeyName(key)) + "=" + value};
}

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
    case HostKey::HideOnFullScreen: return "HideOnFullScreen";
    case HostKey::NotifyWhileHidden: return "NotifyWhileHidden";
    case HostKey::Animate: return "Animate";
    case HostKey::DllList: return kDllListSection;
  }
  return "";
}

void ReadHostIni(std::string_view text, HostSettings& s, const HostKeyApplied& applied) {
  HostIniFile().Read(text, s, applied);
}

std::string WriteHostIni(const HostSettings& s) { return HostIniFile().Write(s); }

void HostIniFile::Read(std::string_view text, HostSettings& s, const HostKeyApplied& applied) {
  lines_ = config::SplitLines(text);
  unreached_.clear();
  // Each key is applied (and announced) before the next one is looked at, so a bad value leaves the
  // earlier keys in effect.
  for (std::size_t i = 0; i < std::size(kReadOrder); ++i) {
    try {
      if (!ApplyKey(lines_, kReadOrder[i], s)) continue;
    } catch (const HostError&) {
      unreached_.assign(std::begin(kReadOrder) + static_cast<std::ptrdiff_t>(i) + 1, std::end(kReadOrder));
      at_stop_ = s;
      throw;
    }
    if (applied) applied(kReadOrder[i]);
  }
}

std::vector<std::string> HostIniFile::FileLines(HostKey key) const {
  if (key == HostKey::DllList) {
    const std::size_t section = SectionLine(lines_);
    return {lines_.begin() + static_cast<std::ptrdiff_t>(section), lines_.end()};
  }
  for (const std::string& line : lines_) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos && sjis::EqualsIgnoreCase(std::string_view(line).substr(0, eq), HostKeyName(key)))
      return {line};
  }
  return {};
}

std::string HostIniFile::Write(const HostSettings& now) const {
  std::vector<std::string> out;
  for (HostKey key : kWriteOrder) {
    std::vector<std::string> lines = KeyLines(key, now);
    // A key the read never reached still holds the default it had then; unless the user has changed it
    // since, the file's own line is the value to keep.
    if (std::find(unreached_.begin(), unreached_.end(), key) != unreached_.end() && lines == KeyLines(key, at_stop_)) {
      std::vector<std::string> kept = FileLines(key);
      if (!kept.empty()) lines = std::move(kept);
    }
    out.insert(out.end(), lines.begin(), lines.end());
  }
  return config::JoinCrLf(out);
}

}  // namespace mokuna
