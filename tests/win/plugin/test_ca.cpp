// Trusts or distrusts a certificate authority for the current user of the Wine prefix it runs in, so
// that the TLS tests can make certificates of their own that the system accepts:
//   test_ca add FILE [LEAF]  adds the certificate in FILE (PEM or DER) to the user's Root store
//   test_ca remove FILE      removes it again (no error when it is not there)
// After adding it looks the certificate up in the Root store that chain building reads and, given LEAF (a
// server certificate the authority issued), builds LEAF's chain as the mail check does. Either failing
// gives exit code 3, with what was found on stderr.
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

// The error bits of certificate's chain for server authentication, built as the mail check builds it.
DWORD ServerChainErrors(PCCERT_CONTEXT certificate) {
  LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(nullptr, certificate, nullptr, nullptr, &para,
                               CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY,
                               nullptr, &chain))
    return CERT_TRUST_IS_PARTIAL_CHAIN;
  const DWORD errors = chain->TrustStatus.dwErrorStatus;
  CertFreeCertificateChain(chain);
  return errors;
}

PCCERT_CONTEXT LoadCertificate(const char* path) {
  const std::vector<BYTE> der = ReadCertificate(path);
  return der.empty() ? nullptr
                     : CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string action = argc >= 3 ? argv[1] : "";
  if (!(action == "add" && argc <= 4) && !(action == "remove" && argc == 3)) {
    std::fprintf(stderr, "usage: test_ca add FILE [LEAF] | remove FILE\n");
    return 2;
  }
  PCCERT_CONTEXT certificate = LoadCertificate(argv[2]);
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
  } else if (ok && action == "add" && argc == 4) {
    // Only the revocation status, which cannot be had offline, may be unknown.
    constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    PCCERT_CONTEXT leaf = LoadCertificate(argv[3]);
    const DWORD errors = leaf ? ServerChainErrors(leaf) : CERT_TRUST_IS_PARTIAL_CHAIN;
    if (leaf) CertFreeCertificateContext(leaf);
    if (errors & ~kRevocationUnknown) {
      std::fprintf(stderr, "added, but a certificate it issued is not trusted: chain errors %08lx\n", errors);
      status = 3;
    }
  }
  CertFreeCertificateContext(certificate);
  return status;
}
