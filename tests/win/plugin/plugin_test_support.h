// Pieces the plug-in's Win32 tests share: a loopback server that plays one
// side of a conversation on its own thread, and a transport that sends the mail check to that server.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "WinsockTransport.h"
#include "file_io.h"
#include "loopback_listener.h"
#include "scratch_folder.h"

namespace fennick_test {

using ScratchFolder = testsupport::ScratchFolder;

inline std::string ReadAll(const std::string& path) {
  std::string bytes;
  return fileio::ReadFile(path, bytes) ? bytes : std::string("<missing>");
}

// Listens on 127.0.0.1 at a free port; Serve runs script on the first connection on a thread of its own.
class LoopbackServer {
 public:
  LoopbackServer() : listener_(testsupport::ListenOnLoopback(port_)) {}
  ~LoopbackServer() {
    closesocket(listener_);  // also ends an accept that never got its client
    if (thread_.joinable()) thread_.join();
    WSACleanup();
  }
  int Port() const { return port_; }
  // Waits for the script to finish (the client must have connected).
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

  void Serve(std::function<void(SOCKET)> script) {
    thread_ = std::thread([this, script] {
      SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      script(client);
      closesocket(client);
    });
  }

  static void Send(SOCKET s, const std::string& text) { send(s, text.data(), static_cast<int>(text.size()), 0); }

  // One line from the client (without CR LF), or "" when nothing comes within two seconds.
  static std::string ReadLine(SOCKET s) {
    std::string line;
    char c;
    for (;;) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(s, &readable);
      timeval limit{2, 0};
      if (select(0, &readable, nullptr, nullptr, &limit) != 1 || recv(s, &c, 1, 0) != 1) return line;
      if (c == '\n') break;
      line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  // Waits (bounded) until the client has closed its side.
  static void WaitForClose(SOCKET s) {
    char c;
    for (int i = 0; i < 50; ++i) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(s, &readable);
      timeval limit{0, 100000};
      if (select(0, &readable, nullptr, nullptr, &limit) == 1 && recv(s, &c, 1, 0) <= 0) return;
    }
  }

 private:
  int port_ = 0;
  SOCKET listener_ = INVALID_SOCKET;
  std::thread thread_;
};

// The real Winsock transport with the mail check's fixed port 110 sent to the test server instead.
class RedirectedTransport final : public fennick::MailTransport {
 public:
  explicit RedirectedTransport(int port) : port_(port) {}
  bool Connect(const std::string& host, int, int within_ms) override { return inner_.Connect(host, port_, within_ms); }
  WaitResult WaitReadable(int ms) override { return inner_.WaitReadable(ms); }
  std::ptrdiff_t Read(char* b, std::size_t n, int ms) override { return inner_.Read(b, n, ms); }
  bool Send(std::string_view bytes) override { return inner_.Send(bytes); }
  void Close() override { inner_.Close(); }
  bool IsOpen() const { return inner_.IsOpen(); }

 private:
  fennick::WinsockTransport inner_;
  int port_;
};

inline long long MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace fennick_test
