#include "mail_connection.h"

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
    : transport_(transport), waits_(waits), clock_(clock), replies_start_ms_(clock.TickMs()) {}

bool MailConnection::Connect(const std::string& host, std::optional<int> port) {
  return (port && transport_.Connect(host, *port)) || Fail(results::kCannotConnect);
}

bool MailConnection::StartTls(const std::string& server_name) {
  const char* refusal = TlsRefusal(transport_.StartTls(server_name, waits_.wait_ms));
  return !refusal || Fail(refusal);
}

bool MailConnection::Send(std::string_view bytes) {
  return transport_.Send(bytes) || Fail(results::kCannotConnect);
}

bool MailConnection::Wait() {
  return WaitReadable() == MailTransport::WaitResult::Readable || Fail(results::kCannotConnect);
}

MailTransport::WaitResult MailConnection::WaitReadable() { return transport_.WaitReadable(waits_.wait_ms); }

std::ptrdiff_t MailConnection::Read(char* buffer, std::size_t max) {
  const std::ptrdiff_t got = transport_.Read(buffer, max, waits_.read_ms);
  return got > static_cast<std::ptrdiff_t>(max) ? static_cast<std::ptrdiff_t>(max) : got;
}

void MailConnection::StartReplies() { replies_start_ms_ = clock_.TickMs(); }

bool MailConnection::RepliesOverdue() const {
  return clock_.TickMs() - replies_start_ms_ >= waits_.retrieve_total_ms;
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
