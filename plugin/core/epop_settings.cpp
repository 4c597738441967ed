#include "epop_settings.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "config_file.h"
#include "file_io.h"
#include "secret_protector.h"
#include "sjis.h"
#include "sound_player.h"

namespace fennick {

bool IsKnownSecurity(int security) {
  return security == kSecurityNone || security == kSecuritySslTls || security == kSecurityStartTls;
}

int ShownSecurity(int security) { return IsKnownSecurity(security) ? security : kSecuritySslTls; }

namespace {

// A UID or UIDVALIDITY: decimal digits only, 0 to 4294967295.
std::optional<std::uint32_t> ParseUint32(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (n > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(n);
}

// The keys in the order loading applies them.
constexpr const char* kLoadOrder[] = {"MailProtocol", "POPSecurity", "POPPort", "isCheckMail", "CheckInterval",
                                      "Account", "Password", "PasswordProtected", "POPServer", "isUseAPOP",
                                      "isPlay", "FilePlaying", "AnnounceSender", "LastMessageID", "LastMailNum",
                                      "IMAPUIDValidity", "IMAPUIDNext", "IMAPUnseen"};

bool KeyOf(std::string_view line, std::string_view key) {
  const std::size_t eq = line.find('=');
  return eq != std::string_view::npos && sjis::EqualsIgnoreCase(line.substr(0, eq), key);
}

}  // namespace

EpopLoadResult LoadEpop(std::string_view bytes, EpopSettings& settings, ModuleState& state,
                        SoundPlayer* player) {
  const config::KeyValueFile file(bytes);
  EpopLoadResult result;
  // Loading ends with this error; an unknown choice reported before it is reported with it.
  auto stop = [&](EpopLoadResult::Error error, const char* key, std::string message) {
    if (!result.message.empty()) message = result.message + "\r\n" + message;
    result.error = error;
    result.key = key;
    result.message = std::move(message);
  };
  // Applies key's whole number, or absent when the key is not there; false, with the error filled in,
  // when the value is not a whole number.
  auto number = [&](const char* key, std::optional<int> absent, auto&& apply) {
    const auto value = file.Find(key);
    if (!value) {
      if (absent) apply(*absent);
      return true;
    }
    const auto n = config::ParseInt(*value);
    if (!n) {
      stop(EpopLoadResult::Error::BadNumber, key, "'" + *value + "' は整数ではありません");
      return false;
    }
    apply(*n);
    return true;
  };
  auto text = [&](const char* key, std::string& out, const char* absent) {
    const auto value = file.Find(key);
    out = value ? *value : absent;
  };

  // The protocol goes first: it decides what every other setting means. One this plug-in does not speak
  // stops the loading before anything else and keeps the check away from any server.
  if (const auto value = file.Find("MailProtocol")) {
    const auto n = config::ParseInt(*value);
    if (!n || (*n != kProtocolPop3 && *n != kProtocolImap)) {
      stop(EpopLoadResult::Error::UnknownProtocol, "MailProtocol",
           n ? "受信方式 MailProtocol=" + *value + " は使えません（0 で POP3，1 で IMAP）"
             : "'" + *value + "' は整数ではありません");
      return result;
    }
    settings.MailProtocol = *n;
  } else {
    settings.MailProtocol = kProtocolPop3;
  }
  // The connection's security goes next: whichever later number stops the loading, a check never has the
  // password without the security the file asks for; a bad number here stops before the password is read.
  // A number that names no security is kept as it is, so that no check connects with it, and the rest is
  // read: the settings window then shows the user's settings with the safe choice marked. Text that is no
  // number at all connects nowhere either.
  if (!number("POPSecurity", kSecurityNone, [&](int n) {
        settings.POPSecurity = n;
        if (IsKnownSecurity(n)) return;
        result.error = EpopLoadResult::Error::UnknownChoice;
        result.key = "POPSecurity";
        result.message = "'" + *file.Find("POPSecurity") + "' は 0, 1, 2 のどれでもありません";
      })) {
    settings.POPSecurity = kSecurityUnknown;
    return result;
  }
  text("POPPort", settings.POPPort, "");
  if (!number("isCheckMail", 1, [&](int n) { settings.isCheckMail = n == 1; })) return result;
  text("CheckInterval", settings.CheckInterval, "0");
  text("Account", settings.Account, "");
  text("Password", settings.Password, "");
  text("PasswordProtected", settings.PasswordProtected, "");
  text("POPServer", settings.POPServer, "127.0.0.1");
  if (!number("isUseAPOP", 0, [&](int n) { settings.isUseAPOP = n >= 1 ? 1 : n <= -1 ? -1 : 0; })) return result;
  if (!number("isPlay", 0, [&](int n) { settings.isPlay = n == 1; })) return result;
  text("FilePlaying", settings.FilePlaying, "");
  const auto announce = file.Find("AnnounceSender");
  settings.AnnounceSender = announce && *announce == "1";

  if (settings.isPlay && player && !settings.FilePlaying.empty() && player->FileExists(settings.FilePlaying)) {
    std::string reason;
    if (!player->Open(settings.FilePlaying, &reason)) {
      stop(EpopLoadResult::Error::SoundDevice, "FilePlaying", reason.empty() ? settings.FilePlaying : reason);
      return result;
    }
  }

  if (const auto id = file.Find("LastMessageID")) state.LastMessageID = *id;
  if (!number("LastMailNum", std::nullopt, [&](int n) { state.LastMailNum = n; })) return result;
  auto uid = [&](const char* key, std::uint32_t& out) {
    const auto value = file.Find(key);
    if (!value) return true;
    const auto n = ParseUint32(*value);
    if (!n) {
      stop(EpopLoadResult::Error::BadNumber, key, "'" + *value + "' は整数ではありません");
      return false;
    }
    out = *n;
    return true;
  };
  if (!uid("IMAPUIDValidity", state.imap.UidValidity) || !uid("IMAPUIDNext", state.imap.UidNext)) return result;
  number("IMAPUnseen", std::nullopt, [&](int n) { state.imap.Unseen = n; });
  return result;
}

EpopLoadResult LoadEpopFile(const std::string& path, EpopSettings& settings, ModuleState& state,
                            SoundPlayer* player) {
  return EpopFile().LoadFile(path, settings, state, player);
}

std::optional<int> ParsePort(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int port = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
    if (port > 65535) return std::nullopt;
  }
  if (port < 1) return std::nullopt;
  return port;
}

int DefaultPort(int security) { return security == kSecuritySslTls ? kPop3sPort : kPopPort; }

std::optional<int> ResolvePort(const EpopSettings& settings) {
  if (!IsKnownSecurity(settings.POPSecurity)) return std::nullopt;
  if (settings.POPPort.empty()) return DefaultPort(settings.POPSecurity);
  return ParsePort(settings.POPPort);
}

std::vector<EpopLine> EpopLines(const EpopSettings& settings, const ModuleState& state) {
  const int apop = settings.isUseAPOP >= 1 ? 1 : settings.isUseAPOP <= -1 ? -1 : 0;
  const int security = ShownSecurity(settings.POPSecurity);
  const bool imap = settings.MailProtocol == kProtocolImap;
  const auto line = [](const char* key, const std::string& value, bool written = true) {
    return EpopLine{key, written ? std::optional<std::string>(std::string(key) + "=" + value) : std::nullopt};
  };
  return {
      line("isCheckMail", settings.isCheckMail ? "1" : "0"),
      line("isPlay", settings.isPlay ? "1" : "0"),
      line("CheckInterval", settings.CheckInterval),
      line("Account", settings.Account),
      line("Password", ""),  // the password is kept only protected, below
      line("POPServer", settings.POPServer),
      line("isUseAPOP", std::to_string(apop)),
      line("FilePlaying", settings.FilePlaying),
      line("LastMessageID", state.LastMessageID),
      line("LastMailNum", std::to_string(state.LastMailNum)),
      line("POPSecurity", std::to_string(security), security != kSecurityNone),
      line("POPPort", settings.POPPort, !settings.POPPort.empty()),
      line("MailProtocol", "1", imap),
      line("IMAPUIDValidity", std::to_string(state.imap.UidValidity), imap),
      line("IMAPUIDNext", std::to_string(state.imap.UidNext), imap),
      line("IMAPUnseen", std::to_string(state.imap.Unseen), imap),
      line("AnnounceSender", "1", settings.AnnounceSender),
      line("PasswordProtected", settings.PasswordProtected, !settings.PasswordProtected.empty()),
  };
}

std::string SaveEpop(const EpopSettings& settings, const ModuleState& state) {
  std::vector<std::string> lines;
  for (const EpopLine& l : EpopLines(settings, state))
    if (l.line) lines.push_back(*l.line);
  return config::JoinCrLf(lines);
}

EpopLoadResult EpopFile::Load(std::string_view bytes, EpopSettings& settings, ModuleState& state,
                              SoundPlayer* player) {
  const EpopLoadResult result = LoadEpop(bytes, settings, state, player);
  lines_ = config::SplitLines(bytes);
  keep_ = !result.ok();
  unreached_.clear();
  // An unknown choice lets loading go on; every other error stops it after its key.
  if (keep_ && result.error != EpopLoadResult::Error::UnknownChoice) {
    const auto* stop = std::find(std::begin(kLoadOrder), std::end(kLoadOrder), result.key);
    if (stop != std::end(kLoadOrder)) unreached_.assign(stop + 1, std::end(kLoadOrder));
  }
  at_stop_ = EpopLines(settings, state);
  return result;
}

EpopLoadResult EpopFile::LoadFile(const std::string& path, EpopSettings& settings, ModuleState& state,
                                  SoundPlayer* player) {
  std::string bytes;
  EpopLoadResult result;
  switch (fileio::ReadFileStatus(path, bytes, &result.message)) {
    case fileio::ReadStatus::Missing: return result;
    case fileio::ReadStatus::Unreadable: result.error = EpopLoadResult::Error::Unreadable; return result;
    case fileio::ReadStatus::Ok: break;
  }
  return Load(bytes, settings, state, player);
}

std::optional<std::string> EpopFile::FileLine(std::string_view key) const {
  for (const std::string& line : lines_)
    if (KeyOf(line, key)) return line;
  return std::nullopt;
}

std::string EpopFile::Save(const EpopSettings& settings, const ModuleState& state) const {
  if (!keep_) return SaveEpop(settings, state);
  const std::vector<EpopLine> now = EpopLines(settings, state);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < now.size(); ++i) {
    // A key the load never reached holds what it held then; unless that has changed, the file's own line
    // is the value to keep.
    const bool unreached =
        std::find(unreached_.begin(), unreached_.end(), std::string(now[i].key)) != unreached_.end();
    // The plain password is never written back, read or not.
    if (unreached && now[i].line == at_stop_[i].line && std::string_view(now[i].key) != "Password") {
      if (std::optional<std::string> kept = FileLine(now[i].key)) {
        out.push_back(std::move(*kept));
        continue;
      }
    }
    if (now[i].line) out.push_back(*now[i].line);
  }
  for (const std::string& line : lines_) {
    const bool known = std::any_of(std::begin(kLoadOrder), std::end(kLoadOrder),
                                   [&](const char* key) { return KeyOf(line, key); });
    if (!known && line.find('=') != std::string::npos) out.push_back(line);
  }
  return config::JoinCrLf(out);
}

void EpopFile::KeepUnreadPassword(EpopSettings& settings) const {
  if (!keep_ || !settings.Password.empty() ||
      std::find(unreached_.begin(), unreached_.end(), std::string("Password")) == unreached_.end())
    return;
  if (std::optional<std::string> line = FileLine("Password")) settings.Password = line->substr(line->find('=') + 1);
}

bool OpenPassword(EpopSettings& settings, const SecretProtector& protector) {
  if (!settings.Password.empty() || settings.PasswordProtected.empty()) return true;
  const std::optional<std::string> blob = Base64Decode(settings.PasswordProtected);
  std::optional<std::string> password = blob ? protector.Unprotect(*blob) : std::nullopt;
  if (!password) return false;
  settings.Password = std::move(*password);
  return true;
}

bool ProtectPassword(EpopSettings& settings, const SecretProtector& protector) {
  settings.PasswordProtected.clear();
  if (settings.Password.empty()) return true;
  const std::optional<std::string> blob = protector.Protect(settings.Password);
  if (!blob) return false;
  settings.PasswordProtected = Base64Encode(*blob);
  return true;
}

void ForgetStateOnProtocolChange(int loaded_protocol, const EpopSettings& settings, ModuleState& state) {
  if (settings.MailProtocol != loaded_protocol) state = ModuleState{};
}

bool WriteEpopFile(const std::string& path, const EpopSettings& settings, const ModuleState& state,
                   std::string* error, const EpopFile* loaded) {
  return fileio::WriteFileAtomic(path, loaded ? loaded->Save(settings, state) : SaveEpop(settings, state), error);
}

}  // namespace fennick
