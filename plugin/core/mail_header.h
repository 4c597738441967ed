// Who a message is from and what it is about, read from its header as mail programs read it: folded lines
// joined, encoded words (RFC 2047) decoded, raw 8-bit text taken as UTF-8 when it is valid UTF-8 and as
// Shift-JIS otherwise. Every text comes out as Shift-JIS fit for one speech token: no control characters,
// "・" for a character the code page cannot show, at most 40 characters.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "sjis_encoder.h"

namespace fennick {

constexpr std::size_t kHeaderTextChars = 40;
constexpr const char kNoSubject[] = "（件名なし）";
constexpr const char kUnknownSender[] = "（差出人不明）";

// The unfolded value of the first field called name (any case) in the header block, which ends at its first
// empty line; nothing when there is none. Lines before the first field (a status line) are passed over.
std::optional<std::string> FindHeaderField(std::string_view block, std::string_view name);

// A field's value as Shift-JIS text: encoded words decoded, blanks collapsed and trimmed, cut to
// kHeaderTextChars.
std::string DecodeHeaderText(std::string_view value, const SjisEncoder& encoder);

// The sender of a From value: the display name of its first mailbox, or the address when it has none;
// kUnknownSender for nothing at all.
std::string SenderOf(std::string_view from, const SjisEncoder& encoder);

struct MessageNames {
  std::string sender = kUnknownSender;
  std::string subject = kNoSubject;
};

// Sender and subject of a header block; an absent or empty Subject reads kNoSubject.
MessageNames NamesFromHeader(std::string_view block, const SjisEncoder& encoder);

}  // namespace fennick
