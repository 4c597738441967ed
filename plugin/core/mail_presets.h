// The settings window's choices of a mail provider and the port its fields move to when the protocol or the
// security changes. A preset only fills fields; the user may change every one of them afterwards.
#pragma once

#include <string>

#include "epop_settings.h"

namespace fennick {

struct MailPreset {
  const char* name;    // as the drop-down shows it, Shift-JIS
  const char* server;  // null for the entry that changes nothing
  int protocol;
  int security;
  int port;
};

// The first entry, "その他", changes nothing; the others come from each provider's published settings.
const MailPreset* MailPresets(int& count);

// The usual port of a protocol with a security: POP3 995 with SSL/TLS, else 110; IMAP 993 with SSL/TLS,
// else 143.
int DefaultMailPort(int protocol, int security);

// The port field's text once the protocol or the security changed: a port that is one of the usual four
// becomes the usual one of the new choice, and so does an empty field when the choice is SSL/TLS (whose
// port a user might not know); anything else the user typed stays.
std::string PortAfterChoice(const std::string& port, int protocol, int security);

}  // namespace fennick
