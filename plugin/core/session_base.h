// What the POP3 and the IMAP conversation share: the settings and state they work on, the connection, the
// result being built, the TLS start, and the new-mail announcement with its sound.
#pragma once

#include <string>
#include <utility>

#include "mail_check.h"
#include "pop_transport.h"
#include "sound_player.h"

namespace fennick {

class SessionBase {
 protected:
  SessionBase(const EpopSettings& settings, ModuleState& state, PopTransport& transport, SoundPlayer* player,
              const PopTimeouts& timeouts)
      : settings_(settings), state_(state), transport_(transport), player_(player), timeouts_(timeouts) {}

  // The outcome of a conversation that went as converse says; the connection is closed on every path.
  template <class F>
  ConversationOutcome Conclude(F&& converse) {
    ConversationOutcome outcome;
    outcome.success = converse();
    transport_.Close();
    outcome.result = std::move(result_);
    return outcome;
  }

  bool Fail(const char* result) {
    result_ = result;
    return false;
  }

  // TLS on the open connection. Every refusal ends the check before anything else is sent.
  bool StartTls() {
    const char* refusal = TlsRefusal(transport_.StartTls(settings_.POPServer, timeouts_.wait_ms));
    return !refusal || Fail(refusal);
  }

  // The new-mail result for count (as the server wrote it), and the sound when it is on.
  void AnnounceNewMail(const std::string& count) {
    result_ = std::string(results::kNewMailHead) + count + results::kNewMailTail;
    if (settings_.isPlay && player_ && player_->IsOpen()) player_->PlayToEnd();
  }

  const EpopSettings& settings_;
  ModuleState& state_;
  PopTransport& transport_;
  SoundPlayer* player_;
  const PopTimeouts& timeouts_;
  std::string result_;
};

}  // namespace fennick
