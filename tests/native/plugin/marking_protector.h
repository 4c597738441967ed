// A protector for tests that opens only what it made: the secret behind a mark.
#pragma once
#include "secret_protector.h"
namespace fennick::testing {
struct MarkingProtector : SecretProtector {
  std::optional<std::string> Protect(std::string_view s) const override { return "M:" + std::string(s); }
  std::optional<std::string> Unprotect(std::string_view b) const override {
    return b.substr(0, 2) == "M:" ? std::optional<std::string>(b.substr(2)) : std::nullopt;
  }
};
}  // namespace fennick::testing
