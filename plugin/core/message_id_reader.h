// The message identifier of a message retrieved over POP3, read from the reply as its reads arrive.
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
    NoIdentifier,  // the message ended without one, or its ">" never came: the identifier is empty
    Refused,       // the server answered the retrieval with an error
  };

  // Takes the next read of the reply, zero bytes included. After a step other than More, nothing more is
  // needed.
  Step Take(std::string_view chunk);

  // Lower case, angle brackets included, no blanks around it and no control bytes in it.
  const std::string& Identifier() const { return id_; }

 private:
  std::string status_;   // the first bytes, to tell an error reply
  std::string carry_;    // the last bytes taken so far, lower-cased, for matches across two reads
  std::string pending_;  // the identifier so far, once its header was found
  bool in_identifier_ = false;
  std::string id_;
};

}  // namespace fennick
