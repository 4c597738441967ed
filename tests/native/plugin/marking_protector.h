// A protector for tests that opens only what it made: its blobs are the secret behind a mark.
#pragma once

#include <string>

#include "secret_protector.h"

namespace fennick::testing {

class MarkingProtector : public SecretProtector {
 public:
  std::optional<std::string> Protect(std::string_view secret) const override { return "M:" + std::string(secret); }
  std::optional<std::string> Unprotect(std::string_view blob) const override {
    if (blob.substr(0, 2) != "M:") return std::nullopt;
    return std::string(blob.substr(2));
  }
};

}  // namespace fennick::testing
