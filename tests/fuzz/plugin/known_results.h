// The result strings a mail check may end with. POP3 tells a refused user name from a refused password and
// fails a retrieval; IMAP only refuses a login.
#pragma once

#include <string>

#include "mail_results.h"

namespace fuzzing {

// announce: the sender box is on, so names may follow the new-mail result's tail.
inline bool IsKnownCheckResult(const std::string& r, bool imap, bool announce = false) {
  namespace res = fennick::results;
  for (const char* known : {res::kNoNewMail, res::kCannotConnect, res::kReceiveFailed, res::kQuitReceiveFailed,
                            res::kUnexpectedReply, res::kTlsNameMismatch, res::kTlsUntrusted, res::kStlsRefused,
                            res::kSecureConnectionFailed, imap ? res::kLoginRefused : res::kBadUser,
                            imap ? res::kLoginRefused : res::kBadPassword, imap ? res::kLoginRefused : res::kSendingFailure})
    if (r == known) return true;
  const std::string head = res::kNewMailHead, tail = res::kNewMailTail;
  const std::size_t at = r.find(tail, head.size() + 1);
  return r.compare(0, head.size(), head) == 0 && at != std::string::npos && (announce || at + tail.size() == r.size());
}

}  // namespace fuzzing
