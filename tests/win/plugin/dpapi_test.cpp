// DPAPI's blob of the password opens, through base64 too; one with changed bytes at its end does not.
#include <gtest/gtest.h>

#include "DpapiProtector.h"

TEST(DpapiProtector, OpensItsOwnBlobAndNoChangedOne) {
  const fennick::DpapiProtector protector;
  for (const std::string& secret : {std::string("pass=word"), std::string("パスワード\0x", 12), std::string()}) {
    const std::optional<std::string> blob = protector.Protect(secret);
    ASSERT_TRUE(blob);
    EXPECT_TRUE(secret.empty() || blob->find(secret) == std::string::npos);
    EXPECT_EQ(protector.Unprotect(fennick::Base64Decode(fennick::Base64Encode(*blob)).value()), secret);
    for (const std::size_t from_end : {1u, 8u, 20u}) {
      std::string changed = *blob;
      changed[changed.size() - from_end] ^= 0x5A;
      EXPECT_FALSE(protector.Unprotect(changed)) << from_end;
    }
  }
}
