#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message_id_reader.h"

namespace fennick {
namespace {

using Step = MessageIdReader::Step;

TEST(MessageIdReader, OnlyTheHeaderFieldNamedMessageIdCounts) {
  const struct {
    std::vector<std::string> reads;
    Step step;
    std::string id;
  } rows[] = {
      {{"+OK\r\nSubject: re: Message-ID: <s@x>\r\nmessage-ID: <M@X>\r\n"}, Step::Found, "<m@x>"},
      {{"+OK\r\nSubject: Message-ID: <s@x>\r\n\r\nMessage-ID: <b@x>\r\n"}, Step::NoIdentifier, ""},  // the body
      {{"+OK Message-ID: <q@x>\r\n\r\n"}, Step::NoIdentifier, ""},  // the status line is no header
      {{"+OK\r\nX-Message-ID: <x@x>\r\n.\r\n"}, Step::NoIdentifier, ""},
      {{"+OK\r\nMessage-ID: <a\r\nFrom: b>\r\n"}, Step::NoIdentifier, ""},  // the field ended without ">"
      {{"+OK\r\nMessage-ID:\r", "\n\t<F@X", ">"}, Step::Found, "<f@x>"},  // folded, across reads
      {{"+OK\r\nMessa", "ge-Id: <s@x>"}, Step::Found, "<s@x>"},
      {{"+OK\r\nFrom: a\r\n"}, Step::More, ""},
      {{"-ER", "R no such message\r\n"}, Step::Refused, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.reads[0]);
    MessageIdReader reader;
    Step step = Step::More;
    for (const std::string& read : row.reads) step = reader.Take(read);
    EXPECT_EQ(step, row.step);
    EXPECT_EQ(reader.Identifier(), row.id);
  }
}

}  // namespace
}  // namespace fennick
