#include "message_id_reader.h"

namespace fennick {
namespace {

// An identifier whose ">" is further than one read's worth from its header is not one.
constexpr std::size_t kIdentifierLimit = 4095;
constexpr std::string_view kIdHeader = "message-id:";

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Blanks and line breaks around the identifier go (a folded header puts them there); control bytes inside
// it go too, since the identifier is stored as one line of epop.ini.
std::string CleanIdentifier(std::string_view raw) {
  std::size_t begin = 0, end = raw.size();
  while (begin < end && static_cast<unsigned char>(raw[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(raw[end - 1]) <= 32) --end;
  std::string id;
  for (std::size_t i = begin; i < end; ++i)
    if (static_cast<unsigned char>(raw[i]) >= 32) id += LowerAscii(raw[i]);
  return id;
}

}  // namespace

MessageIdReader::Step MessageIdReader::Take(std::string_view chunk) {
  for (const char c : chunk)
    if (const Step step = TakeByte(c); step != Step::More) return step;
  return Step::More;
}

// The first line is the status of the reply. The header follows, one field per line and the lines that
// begin with a blank or a tab continuing it, up to the empty line (or the line holding only "." that ends
// the message). Only a field whose line begins with "Message-ID:", in any case, holds the identifier: its
// value up to and including the first ">".
MessageIdReader::Step MessageIdReader::TakeByte(char c) {
  if (line_ == Line::Status) {
    if (status_.size() < 4) {
      status_ += c;
      if (status_ == "-ERR") return Step::Refused;
    }
    if (c == '\n') line_ = Line::Name, line_bytes_ = 0;
    return Step::More;
  }
  if (c == '\r') return Step::More;
  if (c == '\n') {
    // An empty line ends the header, and "." the message: an identifier field still open had no ">".
    if (line_bytes_ == 0 || (line_bytes_ == 1 && first_ == '.')) return Step::NoIdentifier;
    line_ = Line::Name;
    line_bytes_ = 0;
    name_.clear();
    return Step::More;
  }
  if (line_bytes_++ == 0) {
    first_ = c;
    if (c == ' ' || c == '\t') {
      line_ = in_id_field_ ? Line::Identifier : Line::Other;
    } else {
      // A new field: the identifier field before it ended without its ">".
      if (in_id_field_) return Step::NoIdentifier;
      line_ = Line::Name;
    }
  }
  switch (line_) {
    case Line::Name:
      name_ += LowerAscii(c);
      if (kIdHeader.compare(0, name_.size(), name_) != 0) {
        line_ = Line::Other;
      } else if (name_.size() == kIdHeader.size()) {
        line_ = Line::Identifier;
        in_id_field_ = true;
      }
      return Step::More;
    case Line::Identifier:
      value_ += c;
      if (c == '>') {
        id_ = CleanIdentifier(value_);
        return Step::Found;
      }
      return value_.size() > kIdentifierLimit ? Step::NoIdentifier : Step::More;
    case Line::Status:
    case Line::Other: break;
  }
  return Step::More;
}

}  // namespace fennick
