#include "mail_presets.h"

#include <iterator>

#include "imap_check.h"

namespace fennick {
namespace {

const MailPreset kPresets[] = {
    {"その他", nullptr, kProtocolPop3, kSecurityNone, 0},
    {"Gmail", "imap.gmail.com", kProtocolImap, kSecuritySslTls, 993},
    {"iCloud", "imap.mail.me.com", kProtocolImap, kSecuritySslTls, 993},
    {"docomo", "imap.spmode.ne.jp", kProtocolImap, kSecuritySslTls, 993},
    {"BIGLOBE", "mail.biglobe.ne.jp", kProtocolPop3, kSecuritySslTls, 995},
};

}  // namespace

const MailPreset* MailPresets(int& count) {
  count = static_cast<int>(std::size(kPresets));
  return kPresets;
}

int DefaultMailPort(int protocol, int security) {
  if (protocol == kProtocolImap) return security == kSecuritySslTls ? kImapsPort : kImapPort;
  return DefaultPort(security);
}

std::string PortAfterChoice(const std::string& port, int protocol, int security) {
  const std::string usual = std::to_string(DefaultMailPort(protocol, security));
  if (port.empty()) return security == kSecuritySslTls ? usual : port;
  for (const int known : {kPopPort, kPop3sPort, kImapPort, kImapsPort})
    if (port == std::to_string(known)) return usual;
  return port;
}

}  // namespace fennick
