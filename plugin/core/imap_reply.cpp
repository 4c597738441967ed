#include "imap_reply.h"

#include <algorithm>
#include <array>

#include "mail_connection.h"

namespace fennick::imap {
namespace {

constexpr std::size_t kReadSize = 4096;

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Upper(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), UpperAscii);
  return out;
}

// The byte count of a literal that ends the line ("... {12}"), the line break already gone.
std::optional<std::size_t> TrailingLiteral(std::string_view line) {
  if (line.empty() || line.back() != '}') return std::nullopt;
  const std::size_t open = line.rfind('{');
  if (open == std::string_view::npos) return std::nullopt;
  const std::optional<std::uint32_t> n = ParseNumber(line.substr(open + 1, line.size() - open - 2));
  if (!n) return std::nullopt;
  return static_cast<std::size_t>(*n);
}

std::string_view Chomp(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Splits off the text up to the next blank (or all of it).
std::string_view Word(std::string_view& rest) {
  const std::size_t blank = std::min(rest.find(' '), rest.size());
  const std::string_view word = rest.substr(0, blank);
  rest.remove_prefix(std::min(blank + 1, rest.size()));
  return word;
}

bool IsAtomChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u > 32 && u != 127 && c != '(' && c != ')' && c != '"' && c != '{';
}

}  // namespace

ReplyReader::Status ReplyReader::Fill() {
  if (connection_.Overdue()) return Status::Overdue;
  switch (connection_.WaitReadable()) {
    case MailTransport::WaitResult::Readable: break;
    case MailTransport::WaitResult::TimedOut: return Status::TimedOut;
    case MailTransport::WaitResult::Error: return Status::SocketError;
  }
  std::array<char, kReadSize> chunk;
  const std::ptrdiff_t got = connection_.Read(chunk.data(), chunk.size());
  if (got < 0) return Status::SocketError;
  if (got == 0) return Status::Closed;
  buffer_.append(chunk.data(), std::min<std::size_t>(static_cast<std::size_t>(got), chunk.size()));
  return Status::Ok;
}

// Every bound is checked against the bytes of the response alone, never against how they were cut into
// reads, so a response is taken or refused alike however the network delivers it.
ReplyReader::Status ReplyReader::Next(std::string& response) {
  response.clear();
  std::size_t scanned = 0;  // bytes of buffer_ known to hold no line feed
  for (;;) {
    const std::size_t lf = buffer_.find('\n', scanned);
    if (lf == std::string::npos) {
      // The line's break is still to come, so the line and the response will be longer than this.
      if (buffer_.size() >= kLineLimit || response.size() + buffer_.size() >= kResponseLimit)
        return Status::TooLong;
      scanned = buffer_.size();
      if (const Status s = Fill(); s != Status::Ok) return s;
      continue;
    }
    if (lf + 1 > kLineLimit || response.size() + lf + 1 > kResponseLimit) return Status::TooLong;
    const std::size_t line_start = response.size();
    response.append(buffer_, 0, lf + 1);
    buffer_.erase(0, lf + 1);
    scanned = 0;
    const std::optional<std::size_t> literal = TrailingLiteral(Chomp(std::string_view(response).substr(line_start)));
    if (!literal) {
      response.resize(line_start + Chomp(std::string_view(response).substr(line_start)).size());
      return Status::Ok;
    }
    if (*literal >= kResponseLimit - response.size()) return Status::TooLong;
    while (buffer_.size() < *literal)
      if (const Status s = Fill(); s != Status::Ok) return s;
    response.append(buffer_, 0, *literal);
    buffer_.erase(0, *literal);
  }
}

std::optional<Response> ParseResponse(std::string_view text) {
  // Only the first line says what the response is; literals further on belong to its data.
  Response r;
  std::string_view rest = text;
  const std::string_view tag = Word(rest);
  if (tag == "+") {
    r.kind = Response::Kind::Continuation;
    r.data = rest;
    return r;
  }
  if (tag.empty()) return std::nullopt;
  if (tag == "*") {
    r.kind = Response::Kind::Untagged;
  } else {
    for (char c : tag)
      if (!IsAtomChar(c) || c == '+') return std::nullopt;
    r.kind = Response::Kind::Tagged;
    r.tag = std::string(tag);
  }
  std::string_view name = Word(rest);
  if (r.kind == Response::Kind::Untagged && ParseNumber(name)) name = Word(rest);
  if (name.empty()) return std::nullopt;
  for (char c : name)
    if (!IsAtomChar(c)) return std::nullopt;
  r.name = Upper(name);
  if ((r.name == "OK" || r.name == "NO" || r.name == "BAD" || r.name == "BYE" || r.name == "PREAUTH") &&
      !rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    const std::size_t line_end = std::min(rest.find('\n'), rest.size());
    if (close != std::string_view::npos && close < line_end) {
      r.code = std::string(rest.substr(1, close - 1));
      rest.remove_prefix(close + 1);
      if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    }
  }
  r.data = rest;
  return r;
}

std::optional<std::vector<Token>> Tokenize(std::string_view data) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < data.size()) {
    const char c = data[i];
    if (c == ' ' || c == '\r' || c == '\n') {
      ++i;
    } else if (c == '(' || c == ')') {
      tokens.push_back({c == '(' ? Token::Kind::Open : Token::Kind::Close, {}});
      ++i;
    } else if (c == '"') {
      std::string s;
      for (++i;; ++i) {
        if (i >= data.size() || data[i] == '\r' || data[i] == '\n') return std::nullopt;
        if (data[i] == '"') break;
        if (data[i] == '\\' && ++i >= data.size()) return std::nullopt;
        s += data[i];
      }
      ++i;
      tokens.push_back({Token::Kind::String, std::move(s)});
    } else if (c == '{') {
      const std::size_t close = data.find('}', i);
      if (close == std::string_view::npos) return std::nullopt;
      const std::optional<std::uint32_t> n = ParseNumber(data.substr(i + 1, close - i - 1));
      std::size_t start = close + 1;
      if (start < data.size() && data[start] == '\r') ++start;
      if (!n || start >= data.size() || data[start] != '\n') return std::nullopt;
      ++start;
      if (*n > data.size() - start) return std::nullopt;
      tokens.push_back({Token::Kind::String, std::string(data.substr(start, *n))});
      i = start + *n;
    } else {
      const std::size_t begin = i;
      while (i < data.size() && IsAtomChar(data[i])) ++i;
      if (i == begin) ++i;  // a lone control byte: not part of anything
      else tokens.push_back({Token::Kind::Atom, std::string(data.substr(begin, i - begin))});
    }
  }
  return tokens;
}

std::optional<std::uint32_t> ParseNumber(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (n > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(n);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
}

}  // namespace fennick::imap
