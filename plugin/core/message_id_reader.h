// The message identifier of a message retrieved over POP3, read from the reply as its reads arrive: the
// value of the header field named Message-ID, and of no other.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fennick {

class MessageIdReader {
 public:
  enum class Step {
    More,          // the identifier is still to come: give the next read
    Found,         // Identifier() holds it
    NoIdentifier,  // the header ended without one, or its ">" never came: the identifier is empty
    Refused,       // the server answered the retrieval with an error
  };

  // Takes the next read of the reply, zero bytes included. After a step other than More, nothing more is
  // needed.
  Step Take(std::string_view chunk);

  // Lower case, angle brackets included, no blanks around it and no control bytes in it.
  const std::string& Identifier() const { return id_; }

 private:
  // What the current line is, as far as its first bytes tell.
  enum class Line { Status, Name, Other, Identifier };

  Step TakeByte(char c);

  Line line_ = Line::Status;
  std::string status_;         // the first bytes of the reply, to tell an error
  std::size_t line_bytes_ = 0;  // of the current line, CR aside
  char first_ = 0;             // the current line's first byte
  std::string name_;           // the current line's first bytes, lower-cased, while they may name the field
  bool in_id_field_ = false;   // the field going on is Message-ID (its folded lines continue it)
  std::string value_;          // its value so far, folded lines joined
  std::string id_;
};

}  // namespace fennick
