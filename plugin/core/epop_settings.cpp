#include "epop_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "config_file.h"
#include "file_io.h"
#include "secret_protector.h"
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
  std::string bytes;
  EpopLoadResult result;
  switch (fileio::ReadFileStatus(path, bytes, &result.message)) {
    case fileio::ReadStatus::Missing: return result;
    case fileio::ReadStatus::Unreadable: result.error = EpopLoadResult::Error::Unreadable; return result;
    case fileio::ReadStatus::Ok: break;
  }
  return LoadEpop(bytes, settings, state, player);
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

std::string SaveEpop(const EpopSettings& settings, const ModuleState& state) {
  const int apop = settings.isUseAPOP >= 1 ? 1 : settings.isUseAPOP <= -1 ? -1 : 0;
  std::string bytes = config::JoinCrLf({
      std::string("isCheckMail=") + (settings.isCheckMail ? "1" : "0"),
      std::string("isPlay=") + (settings.isPlay ? "1" : "0"),
      "CheckInterval=" + settings.CheckInterval,
      "Account=" + settings.Account,
      "Password=",
      "POPServer=" + settings.POPServer,
      "isUseAPOP=" + std::to_string(apop),
      "FilePlaying=" + settings.FilePlaying,
      "LastMessageID=" + state.LastMessageID,
      "LastMailNum=" + std::to_string(state.LastMailNum),
  });
  const int security = ShownSecurity(settings.POPSecurity);
  if (security != kSecurityNone) bytes += "POPSecurity=" + std::to_string(security) + "\r\n";
  if (!settings.POPPort.empty()) bytes += "POPPort=" + settings.POPPort + "\r\n";
  if (settings.MailProtocol == kProtocolImap) {
    bytes += "MailProtocol=1\r\n";
    bytes += "IMAPUIDValidity=" + std::to_string(state.imap.UidValidity) + "\r\n";
    bytes += "IMAPUIDNext=" + std::to_string(state.imap.UidNext) + "\r\n";
    bytes += "IMAPUnseen=" + std::to_string(state.imap.Unseen) + "\r\n";
  }
  if (settings.AnnounceSender) bytes += "AnnounceSender=1\r\n";
  if (!settings.PasswordProtected.empty()) bytes += "PasswordProtected=" + settings.PasswordProtected + "\r\n";
  return bytes;
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
                   std::string* error) {
  return fileio::WriteFileAtomic(path, SaveEpop(settings, state), error);
}

}  // namespace fennick
