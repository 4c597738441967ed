// The server's side of an IMAP conversation: whole responses framed by their line breaks and the literals
// they carry, every part bounded, and the pieces of a response the mail check looks at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fennick {

class MailConnection;

namespace imap {

// One line of a response, its line break included, and one whole response, its literals included. The
// replies the mail check asks for are a few hundred bytes; the bounds only keep a broken or hostile server
// from filling memory.
constexpr std::size_t kLineLimit = 64 * 1024;
constexpr std::size_t kResponseLimit = 1024 * 1024;

class ReplyReader {
 public:
  enum class Status {
    Ok,
    Closed,       // the connection ended before the response did
    TimedOut,     // a wait for the server ran out
    SocketError,
    TooLong,      // a line or the response went past its bound
    Overdue,      // the check's deadline passed first
  };

  // Every wait and read is the connection's, and the reading ends once the check's deadline has passed,
  // so a server that drips bytes or untagged responses cannot hold the caller for long.
  explicit ReplyReader(MailConnection& connection) : connection_(connection) {}

  // The next whole response without its last line break. Literals stay in it as sent: "{n}", the line
  // break and the n bytes, counted without looking at them.
  Status Next(std::string& response);

  // Forgets what was read and not yet returned. After STARTTLS nothing that came in plain text may be
  // taken for what the server says over TLS.
  void DropBuffered() { buffer_.clear(); }

 private:
  Status Fill();

  MailConnection& connection_;
  std::string buffer_;  // read and not yet part of a returned response
};

// The parts of a response that tell what it is.
struct Response {
  enum class Kind { Untagged, Continuation, Tagged };
  Kind kind = Kind::Untagged;
  std::string tag;        // of a tagged response
  std::string name;       // upper case: OK, NO, BAD, BYE, PREAUTH, CAPABILITY, STATUS, SEARCH, ESEARCH,
                          // or the word after the number of "* 3 EXISTS"
  std::string code;       // a status response's code without its brackets: "CAPABILITY IMAP4rev1 ..."
  std::string_view data;  // what follows the name
};

// Nothing for text that is no response: no tag, a tag without a name.
std::optional<Response> ParseResponse(std::string_view response);

// IMAP's data items: atoms (numbers, NIL and flags included), strings (quoted or literal, given
// unquoted), and the parentheses of lists.
struct Token {
  enum class Kind { Atom, String, Open, Close };
  Kind kind;
  std::string text;
};

// Nothing when a quoted string or a literal is broken.
std::optional<std::vector<Token>> Tokenize(std::string_view data);

// A decimal number of 32 bits, digits only.
std::optional<std::uint32_t> ParseNumber(std::string_view text);

bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace imap
}  // namespace fennick
