// Trusts or distrusts a certificate authority for the current user of the Wine prefix it runs in, so
// that the TLS tests can make certificates of their own that the system accepts:
//   test_ca add FILE      adds the certificate in FILE (PEM or DER) to the user's Root store
//   test_ca remove FILE   removes it again (no error when it is not there)
// After adding it looks the certificate up in the Root store that chain building reads, and fails with
// exit code 3 when it is not there.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> ReadCertificate(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.find("-----BEGIN") == std::string::npos) return std::vector<BYTE>(bytes.begin(), bytes.end());
  DWORD size = 0;
  if (!CryptStringToBinaryA(bytes.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
    return {};
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(bytes.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
    return {};
  der.resize(size);
  return der;
}

// The store's copy of certificate, or null; the caller frees it.
PCCERT_CONTEXT FindIn(HCERTSTORE store, PCCERT_CONTEXT certificate) {
  return CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, certificate, nullptr);
}

// Whether the certificate is in the Root store that chain building reads (the user's, with the machine's).
bool InTrustedRoots(PCCERT_CONTEXT certificate) {
  HCERTSTORE roots = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                   CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, L"Root");
  if (!roots) return false;
  PCCERT_CONTEXT found = FindIn(roots, certificate);
  if (found) CertFreeCertificateContext(found);
  CertCloseStore(roots, 0);
  return found != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string action = argc == 3 ? argv[1] : "";
  if (action != "add" && action != "remove") {
    std::fprintf(stderr, "usage: test_ca add|remove FILE\n");
    return 2;
  }
  const std::vector<BYTE> der = ReadCertificate(argv[2]);
  PCCERT_CONTEXT certificate =
      der.empty() ? nullptr
                  : CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
  if (!certificate) {
    std::fprintf(stderr, "no certificate in %s\n", argv[2]);
    return 1;
  }
  // The registry part of the store itself: a removal through the system store's collection is not kept.
  HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  if (!root) {
    std::fprintf(stderr, "the user's Root store cannot be opened: %lu\n", GetLastError());
    CertFreeCertificateContext(certificate);
    return 1;
  }
  bool ok = true;
  if (action == "add") {
    ok = CertAddCertificateContextToStore(root, certificate, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  } else if (PCCERT_CONTEXT found = FindIn(root, certificate)) {
    ok = CertDeleteCertificateFromStore(found);  // frees found
  }
  if (!ok) std::fprintf(stderr, "test_ca %s failed: %lu\n", action.c_str(), GetLastError());
  CertCloseStore(root, 0);
  int status = ok ? 0 : 1;
  if (ok && action == "add" && !InTrustedRoots(certificate)) {
    std::fprintf(stderr, "added, but the Root store does not show it\n");
    status = 3;
  }
  CertFreeCertificateContext(certificate);
  return status;
}
