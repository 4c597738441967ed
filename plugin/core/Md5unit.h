// TMD5: the MD5 message digest (RFC 1321) of a file, a block of bytes in memory or a string. The plug-in
// uses it for the APOP digest of the greeting's timestamp followed by the password.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace fennick {

enum TSourceType { SourceFile = 0, SourceByteArray = 1, SourceString = 2 };

// Raised by ComputeDigest when the file of SourceFile cannot be opened or read; no digest is written then.
class Md5InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TMD5 {
 public:
  // Size of the one work area: 64 blocks of input plus one block for the padding.
  static constexpr std::size_t kWorkAreaSize = 4160;
  static constexpr std::size_t kFileBlockSize = 4096;
  // Largest in-memory input that pads within one work area; longer input is digested in several passes
  // over the same area, with the same (standard) result.
  static constexpr std::size_t kMaxSinglePassInput = kWorkAreaSize - 1 - 8;  // 4151

  TSourceType InputType = SourceFile;
  std::string InputFilePath;                   // SourceFile; Shift-JIS path
  const unsigned char* InputBuffer = nullptr;  // SourceByteArray; owned by the caller
  std::string InputString;                     // SourceString; its bytes are digested
  unsigned char* DigestBuffer = nullptr;       // 16 bytes, owned by the caller, set before ComputeDigest
  std::int32_t InputLength = 0;                // bytes at InputBuffer; set from InputString for SourceString

  // Digests the input InputType selects and writes A, B, C, D (each least significant byte first) to
  // DigestBuffer. Throws Md5InputError for an unreadable file. Does nothing without a DigestBuffer; a
  // negative InputLength counts as 0.
  void ComputeDigest();

 private:
  void Reset();
  void Transform(const unsigned char* block);  // one 64-byte block into A..D
  void TransformArea(std::size_t bytes);        // work_[0..bytes) in 64-byte steps
  std::size_t Pad(std::size_t used, std::uint64_t total_bytes);  // pads work_ after used bytes; new length
  void DigestMemory(const unsigned char* data, std::size_t length);
  void DigestFile();
  void WriteDigest() const;

  std::uint32_t block_[16] = {};
  std::uint32_t a_ = 0, b_ = 0, c_ = 0, d_ = 0;
  std::uint32_t aa_ = 0, bb_ = 0, cc_ = 0, dd_ = 0;
  unsigned char work_[kWorkAreaSize] = {};
};

// The digest as 32 lower-case hexadecimal digits, bytes in order (the APOP form).
std::string DigestToHex(const unsigned char digest[16]);

// MD5 of text's bytes as 32 lower-case hexadecimal digits, through a TMD5 set up as the plug-in's MD51.
std::string Md5Hex(const std::string& text);

}  // namespace fennick
