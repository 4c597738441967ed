#include "Md5unit.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "file_io.h"

namespace fennick {
namespace {

constexpr std::uint32_t kS[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                  5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                  4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                  6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// floor(abs(sin(i + 1)) * 2^32)
constexpr std::uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

inline std::uint32_t Rotl(std::uint32_t x, std::uint32_t n) { return (x << n) | (x >> (32 - n)); }

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

void TMD5::Reset() {
  a_ = 0x67452301;
  b_ = 0xefcdab89;
  c_ = 0x98badcfe;
  d_ = 0x10325476;
}

void TMD5::Transform(const unsigned char* p) {
  for (int i = 0; i < 16; ++i, p += 4)
    block_[i] = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                std::uint32_t(p[3]) << 24;
  aa_ = a_, bb_ = b_, cc_ = c_, dd_ = d_;
  std::uint32_t a = a_, b = b_, c = c_, d = d_;
  for (int i = 0; i < 64; ++i) {
    std::uint32_t f;
    int g;
    switch (i / 16) {
      case 0: f = (b & c) | (~b & d), g = i; break;
      case 1: f = (b & d) | (c & ~d), g = (5 * i + 1) % 16; break;
      case 2: f = b ^ c ^ d, g = (3 * i + 5) % 16; break;
      default: f = c ^ (b | ~d), g = (7 * i) % 16; break;
    }
    const std::uint32_t next = b + Rotl(a + f + kT[i] + block_[g], kS[i]);
    a = d, d = c, c = b, b = next;
  }
  a_ = aa_ + a, b_ = bb_ + b, c_ = cc_ + c, d_ = dd_ + d;
}

void TMD5::TransformArea(std::size_t bytes) {
  for (std::size_t at = 0; at < bytes; at += 64) Transform(work_ + at);
}

std::size_t TMD5::Pad(std::size_t used, std::uint64_t total_bytes) {
  work_[used++] = 0x80;
  while (used % 64 != 56) work_[used++] = 0;
  const std::uint64_t bits = total_bytes * 8;
  for (int i = 0; i < 8; ++i) work_[used++] = static_cast<unsigned char>(bits >> (8 * i));
  return used;
}

void TMD5::DigestMemory(const unsigned char* data, std::size_t length) {
  std::size_t done = 0;
  // Input beyond what one work area can pad goes through it a file block at a time.
  while (length - done > kMaxSinglePassInput) {
    std::memcpy(work_, data + done, kFileBlockSize);
    TransformArea(kFileBlockSize);
    done += kFileBlockSize;
  }
  const std::size_t rest = length - done;
  if (rest) std::memcpy(work_, data + done, rest);
  TransformArea(Pad(rest, length));
}

void TMD5::DigestFile() {
  std::unique_ptr<std::FILE, FileCloser> file(fileio::OpenForReading(InputFilePath));
  if (!file) throw Md5InputError(InputFilePath + ": " + std::strerror(errno));
  std::uint64_t total = 0;
  for (;;) {
    const std::size_t got = std::fread(work_, 1, kFileBlockSize, file.get());
    if (std::ferror(file.get())) throw Md5InputError(InputFilePath + ": read error");
    total += got;
    if (got < kFileBlockSize) {
      TransformArea(Pad(got, total));
      return;
    }
    TransformArea(kFileBlockSize);
  }
}

void TMD5::WriteDigest() const {
  const std::uint32_t words[4] = {a_, b_, c_, d_};
  for (int w = 0; w < 4; ++w)
    for (int i = 0; i < 4; ++i) DigestBuffer[w * 4 + i] = static_cast<unsigned char>(words[w] >> (8 * i));
}

void TMD5::ComputeDigest() {
  if (!DigestBuffer) return;
  Reset();
  switch (InputType) {
    case SourceFile:
      DigestFile();
      break;
    case SourceByteArray:
      DigestMemory(InputBuffer, InputBuffer && InputLength > 0 ? static_cast<std::size_t>(InputLength) : 0);
      break;
    case SourceString: {
      InputLength = static_cast<std::int32_t>(InputString.size());
      const std::string copy = InputString;
      DigestMemory(reinterpret_cast<const unsigned char*>(copy.data()), copy.size());
      break;
    }
  }
  WriteDigest();
}

std::string DigestToHex(const unsigned char digest[16]) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(32);
  for (int i = 0; i < 16; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

std::string Md5Hex(const std::string& text) {
  TMD5 md5;
  md5.InputType = SourceString;
  md5.InputLength = 0;
  md5.InputString = text;
  unsigned char digest[16] = {};
  md5.DigestBuffer = digest;
  md5.ComputeDigest();
  return DigestToHex(digest);
}

}  // namespace fennick
