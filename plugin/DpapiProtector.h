// The mailbox password protected with DPAPI for the current Windows user.
#pragma once

#include "secret_protector.h"

namespace fennick {

class DpapiProtector : public SecretProtector {
 public:
  std::optional<std::string> Protect(std::string_view secret) const override;
  std::optional<std::string> Unprotect(std::string_view blob) const override;
};

}  // namespace fennick
