// A scripted POP3 server (TLS verdicts included) and a recording sound player for the mail-check tests.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "mail_transport.h"
#include "sound_player.h"

namespace fennick::testing {

// The server's side as a queue of what the next waits and reads meet. A chunk longer than a read takes
// is handed out over several reads, as a socket would.
class ScriptedTransport : public MailTransport {
 public:
  enum class Kind { Data, Closed, Silence, WaitError, ReadError };
  struct Event {
    Kind kind;
    std::string bytes;
  };

  ScriptedTransport& Reply(std::string bytes) { return Push({Kind::Data, std::move(bytes)}); }
  ScriptedTransport& Closed() { return Push({Kind::Closed, {}}); }      // read yields nothing
  ScriptedTransport& Silence() { return Push({Kind::Silence, {}}); }    // wait runs out
  ScriptedTransport& WaitError() { return Push({Kind::WaitError, {}}); }
  ScriptedTransport& ReadError() { return Push({Kind::ReadError, {}}); }

  bool Connect(const std::string& host, int port, int within_ms) override {
    host_ = host;
    port_ = port;
    ++connects_;
    if (on_connect_) on_connect_();
    connect_within_ms_ = within_ms;
    return connect_ok_;
  }

  WaitResult WaitReadable(int timeout_ms) override {
    wait_timeouts_.push_back(timeout_ms);
    if (events_.empty()) return WaitResult::TimedOut;
    switch (events_.front().kind) {
      case Kind::Silence: events_.pop_front(); return WaitResult::TimedOut;
      case Kind::WaitError: events_.pop_front(); return WaitResult::Error;
      default: return WaitResult::Readable;
    }
  }

  std::ptrdiff_t Read(char* buffer, std::size_t max, int timeout_ms) override {
    read_maxima_.push_back(max);
    read_timeouts_.push_back(timeout_ms);
    if (on_read_) on_read_();
    if (events_.empty()) return 0;
    Event& e = events_.front();
    if (e.kind == Kind::ReadError) {
      events_.pop_front();
      return -1;
    }
    if (e.kind != Kind::Data) {
      events_.pop_front();
      return 0;
    }
    const std::size_t n = std::min(max, e.bytes.size());
    std::copy_n(e.bytes.data(), n, buffer);
    bytes_read_ += n;
    e.bytes.erase(0, n);
    if (e.bytes.empty()) events_.pop_front();
    return static_cast<std::ptrdiff_t>(n);
  }

  bool Send(std::string_view bytes) override {
    sent_.emplace_back(bytes);
    return sent_.size() != fail_send_;
  }

  TlsResult StartTls(const std::string& server_name, int timeout_ms, int within_ms) override {
    tls_.push_back({server_name, timeout_ms, sent_.size(), within_ms});
    return tls_result_;
  }

  void Close() override { ++closes_; }

  // Settings of the script.
  bool connect_ok_ = true;
  std::size_t fail_send_ = 0;  // the 1-based send that fails; 0 for none
  std::function<void()> on_read_, on_connect_;
  TlsResult tls_result_ = TlsResult::Ok;  // what every handshake ends with

  // What the plug-in did.
  std::string host_;
  int port_ = 0;
  int connects_ = 0;
  int connect_within_ms_ = 0;
  int closes_ = 0;
  std::vector<std::string> sent_;
  std::vector<std::size_t> read_maxima_;
  std::vector<int> read_timeouts_, wait_timeouts_;
  std::size_t bytes_read_ = 0;
  struct Handshake {
    std::string server_name;
    int timeout_ms;
    std::size_t sent_before;  // commands sent before it began
    int within_ms;
  };
  std::vector<Handshake> tls_;
  std::deque<Event> events_;

 private:
  ScriptedTransport& Push(Event e) {
    events_.push_back(std::move(e));
    return *this;
  }
};

class RecordingPlayer : public SoundPlayer {
 public:
  bool FileExists(const std::string& path) const override { return existing_.count(path) != 0; }
  bool Open(const std::string& path, std::string* error) override {
    opened_.push_back(path);
    if (!open_error_.empty()) {
      if (error) *error = open_error_;
      return false;
    }
    open_ = true;
    return true;
  }
  bool IsOpen() const override { return open_; }
  void PlayToEnd() override {
    if (open_) ++plays_;
    if (on_play_) on_play_();
  }
  void Close() override {
    if (open_) ++closes_;
    open_ = false;
  }

  std::set<std::string> existing_;
  std::string open_error_;
  std::function<void()> on_play_;
  std::vector<std::string> opened_;
  bool open_ = false;
  int plays_ = 0;
  int closes_ = 0;
};

}  // namespace fennick::testing
