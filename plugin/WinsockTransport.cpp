#include "WinsockTransport.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <utility>

namespace fennick {
namespace {

// What a look-up thread and its caller share. The caller may stop waiting and go; whichever of the two
// lets go last frees it, answer included.
struct Lookup {
  std::string host, service;
  WinsockTransport::Resolver resolve;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  int status = EAI_FAIL;
  addrinfo* found = nullptr;

  ~Lookup() {
    if (found) freeaddrinfo(found);
    if (done) CloseHandle(done);
  }
};

struct LookupStart {
  std::shared_ptr<Lookup> lookup;
  HMODULE module;  // this library, held for the thread's life: the scheduler may unload it meanwhile
};

DWORD WINAPI LookupThread(void* param) {
  const HMODULE module = static_cast<LookupStart*>(param)->module;
  {
    std::shared_ptr<Lookup> lookup = std::move(static_cast<LookupStart*>(param)->lookup);
    delete static_cast<LookupStart*>(param);
    // Winsock stays started for the look-up even when the transport that asked has been cleaned up.
    WSADATA data;
    const bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (started) {
      addrinfo hints{};
      hints.ai_family = AF_UNSPEC;
      hints.ai_socktype = SOCK_STREAM;
      hints.ai_protocol = IPPROTO_TCP;
      // Nothing may leave a thread's entry: a resolver that throws is a look-up that failed.
      try {
        lookup->status = lookup->resolve
                             ? lookup->resolve(lookup->host.c_str(), lookup->service.c_str(), &hints, &lookup->found)
                             : getaddrinfo(lookup->host.c_str(), lookup->service.c_str(), &hints, &lookup->found);
      } catch (...) {
        lookup->status = EAI_FAIL;
      }
    }
    SetEvent(lookup->done);
    lookup.reset();
    if (started) WSACleanup();
  }
  FreeLibraryAndExitThread(module, 0);
}

// getaddrinfo has no time-out of its own and a resolver may take as long as it likes: the look-up runs on
// a thread of its own, and the caller waits at most timeout_ms for it. An abandoned look-up finishes on
// its own and frees what it found. On success *found is the caller's, to free with freeaddrinfo.
bool ResolveWithin(const std::string& host, const std::string& service, int timeout_ms,
                   const WinsockTransport::Resolver& resolve, addrinfo** found) {
  auto lookup = std::make_shared<Lookup>();
  if (!lookup->done) return false;
  lookup->host = host;
  lookup->service = service;
  lookup->resolve = resolve;
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&LookupThread),
                          &module))
    return false;
  auto* start = new LookupStart{lookup, module};
  HANDLE thread = CreateThread(nullptr, 0, LookupThread, start, 0, nullptr);
  if (!thread) {
    delete start;
    FreeLibrary(module);
    return false;
  }
  CloseHandle(thread);
  if (WaitForSingleObject(lookup->done, static_cast<DWORD>(timeout_ms < 0 ? 0 : timeout_ms)) != WAIT_OBJECT_0 ||
      lookup->status != 0)
    return false;
  *found = std::exchange(lookup->found, nullptr);
  return true;
}

}  // namespace

WinsockTransport::WinsockTransport() {
  WSADATA data;
  started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockTransport::~WinsockTransport() {
  Close();
  if (started_) WSACleanup();
}

bool WinsockTransport::Connect(const std::string& host, int port, int within_ms) {
  Close();
  if (!started_ || host.empty() || host.find('\0') != std::string::npos || port <= 0 || port > 65535)
    return false;
  // The look-up and every address it gives share within_ms; each on its own also has the connect time-out.
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(within_ms < 0 ? 0 : within_ms);
  const auto bound = [&] {
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG left = deadline > now ? deadline - now : 0;
    return static_cast<int>(std::min<ULONGLONG>(left, static_cast<ULONGLONG>(connect_timeout_ms_ < 0 ? 0 : connect_timeout_ms_)));
  };

  // A dotted address is used as it stands, without asking any resolver.
  sockaddr_in v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
    v4.sin_port = htons(static_cast<u_short>(port));
    return ConnectSocket(AF_INET, reinterpret_cast<const sockaddr*>(&v4), sizeof v4, bound());
  }

  addrinfo* found = nullptr;
  if (!ResolveWithin(host, std::to_string(port), bound(), resolver_, &found)) return false;
  for (addrinfo* a = found; a && !IsOpen(); a = a->ai_next) {
    const int ms = bound();
    if (ms == 0) break;
    ConnectSocket(a->ai_family, a->ai_addr, static_cast<int>(a->ai_addrlen), ms);
  }
  freeaddrinfo(found);
  return IsOpen();
}

// Connects without letting the system's own, much longer, attempt hold the caller; the socket is blocking
// again afterwards.
bool WinsockTransport::ConnectSocket(int family, const sockaddr* address, int length, int timeout_ms) {
  socket_ = socket(family, SOCK_STREAM, IPPROTO_TCP);
  if (socket_ == INVALID_SOCKET) return false;
  u_long non_blocking = 1;
  bool connected = ioctlsocket(socket_, FIONBIO, &non_blocking) == 0;
  if (connected && connect(socket_, address, length) != 0) {
    connected = false;
    if (WSAGetLastError() == WSAEWOULDBLOCK) {
      fd_set writable, failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(socket_, &writable);
      FD_SET(socket_, &failed);
      const int ms = timeout_ms < 0 ? 0 : timeout_ms;
      timeval limit{ms / 1000, (ms % 1000) * 1000};
      int error = 0, size = sizeof error;
      connected = select(0, nullptr, &writable, &failed, &limit) == 1 && FD_ISSET(socket_, &writable) &&
                  getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 &&
                  error == 0;
    }
  }
  u_long blocking = 0;
  if (connected && ioctlsocket(socket_, FIONBIO, &blocking) == 0) return true;
  Close();
  return false;
}

MailTransport::WaitResult WinsockTransport::WaitReadable(int timeout_ms) {
  if (!IsOpen()) return WaitResult::Error;
  if (timeout_ms < 0) timeout_ms = 0;
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket_, &readable);
  timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  const int ready = select(0, &readable, nullptr, nullptr, &limit);
  if (ready == SOCKET_ERROR) return WaitResult::Error;
  return ready > 0 ? WaitResult::Readable : WaitResult::TimedOut;
}

std::ptrdiff_t WinsockTransport::Read(char* buffer, std::size_t max, int timeout_ms) {
  if (!IsOpen()) return -1;
  if (max == 0) return 0;
  switch (WaitReadable(timeout_ms)) {
    case WaitResult::Error: return -1;
    case WaitResult::TimedOut: return 0;
    case WaitResult::Readable: break;
  }
  const int got = recv(socket_, buffer, max > INT_MAX ? INT_MAX : static_cast<int>(max), 0);
  if (got == SOCKET_ERROR) return -1;
  return got;  // 0: the peer has closed
}

bool WinsockTransport::Send(std::string_view bytes) {
  if (!IsOpen()) return false;
  while (!bytes.empty()) {
    const int chunk = bytes.size() > INT_MAX ? INT_MAX : static_cast<int>(bytes.size());
    const int sent = send(socket_, bytes.data(), chunk, 0);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

void WinsockTransport::Close() {
  if (socket_ != INVALID_SOCKET) {
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
}

}  // namespace fennick
