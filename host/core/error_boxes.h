// The general error handler's boxes never stack. A box's modal loop keeps the timers running, and a
// timer that fails again would open a box inside the box, and so on until the stack runs out: instead,
// errors that come while a box is open are counted, and when it closes one box tells how many came,
// with the last one's text.
#pragma once

#include <optional>
#include <string>

namespace mokuna {

class ErrorBoxGate {
 public:
  // True when a box may show text now; false when one is open, and the error has been counted.
  bool Open(const std::string& text) {
    if (open_) {
      ++more_;
      last_ = text;
      return false;
    }
    open_ = true;
    return true;
  }

  // The open box has closed: the text of the box to show next (which is then the open one), or nullopt
  // when no error came meanwhile.
  std::optional<std::string> Closed() {
    if (more_ == 0) {
      open_ = false;
      return std::nullopt;
    }
    std::string text = "ほかに " + std::to_string(more_) + " 件のエラーがありました．\r\n\r\n" + last_;
    more_ = 0;
    last_.clear();
    return text;
  }

  bool IsOpen() const { return open_; }
  void Reset() { *this = ErrorBoxGate(); }

 private:
  bool open_ = false;
  int more_ = 0;
  std::string last_;
};

}  // namespace mokuna
