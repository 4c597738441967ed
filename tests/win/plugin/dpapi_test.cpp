// The password's protected form against the system's DPAPI.
#include <gtest/gtest.h>

#include <string>

#include "DpapiProtector.h"

namespace fennick {
namespace {

TEST(DpapiProtector, OpensItsOwnBlobAndNoChangedOne) {
  const DpapiProtector protector;
  for (const std::string& secret : {std::string("pass=word"), std::string("パスワード\0x", 12), std::string()}) {
    const std::optional<std::string> blob = protector.Protect(secret);
    ASSERT_TRUE(blob);
    if (!secret.empty()) {
      EXPECT_EQ(blob->find(secret), std::string::npos);
    }
    EXPECT_EQ(protector.Unprotect(*blob), secret);
    // Through its base64 text, as epop.ini keeps it.
    EXPECT_EQ(protector.Unprotect(Base64Decode(Base64Encode(*blob)).value()), secret);
    for (const std::size_t from_end : {1u, 8u, 20u}) {
      std::string changed = *blob;
      changed[changed.size() - from_end] ^= 0x5A;
      EXPECT_FALSE(protector.Unprotect(changed)) << from_end;
    }
  }
}

}  // namespace
}  // namespace fennick
