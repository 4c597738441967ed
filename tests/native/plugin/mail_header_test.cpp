// Sender and subject as the announcement names them, from header blocks as servers send them.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "mail_header.h"

namespace fennick {
namespace {

TEST(MailHeader, NamesSenderAndSubject) {
  const std::string forty_a(40, 'a');
  // Rows: what is tried, the header block, the sender and the subject named.
  const std::tuple<const char*, std::string, const char*, const char*> cases[] = {
      {"ISO-2022-JP B name, UTF-8 Q subject",
       "From: =?ISO-2022-JP?B?GyRCOzNFREJATzobKEI=?= <taro@example.jp>\r\n"
       "Subject: =?UTF-8?Q?=E4=BC=9A=E8=AD=B0=E3=81=AE=E4=BB=B6?=\r\n\r\nbody",
       "山田太郎", "会議の件"},
      {"folded, adjacent words joined across a split character, field names in any case",
       "+OK 120 octets\r\nsubject: =?UTF-8?B?5pel5g==?=\r\n =?UTF-8?B?nKzoqp7jga7jg4bjgrnjg4g=?=\r\n"
       "FROM: \"Suzuki, Hanako\" <h@example.jp>\r\n\r\n",
       "Suzuki, Hanako", "日本語のテスト"},
      {"Shift_JIS and CP932 words, blank between words of two charsets dropped",
       "Subject: =?Shift_JIS?B?kL+LgY+R?= =?cp932?B?h0CU1A==?=\r\nFrom: <billing@example.com>\r\n",
       "billing@example.com", "請求書①番"},
      {"EUC-JP with half-width katakana; old comment form of the name",
       "From: sato@example.jp (Sato)\r\nSubject: =?euc-jp?q?=8E=C3=8E=BD=8E=C4=B4=C1=BB=FA?=\r\n",
       "Sato", "ﾃｽﾄ漢字"},
      {"ISO-2022-JP half-width katakana; ISO-8859-1 with and without a Shift-JIS form",
       "From: =?ISO-2022-JP?B?GyhJNkUbKEI=?= <k@example.jp>\r\nSubject: =?ISO-8859-1?Q?Caf=E9_=D7_2?=\r\n",
       "ｶﾅ", "Caf・ × 2"},
      {"raw UTF-8 and raw Shift-JIS",
       "From: \xe3\x81\x93\xe3\x82\x93\xe3\x81\xab\xe3\x81\xa1\xe3\x81\xaf <a@b>\r\n"
       "Subject: \x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\tworld\r\n",
       "こんにちは", "こんにちは world"},
      {"wave dash as the code page has it, no form beyond the BMP, controls dropped, blanks collapsed",
       "From: a@b\r\nSubject:   =?UTF-8?B?44Cc44G+44Gn8J+YgA==?=  x\x01\x7fy  \r\n", "a@b", "～まで・ xy"},
      {"no Subject, no From", "X-Other: 1\r\n\r\nFrom: later@body\r\n", kUnknownSender, kNoSubject},
      {"empty Subject, empty From", "From:  \r\nSubject:\r\n", kUnknownSender, kNoSubject},
      {"cut at forty characters without splitting one",
       "From: " + forty_a + "b@x\r\nSubject: " + std::string(39, 'x') + "漢字\r\n", forty_a.c_str(),
       "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx漢"},
      {"broken words: unknown charset kept, bad UTF-8 in a word, escape never closed, a word without its end",
       "From: =?x-unknown?B?QUJD?= <u@x>\r\nSubject: =?UTF-8?B?YWL/Y2Q=?= =?ISO-2022-JP?B?GyRCOzM=?= =?UTF-8?Q?ab\r\n",
       "=?x-unknown?B?QUJD?=", "ab・cd山 =?UTF-8?Q?ab"},
  };
  for (const auto& [what, block, sender, subject] : cases) {
    const MessageNames names = NamesFromHeader(block, PlatformSjisEncoder());
    EXPECT_EQ(names.sender, sender) << what;
    EXPECT_EQ(names.subject, subject) << what;
  }
}

}  // namespace
}  // namespace fennick
