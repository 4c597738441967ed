#define SECURITY_WIN32
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#define SCHANNEL_USE_BLACKLISTS  // declares SCH_CREDENTIALS
#include "TlsTransport.h"

#include <windows.h>
#include <wincrypt.h>
#include <subauth.h>
#include <schannel.h>
#include <security.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "win_text.h"

namespace fennick {
namespace {

using Clock = std::chrono::steady_clock;

// Stream semantics, with the context's buffers allocated by the system; the certificate is ours to check.
constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                ISC_REQ_MANUAL_CRED_VALIDATION;
constexpr DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
constexpr DWORD kProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
// A peer that sends this much without one complete TLS message is not speaking TLS.
constexpr std::size_t kMaxPending = 128 * 1024;
// A whole handshake may take this many single waits, so that a server dripping bytes cannot hold it.
constexpr long long kHandshakeWaits = 3;
// A server that keeps the connection busy without saying anything is given up like one that closed it:
// after this many records without plain text in one read (empty records, post-handshake messages)...
constexpr int kMaxRecordsWithoutText = 64;
// ...or this many renegotiations (post-handshake messages, with TLS 1.3) in one connection. A server sends
// a ticket or two after the handshake; this leaves room for those and a key update.
constexpr int kMaxRenegotiations = 8;
// The SSL policy's check flag that leaves revocation out (declared for the internet functions).
constexpr DWORD kIgnoreRevocation = 0x00000080;

int MsUntil(Clock::time_point deadline) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return ms <= 0 ? 0 : ms >= INT_MAX ? INT_MAX : static_cast<int>(ms);
}

// SNI carries host names only: an address literal is not sent.
bool IsAddressLiteral(const std::string& host) {
  in_addr v4;
  in6_addr v6;
  std::string bare = host;
  if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') bare = bare.substr(1, bare.size() - 2);
  return inet_pton(AF_INET, bare.c_str(), &v4) == 1 || inet_pton(AF_INET6, bare.c_str(), &v6) == 1;
}

// The start of a server's first TLS record: a handshake message or an alert, protocol version 3.x.
bool LooksLikeTls(const std::string& bytes) {
  const auto type = static_cast<unsigned char>(bytes[0]);
  return (type == 0x16 || type == 0x15) && (bytes.size() < 2 || bytes[1] == 0x03);
}

}  // namespace

struct TlsTransport::Session {
  CredHandle credentials{};
  bool has_credentials = false;
  CtxtHandle context{};
  bool has_context = false;
  std::wstring server_name;  // for the certificate's name check
  std::wstring target;       // for SNI: empty for an address literal
  SecPkgContext_StreamSizes sizes{};
  std::string incoming;  // ciphertext received and not yet decrypted
  std::string plain;     // what is left of the current record's plain text
  bool ended = false;    // closing alert received, the peer closed the connection, or it was given up
  bool server_answered = false;
  int renegotiations = 0;

  ~Session() {
    if (has_context) DeleteSecurityContext(&context);
    if (has_credentials) FreeCredentialsHandle(&credentials);
  }

  wchar_t* Target() { return target.empty() ? nullptr : target.data(); }

  bool Acquire(void* data) {
    TimeStamp expiry;
    has_credentials = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND,
                                                nullptr, data, nullptr, nullptr, &credentials,
                                                &expiry) == SEC_E_OK;
    return has_credentials;
  }

  bool AcquireCredentials() {
    TLS_PARAMETERS tls{};
    tls.grbitDisabledProtocols = ~static_cast<DWORD>(kProtocols);
    SCH_CREDENTIALS modern{};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = kCredentialFlags;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &tls;
    if (Acquire(&modern)) return true;
    // Systems that predate that record take the older one, which lists the protocols to allow; the oldest
    // of them know nothing newer than TLS 1.2.
    SCHANNEL_CRED older{};
    older.dwVersion = SCHANNEL_CRED_VERSION;
    older.dwFlags = kCredentialFlags;
    older.grbitEnabledProtocols = kProtocols;
    if (Acquire(&older)) return true;
    older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    return Acquire(&older);
  }

  // One more arrival of ciphertext, waiting at most wait_ms: Readable when bytes were added to incoming or
  // the peer closed (ended is then set), else TimedOut or Error.
  WaitResult Receive(WinsockTransport& socket, int wait_ms) {
    if (incoming.size() >= kMaxPending) return WaitResult::Error;
    const WaitResult waited = socket.WaitReadable(wait_ms);
    if (waited != WaitResult::Readable) return waited;
    char chunk[16 * 1024];
    const std::ptrdiff_t got = socket.Read(chunk, sizeof chunk, 0);
    if (got < 0) return WaitResult::Error;
    if (got == 0)
      ended = true;  // closed without the closing alert: the end all the same
    else
      incoming.append(chunk, static_cast<std::size_t>(got));
    return WaitResult::Readable;
  }

  // The handshake, or a later one the server asks for, until the system is content. Each wait for the
  // server is bounded by timeout_ms, and the whole of it by a few of those and by limit.
  bool Handshake(WinsockTransport& socket, int timeout_ms, Clock::time_point limit = Clock::time_point::max()) {
    const auto deadline = std::min(limit, Clock::now() + std::chrono::milliseconds(kHandshakeWaits * timeout_ms));
    int retries_without_certificate = 0;
    for (;;) {
      // Every pass, not only every wait: a server can keep the system busy with what it has already sent.
      if (Clock::now() >= deadline) return false;
      // A server whose first answer is anything but a TLS record (a plain-text greeting, say) is given up
      // at once rather than after the wait.
      if (!server_answered && !incoming.empty()) {
        if (!LooksLikeTls(incoming)) return false;
        server_answered = true;
      }
      SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
      SecBufferDesc out_desc{SECBUFFER_VERSION, 1, out};
      SecBuffer in[2] = {{static_cast<unsigned long>(incoming.size()), SECBUFFER_TOKEN, incoming.data()},
                         {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc in_desc{SECBUFFER_VERSION, 2, in};
      unsigned long attributes = 0;
      SECURITY_STATUS status;
      if (!has_context) {
        status = InitializeSecurityContextW(&credentials, nullptr, Target(), kContextFlags, 0, 0, nullptr, 0,
                                            &context, &out_desc, &attributes, nullptr);
        has_context = status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK;
      } else {
        status = InitializeSecurityContextW(&credentials, &context, Target(), kContextFlags, 0, 0, &in_desc, 0,
                                            &context, &out_desc, &attributes, nullptr);
        // What the system did not take is kept for its next call (or for the first reads).
        if (status != SEC_E_INCOMPLETE_MESSAGE && status != SEC_I_INCOMPLETE_CREDENTIALS) {
          if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer <= incoming.size())
            incoming.erase(0, incoming.size() - in[1].cbBuffer);
          else
            incoming.clear();
        }
      }
      if (out[0].pvBuffer) {
        const bool sent =
            out[0].cbBuffer == 0 || socket.Send(std::string_view(static_cast<const char*>(out[0].pvBuffer),
                                                                 out[0].cbBuffer));
        FreeContextBuffer(out[0].pvBuffer);
        if (!sent) return false;
      }
      if (status == SEC_E_OK) return true;
      if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
        // The server asks for a client certificate: there is none, go on without.
        if (++retries_without_certificate > 2) return false;
        continue;
      }
      if (status == SEC_E_INCOMPLETE_MESSAGE || (status == SEC_I_CONTINUE_NEEDED && incoming.empty())) {
        const int left = MsUntil(deadline);
        if (left == 0 || Receive(socket, std::min(timeout_ms, left)) != WaitResult::Readable || ended) return false;
        continue;
      }
      if (status != SEC_I_CONTINUE_NEEDED) return false;
    }
  }

  // The server's certificate: a chain for server authentication to a root the system trusts, then the SSL
  // policy for the server's name. A revocation status that cannot be had offline does not count; a
  // revocation known to the system does. The chain's own verdict is read first because some systems' SSL
  // policy lets a chain that ends at an unknown authority pass.
  //
  // Building the chain fetches nothing from the network: intermediates come from what the server sent and
  // what the system already holds, and revocation from the system's cache. A download would run past the
  // check's deadline (the system bounds each one alone, not their sum). Whatever the system still looks up
  // for itself is given what is left of the deadline, left_ms.
  TlsResult CheckCertificate(int left_ms, TlsTransport::CertificateFindings* findings = nullptr) {
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesW(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK ||
        !certificate)
      return TlsResult::Untrusted;
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chain_para{};
    chain_para.cbSize = sizeof chain_para;
    chain_para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chain_para.RequestedUsage.Usage.cUsageIdentifier = 1;
    chain_para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    chain_para.dwUrlRetrievalTimeout = static_cast<DWORD>(left_ms < 1 ? 1 : left_ms);
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    TlsResult verdict = TlsResult::Untrusted;
    if (CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chain_para,
                                CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                                    CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY | CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL,
                                nullptr, &chain)) {
      constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
      SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
      ssl.cbSize = sizeof ssl;
      ssl.dwAuthType = AUTHTYPE_SERVER;
      ssl.fdwChecks = kIgnoreRevocation;  // a revoked certificate has failed the chain already
      ssl.pwszServerName = server_name.data();
      CERT_CHAIN_POLICY_PARA policy{};
      policy.cbSize = sizeof policy;
      policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
      policy.pvExtraPolicyPara = &ssl;
      CERT_CHAIN_POLICY_STATUS status{};
      status.cbSize = sizeof status;
      const DWORD chain_errors = chain->TrustStatus.dwErrorStatus;
      if ((chain_errors & ~kRevocationUnknown) == 0 &&
          CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status)) {
        if (status.dwError == 0)
          verdict = TlsResult::Ok;
        else if (status.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH))
          verdict = TlsResult::NameMismatch;
      }
      if (findings) *findings = {true, chain_errors, static_cast<long>(status.dwError)};
      CertFreeCertificateChain(chain);
    }
    CertFreeCertificateContext(certificate);
    return verdict;
  }

  bool QuerySizes() {
    return QueryContextAttributesW(&context, SECPKG_ATTR_STREAM_SIZES, &sizes) == SEC_E_OK &&
           sizes.cbMaximumMessage > 0;
  }

  // The protocol agreed on is checked as well: some systems take the credentials' protocol limits
  // without applying them.
  bool ModernProtocol() {
    SecPkgContext_ConnectionInfo info{};
    if (QueryContextAttributesW(&context, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK) return false;
    constexpr DWORD kOld = SP_PROT_SSL2 | SP_PROT_SSL3 | SP_PROT_TLS1_0 | SP_PROT_TLS1_1;
    return info.dwProtocol != 0 && (info.dwProtocol & kOld) == 0;
  }

  enum class Step { Record, NeedMore, Failed };

  // Decrypts the first record of incoming into plain. A renegotiation the server starts is run here, by
  // deadline, and its certificate checked again.
  Step DecryptRecord(WinsockTransport& socket, int timeout_ms, Clock::time_point deadline) {
    if (incoming.empty()) return Step::NeedMore;
    SecBuffer buffers[4] = {{static_cast<unsigned long>(incoming.size()), SECBUFFER_DATA, incoming.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&context, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return Step::NeedMore;
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) return Step::Failed;
    // Both pieces lie inside incoming (decrypted in place): copy them out before it changes.
    std::string text, extra;
    for (const SecBuffer& b : buffers) {
      if (b.BufferType == SECBUFFER_DATA && b.pvBuffer && b.cbBuffer)
        text.assign(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
      else if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer && b.cbBuffer <= incoming.size())
        extra = incoming.substr(incoming.size() - b.cbBuffer);
    }
    plain = std::move(text);
    incoming = std::move(extra);
    if (status == SEC_I_CONTEXT_EXPIRED) ended = true;
    // A server past the bound of renegotiations, or one that does not see its renegotiation through in
    // the read's time, or with a certificate we would not take, has stopped holding a conversation: the
    // stream ends here, as a read that receives nothing.
    if (status == SEC_I_RENEGOTIATE &&
        (++renegotiations > kMaxRenegotiations || !Handshake(socket, timeout_ms, deadline) || !ModernProtocol() ||
         !QuerySizes() || CheckCertificate(MsUntil(deadline)) != TlsResult::Ok))
      ended = true;
    return Step::Record;
  }

  // Until plain text is there or the stream has ended (Readable), the time is up, or an error. The time
  // is the whole call's, however busily the server sends records without text.
  WaitResult Fill(WinsockTransport& socket, int timeout_ms) {
    if (timeout_ms < 0) timeout_ms = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    int records_without_text = 0;
    for (bool first = true;; first = false) {
      if (!plain.empty() || ended) return WaitResult::Readable;
      switch (DecryptRecord(socket, timeout_ms, deadline)) {
        case Step::Record:
          if (plain.empty() && ++records_without_text >= kMaxRecordsWithoutText) ended = true;
          if (plain.empty() && !ended && Clock::now() >= deadline) return WaitResult::TimedOut;
          continue;
        case Step::Failed: return WaitResult::Error;
        case Step::NeedMore: break;
      }
      // What has come is used up: one more wait, unless the time is up (a call without time polls once).
      if (!first && Clock::now() >= deadline) return WaitResult::TimedOut;
      const WaitResult waited = Receive(socket, MsUntil(deadline));
      if (waited != WaitResult::Readable) return waited;
    }
  }

  bool Encrypt(WinsockTransport& socket, std::string_view bytes) {
    while (!bytes.empty()) {
      const std::size_t n = std::min<std::size_t>(bytes.size(), sizes.cbMaximumMessage);
      std::string record(sizes.cbHeader + n + sizes.cbTrailer, '\0');
      std::memcpy(record.data() + sizes.cbHeader, bytes.data(), n);
      SecBuffer buffers[4] = {
          {sizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
          {static_cast<unsigned long>(n), SECBUFFER_DATA, record.data() + sizes.cbHeader},
          {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes.cbHeader + n},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      if (EncryptMessage(&context, 0, &desc, 0) != SEC_E_OK) return false;
      const std::size_t length = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
      if (length > record.size() || !socket.Send(std::string_view(record.data(), length))) return false;
      bytes.remove_prefix(n);
    }
    return true;
  }

  void SendClosingAlert(WinsockTransport& socket) {
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control[1] = {{sizeof type, SECBUFFER_TOKEN, &type}};
    SecBufferDesc control_desc{SECBUFFER_VERSION, 1, control};
    if (ApplyControlToken(&context, &control_desc) != SEC_E_OK) return;
    SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc out_desc{SECBUFFER_VERSION, 1, out};
    unsigned long attributes = 0;
    const SECURITY_STATUS status = InitializeSecurityContextW(
        &credentials, &context, Target(), kContextFlags, 0, 0, nullptr, 0, &context, &out_desc, &attributes, nullptr);
    if ((status == SEC_E_OK || status == SEC_I_CONTEXT_EXPIRED) && out[0].pvBuffer && out[0].cbBuffer)
      socket.Send(std::string_view(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer));
    if (out[0].pvBuffer) FreeContextBuffer(out[0].pvBuffer);
  }
};

TlsTransport::TlsTransport() = default;

TlsTransport::~TlsTransport() { Close(); }

bool TlsTransport::Connect(const std::string& host, int port, int within_ms) {
  Close();
  return plain_.Connect(host, port, within_ms);
}

MailTransport::WaitResult TlsTransport::WaitReadable(int timeout_ms) {
  if (!session_) return plain_.WaitReadable(timeout_ms);
  if (!IsOpen()) return WaitResult::Error;
  return session_->Fill(plain_, timeout_ms);
}

std::ptrdiff_t TlsTransport::Read(char* buffer, std::size_t max, int timeout_ms) {
  if (!session_) return plain_.Read(buffer, max, timeout_ms);
  if (!IsOpen()) return -1;
  if (max == 0) return 0;
  switch (session_->Fill(plain_, timeout_ms)) {
    case WaitResult::Error: return -1;
    case WaitResult::TimedOut: return 0;
    case WaitResult::Readable: break;
  }
  std::string& plain = session_->plain;
  const std::size_t n = std::min(max, plain.size());
  std::memcpy(buffer, plain.data(), n);
  plain.erase(0, n);
  return static_cast<std::ptrdiff_t>(n);  // 0: the stream has ended
}

bool TlsTransport::Send(std::string_view bytes) {
  if (!session_) return plain_.Send(bytes);
  return IsOpen() && session_->Encrypt(plain_, bytes);
}

MailTransport::TlsResult TlsTransport::StartTls(const std::string& server_name, int timeout_ms, int within_ms) {
  if (session_ || !IsOpen()) {
    Close();
    return TlsResult::HandshakeFailed;
  }
  if (timeout_ms < 0) timeout_ms = 0;
  const auto limit = Clock::now() + std::chrono::milliseconds(within_ms < 0 ? 0 : within_ms);
  findings_ = {};
  auto session = std::make_unique<Session>();
  session->server_name = mokuna::WidenSjis(server_name);
  if (!IsAddressLiteral(server_name)) session->target = session->server_name;
  TlsResult verdict = TlsResult::HandshakeFailed;
  if (session->AcquireCredentials() && session->Handshake(plain_, timeout_ms, limit) && session->ModernProtocol() &&
      session->QuerySizes())
    verdict = session->CheckCertificate(MsUntil(limit), &findings_);
  if (verdict != TlsResult::Ok) {
    // Nothing more goes over this connection, in clear text least of all.
    session.reset();
    plain_.Close();
    return verdict;
  }
  session_ = std::move(session);
  return TlsResult::Ok;
}

void TlsTransport::Close() {
  if (session_ && plain_.IsOpen()) session_->SendClosingAlert(plain_);
  session_.reset();
  plain_.Close();
}

}  // namespace fennick
