// The queue of result strings between the worker thread, which fills it, and the host's thread, which
// drains it with isResult / GetResults.
#pragma once

#include <deque>
#include <mutex>
#include <string>

namespace kavrel {

class ResultQueue {
 public:
  void Push(std::string result) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(result));
  }

  std::size_t Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
  }

  // Moves the oldest string into out; false (out untouched) when none waits.
  bool Pop(std::string& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty()) return false;
    out = std::move(queue_.front());
    queue_.pop_front();
    return true;
  }

  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> queue_;
};

}  // namespace kavrel
