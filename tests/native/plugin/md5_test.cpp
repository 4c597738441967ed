#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Md5unit.h"
#include "file_io.h"

namespace fennick {
namespace {

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + 3) & 255);
  return s;
}

std::string OfString(const std::string& text) {
  TMD5 md5;
  md5.InputType = SourceString;
  md5.InputString = text;
  unsigned char digest[16];
  md5.DigestBuffer = digest;
  md5.ComputeDigest();
  EXPECT_EQ(md5.InputLength, static_cast<std::int32_t>(text.size()));
  return DigestToHex(digest);
}

std::string OfBytes(const std::string& bytes) {
  TMD5 md5;
  md5.InputType = SourceByteArray;
  md5.InputBuffer = reinterpret_cast<const unsigned char*>(bytes.data());
  md5.InputLength = static_cast<std::int32_t>(bytes.size());
  unsigned char digest[16];
  md5.DigestBuffer = digest;
  md5.ComputeDigest();
  return DigestToHex(digest);
}

std::string OfFile(const std::string& bytes) {
  const auto path = (std::filesystem::temp_directory_path() / "popcore_md5_input.bin").string();
  EXPECT_TRUE(fileio::WriteFileAtomic(path, bytes));
  TMD5 md5;
  md5.InputFilePath = path;  // SourceFile is the initial input type
  unsigned char digest[16];
  md5.DigestBuffer = digest;
  md5.ComputeDigest();
  std::remove(path.c_str());
  return DigestToHex(digest);
}

TEST(Md5, Rfc1321SuiteForStringsAndByteArrays) {
  const std::vector<std::pair<std::string, std::string>> suite = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [input, digest] : suite) {
    EXPECT_EQ(OfString(input), digest) << input;
    EXPECT_EQ(OfBytes(input), digest) << input;
  }
}

// Digests from an independent implementation, at the lengths where padding and block handling change.
TEST(Md5, LengthsAroundPaddingAndWorkAreaLimits) {
  const std::vector<std::pair<std::size_t, std::string>> cases = {
      {0, "d41d8cd98f00b204e9800998ecf8427e"},     // an empty file is one padding block
      {55, "52c0e574e1198de5fe3f8f11440dcb1b"},    // pads into one block
      {56, "46c9907fc908ee68b1e7b8e71286a518"},    // needs a second block
      {63, "a62f6d59e837867693f042f5b8f5a236"},
      {64, "7160b8fb5e9e4023d549c3971fbaeead"},
      {4096, "d105289f5617c241f52a191c6b2fc809"},  // a full file block, then padding alone
      {4151, "c51c3bbd473b00604e149c4f9cf5990d"},  // the most one work area can pad
      {4152, "461b3fc7f99bb6109dd381b9bc3b77f6"},  // beyond it: several passes
      {8192, "e7d9befc38280c62a9fa40eae7633c90"},
      {10000, "941546d1c333e2f0d9efd902e5cb94b7"},
  };
  for (const auto& [length, digest] : cases) {
    const std::string input = Pattern(length);
    EXPECT_EQ(OfString(input), digest) << length;
    EXPECT_EQ(OfBytes(input), digest) << length;
    EXPECT_EQ(OfFile(input), digest) << length;
  }
}

TEST(Md5, RepeatedStringComputationsAgreeAndLengthFollowsTheString) {
  TMD5 md5;
  md5.InputType = SourceString;
  unsigned char first[16], between[16], second[16];
  md5.InputString = "abc";
  md5.DigestBuffer = first;
  md5.ComputeDigest();
  md5.InputString = "message digest";
  md5.DigestBuffer = between;
  md5.ComputeDigest();
  md5.InputString = "abc";
  md5.DigestBuffer = second;
  md5.ComputeDigest();
  EXPECT_EQ(DigestToHex(first), DigestToHex(second));
  EXPECT_EQ(DigestToHex(second), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(md5.InputLength, 3);
}

TEST(Md5, MissingFileRaisesAndLeavesTheDigestAlone) {
  TMD5 md5;
  md5.InputType = SourceFile;
  md5.InputFilePath = "/nonexistent/popcore/no-such-file";
  unsigned char digest[16];
  std::fill(std::begin(digest), std::end(digest), 0xAB);
  md5.DigestBuffer = digest;
  EXPECT_THROW(md5.ComputeDigest(), Md5InputError);
  for (unsigned char b : digest) EXPECT_EQ(b, 0xAB);
}

}  // namespace
}  // namespace fennick
