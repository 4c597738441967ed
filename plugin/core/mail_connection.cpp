#include "mail_connection.h"

#include <algorithm>
#include <climits>

#include "clock.h"
#include "mail_announcement.h"
#include "mail_results.h"

namespace fennick {

std::string DecisionResult(const MailDecision& decision) {
  if (!decision.new_mail) return results::kNoNewMail;
  return std::string(results::kNewMailHead) + decision.count + results::kNewMailTail +
         AnnouncementTokens(decision.named, decision.new_count);
}

const char* TlsRefusal(MailTransport::TlsResult result) {
  switch (result) {
    case MailTransport::TlsResult::Ok: return nullptr;
    case MailTransport::TlsResult::NameMismatch: return results::kTlsNameMismatch;
    case MailTransport::TlsResult::Untrusted: return results::kTlsUntrusted;
    case MailTransport::TlsResult::HandshakeFailed: break;
  }
  return results::kSecureConnectionFailed;
}

MailConnection::MailConnection(MailTransport& transport, const MailWaits& waits, const mokuna::Clock& clock)
    : transport_(transport), waits_(waits), clock_(clock), start_ms_(clock.TickMs()) {}

std::int64_t MailConnection::NowMs() const { return clock_.TickMs(); }

int MailConnection::RemainingMs() const {
  const std::int64_t left = start_ms_ + paused_ms_ + waits_.total_ms - NowMs();
  return static_cast<int>(std::clamp<std::int64_t>(left, 0, INT_MAX));
}

// A step's own bound, cut short by the deadline.
int MailConnection::Bounded(int step_ms) const { return std::min(step_ms, RemainingMs()); }

bool MailConnection::Connect(const std::string& host, std::optional<int> port) {
  start_ms_ = NowMs();
  paused_ms_ = 0;
  return (port && transport_.Connect(host, *port, RemainingMs())) || Fail(results::kCannotConnect);
}

bool MailConnection::StartTls(const std::string& server_name) {
  const int left = RemainingMs();
  const char* refusal = TlsRefusal(left == 0 ? MailTransport::TlsResult::HandshakeFailed
                                             : transport_.StartTls(server_name, Bounded(waits_.wait_ms), left));
  return !refusal || Fail(refusal);
}

bool MailConnection::Send(std::string_view bytes) {
  return transport_.Send(bytes) || Fail(results::kCannotConnect);
}

// Every time-out while waiting for the server, the deadline's included, is one the server could not be
// reached in.
bool MailConnection::Wait() {
  return (!Overdue() && WaitReadable() == MailTransport::WaitResult::Readable) || Fail(results::kCannotConnect);
}

MailTransport::WaitResult MailConnection::WaitReadable() {
  return Overdue() ? MailTransport::WaitResult::TimedOut : transport_.WaitReadable(Bounded(waits_.wait_ms));
}

std::ptrdiff_t MailConnection::Read(char* buffer, std::size_t max) {
  const std::ptrdiff_t got = transport_.Read(buffer, max, Bounded(waits_.read_ms));
  return got > static_cast<std::ptrdiff_t>(max) ? static_cast<std::ptrdiff_t>(max) : got;
}

bool MailConnection::Fail(const char* result) {
  failure_ = result;
  return false;
}

ConversationOutcome MailConnection::Finish(bool success, const MailDecision& decision) {
  Close();
  ConversationOutcome outcome;
  outcome.success = success;
  outcome.result = success ? DecisionResult(decision) : std::move(failure_);
  return outcome;
}

void MailConnection::Close() {
  if (closed_) return;
  closed_ = true;
  transport_.Close();
}

}  // namespace fennick
