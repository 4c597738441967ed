#include "DpapiProtector.h"

#include <windows.h>
#include <wincrypt.h>

namespace fennick {
namespace {

// Mixed into every blob, so that another program of the same user that opens blobs for its own purposes
// does not open ours by chance.
constexpr char kEntropy[] = "Fennick epop.ini password 1";

DATA_BLOB Blob(std::string_view bytes) {
  return {static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

std::optional<std::string> Take(BOOL ok, DATA_BLOB& out) {
  if (!ok) return std::nullopt;
  std::string bytes(reinterpret_cast<const char*>(out.pbData), out.cbData);
  SecureZeroMemory(out.pbData, out.cbData);
  LocalFree(out.pbData);
  return bytes;
}

}  // namespace

std::optional<std::string> DpapiProtector::Protect(std::string_view secret) const {
  DATA_BLOB in = Blob(secret), entropy = Blob(std::string_view(kEntropy, sizeof kEntropy - 1)), out{};
  return Take(CryptProtectData(&in, L"Fennick", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out), out);
}

std::optional<std::string> DpapiProtector::Unprotect(std::string_view blob) const {
  DATA_BLOB in = Blob(blob), entropy = Blob(std::string_view(kEntropy, sizeof kEntropy - 1)), out{};
  return Take(CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out), out);
}

}  // namespace fennick
