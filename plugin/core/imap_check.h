// The IMAP conversation of a mail check (IMAP4rev2, compatible with IMAP4rev1 servers), over the same
// transport as POP3: greeting, STARTTLS when chosen, login, STATUS of INBOX, a UID search for unseen mail
// added since the last check, LOGOUT. New mail is mail that arrived since the last check and is still unseen.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "epop_settings.h"
#include "mail_connection.h"
#include "mail_results.h"

namespace mokuna {
class Clock;
}

namespace fennick {

class SoundPlayer;

constexpr int kImapPort = 143;
constexpr int kImapsPort = 993;

// The IMAP port of the settings: POPPort when set, else 993 for SSL/TLS and 143 otherwise; nothing when
// POPPort's text is no port or the security is unknown.
std::optional<int> ResolveImapPort(const EpopSettings& settings);

// Steps of a check with settings already loaded, for an IMAP mailbox: connect to settings.POPServer at the
// resolved port (TLS from the start, or after STARTTLS, as settings.POPSecurity says), log in as
// settings.Account with settings.Password, read INBOX's STATUS, decide, play the sound on new mail (when
// settings.isPlay and player is open), LOGOUT. state.imap is updated only when the conversation succeeds.
// The connection is closed on every path. player may be null; clock null means the program's clock. The
// user name and password go as to_utf8 makes them of the settings' Shift-JIS (as they stand without it).
ConversationOutcome RunImapConversation(const EpopSettings& settings, ModuleState& state,
                                        MailTransport& transport, SoundPlayer* player,
                                        const MailWaits& waits = {}, const mokuna::Clock* clock = nullptr,
                                        const TextToUtf8& to_utf8 = {});

}  // namespace fennick
