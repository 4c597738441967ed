// A listening TCP socket on 127.0.0.1 at a port the system chooses, for the tests' own servers: they never
// need a fixed port, so they never meet another server on the machine.
#pragma once

#include <winsock2.h>

namespace testsupport {

// Starts Winsock (the caller ends it with WSACleanup) and listens; port receives the chosen port.
// INVALID_SOCKET when no socket could be had.
inline SOCKET ListenOnLoopback(int& port) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 4) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listener != INVALID_SOCKET) closesocket(listener);
    port = 0;
    return INVALID_SOCKET;
  }
  port = ntohs(address.sin_port);
  return listener;
}

}  // namespace testsupport
