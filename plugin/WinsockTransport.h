// The mail check's connection over Winsock: one blocking TCP client connection whose every wait and read
// is bounded by the time-out the conversation passes in.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <functional>

#include "mail_transport.h"

namespace fennick {

class WinsockTransport final : public MailTransport {
 public:
  WinsockTransport();
  ~WinsockTransport() override;
  WinsockTransport(const WinsockTransport&) = delete;
  WinsockTransport& operator=(const WinsockTransport&) = delete;

  bool Connect(const std::string& host, int port, int within_ms = INT_MAX) override;
  WaitResult WaitReadable(int timeout_ms) override;
  std::ptrdiff_t Read(char* buffer, std::size_t max, int timeout_ms) override;
  bool Send(std::string_view bytes) override;
  void Close() override;

  bool IsOpen() const { return socket_ != INVALID_SOCKET; }
  // An address that does not answer is given up after this long, like every other wait for the server;
  // a host-name look-up is bounded alike. Connect's within_ms cuts both short.
  void SetConnectTimeoutMs(int ms) { connect_timeout_ms_ = ms; }

  // Answers a host-name look-up as getaddrinfo does (the answer is released with freeaddrinfo). Runs on a
  // thread of its own that may outlive the transport. Tests put in one that is slow or never answers.
  using Resolver = std::function<int(const char* host, const char* service, const addrinfo* hints, addrinfo** found)>;
  void SetResolver(Resolver resolver) { resolver_ = std::move(resolver); }

 private:
  bool ConnectSocket(int family, const sockaddr* address, int length, int timeout_ms);

  bool started_ = false;
  int connect_timeout_ms_ = 10000;
  Resolver resolver_;
  SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace fennick
