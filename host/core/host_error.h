// A failure inside a handler of the main program. It ends that handler; the general error handler shows
// its text (Shift-JIS) in a message box captioned with the application title, and the program goes on.
#pragma once

#include <stdexcept>
#include <string>

namespace mokuna {

class HostError : public std::runtime_error {
 public:
  explicit HostError(const std::string& sjis_text) : std::runtime_error(sjis_text) {}
};

// The application title, the caption of the general error handler's message boxes.
inline constexpr const char* kApplicationTitle = "Oribel Mokuna";

}  // namespace mokuna
