// The POP3 conversation of a mail check: greeting, STLS when chosen, USER/PASS or APOP, the count, the
// newest message's identifier, the new-mail decision, QUIT.
#pragma once

#include "epop_settings.h"
#include "mail_connection.h"

namespace mokuna {
class Clock;
}

namespace fennick {

class SoundPlayer;

// Steps 2 to 12 of a check with settings already loaded: connect to settings.POPServer at the resolved
// port (TLS from the start, or after STLS, as settings.POPSecurity says), log in, count, read the newest
// message's identifier, decide, play the sound on new mail (when settings.isPlay and player is open), QUIT.
// The count and identifier reach state once decided, before QUIT. The connection is closed on every path.
// player may be null. clock null means the program's current clock.
ConversationOutcome RunPop3Conversation(const EpopSettings& settings, ModuleState& state,
                                        MailTransport& transport, SoundPlayer* player,
                                        const MailWaits& waits = {}, const mokuna::Clock* clock = nullptr);

}  // namespace fennick
