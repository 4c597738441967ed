#include "WinsockTransport.h"

#include <ws2tcpip.h>

#include <climits>

namespace fennick {

WinsockTransport::WinsockTransport() {
  WSADATA data;
  started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockTransport::~WinsockTransport() {
  Close();
  if (started_) WSACleanup();
}

bool WinsockTransport::Connect(const std::string& host, int port) {
  Close();
  if (!started_ || host.empty() || host.find('\0') != std::string::npos || port <= 0 || port > 65535)
    return false;

  // A dotted address is used as it stands, without asking any resolver.
  sockaddr_in v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
    v4.sin_port = htons(static_cast<u_short>(port));
    return ConnectSocket(AF_INET, reinterpret_cast<const sockaddr*>(&v4), sizeof v4);
  }

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  for (addrinfo* a = found; a && !IsOpen(); a = a->ai_next)
    ConnectSocket(a->ai_family, a->ai_addr, static_cast<int>(a->ai_addrlen));
  freeaddrinfo(found);
  return IsOpen();
}

// Connects without letting the system's own, much longer, attempt hold the caller; the socket is blocking
// again afterwards.
bool WinsockTransport::ConnectSocket(int family, const sockaddr* address, int length) {
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
      const int ms = connect_timeout_ms_ < 0 ? 0 : connect_timeout_ms_;
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

PopTransport::WaitResult WinsockTransport::WaitReadable(int timeout_ms) {
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
