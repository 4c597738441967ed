// The mailbox password is kept in epop.ini only in a form that the platform can open again for the same
// user on the same machine (DPAPI on Windows), written as base64 text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base64.h"

namespace fennick {

class SecretProtector {
 public:
  virtual ~SecretProtector() = default;
  // The protected form of secret; nothing when the platform cannot protect it.
  virtual std::optional<std::string> Protect(std::string_view secret) const = 0;
  // The secret a protected form holds; nothing when it cannot be opened here (another user, another PC,
  // changed bytes).
  virtual std::optional<std::string> Unprotect(std::string_view blob) const = 0;
};

}  // namespace fennick
