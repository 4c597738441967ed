// One mail check's connection to its server: the transport, how long each step may wait, the deadline of
// the whole check, and the result that ended the check early. The POP3 and the IMAP conversation each talk through one and keep none of
// this themselves; what they hand back is their decision about the mailbox.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mail_header.h"
#include "mail_transport.h"

namespace mokuna {
class Clock;
}

namespace fennick {

// How long a check waits for its server. Every wait and every read gives up after its own bound, and the
// whole check after total_ms, from the first connection attempt to the result (every address of the name,
// the TLS handshake and a server that drips its replies included), so that it never holds the scheduler's
// worker for long. The time the new-mail sound plays is the user's and not counted. Tests shorten them.
struct MailWaits {
  int wait_ms = 10000;
  int read_ms = 10000;
  std::int64_t total_ms = 60000;
};

// How a conversation ended: its result string, kept whole however long, and whether it ended properly,
// so that the settings file may be written.
struct ConversationOutcome {
  std::string result;
  bool success = false;
};

// What a conversation decided about the mailbox.
struct MailDecision {
  bool new_mail = false;
  std::string count;  // the count the announcement says
  // With AnnounceSender on: the newest new messages, oldest first, and how many messages are new.
  std::vector<MessageNames> named;
  std::size_t new_count = 0;
};

// Turns the settings' Shift-JIS text into UTF-8, for a server that wants it; the platform knows how.
using TextToUtf8 = std::function<std::string(const std::string& sjis)>;

// The result string of a check that ended with this decision.
std::string DecisionResult(const MailDecision& decision);

// The result that ends a check whose TLS start ended so; nullptr for a secured connection.
const char* TlsRefusal(MailTransport::TlsResult result);

class MailConnection {
 public:
  MailConnection(MailTransport& transport, const MailWaits& waits, const mokuna::Clock& clock);
  ~MailConnection() { Close(); }
  MailConnection(const MailConnection&) = delete;
  MailConnection& operator=(const MailConnection&) = delete;

  // Connects to host at port and starts the check's deadline; no port fails as a connection that cannot be
  // made does.
  bool Connect(const std::string& host, std::optional<int> port);
  // TLS on the open connection. Every refusal ends the check before anything else is sent.
  bool StartTls(const std::string& server_name);
  bool Send(std::string_view bytes);
  // Waits for the server to say something; a wait that runs out or breaks ends the check.
  bool Wait();
  MailTransport::WaitResult WaitReadable();
  // One read of at most max bytes: the count, 0 when nothing came, -1 after a socket error.
  std::ptrdiff_t Read(char* buffer, std::size_t max);

  // The check's deadline has passed: a step that reads on ends the check with its own overdue result.
  bool Overdue() const { return RemainingMs() == 0; }
  // Runs f (the new-mail sound) without counting its time against the deadline.
  template <class F>
  void OffTheClock(F&& f) {
    const std::int64_t start = NowMs();
    f();
    paused_ms_ += NowMs() - start;
  }

  // Ends the check with result; always false, so that a step can end with `return connection.Fail(...)`.
  bool Fail(const char* result);
  bool Failed() const { return !failure_.empty(); }

  // Closes the connection (once, however often it is called) and gives the outcome: the decision's result
  // when the conversation succeeded, else the result it failed with.
  ConversationOutcome Finish(bool success, const MailDecision& decision);
  void Close();

 private:
  std::int64_t NowMs() const;
  int RemainingMs() const;
  int Bounded(int step_ms) const;

  MailTransport& transport_;
  const MailWaits& waits_;
  const mokuna::Clock& clock_;
  std::int64_t start_ms_;
  std::int64_t paused_ms_ = 0;
  std::string failure_;
  bool closed_ = false;
};

}  // namespace fennick
