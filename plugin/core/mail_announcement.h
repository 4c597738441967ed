// What the new-mail announcement says besides the count, when the user wants to hear who wrote and what
// about: a pair of tokens for each of the newest new messages, then how many more there are.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "mail_header.h"

namespace fennick {

// How many of the newest new messages are named.
constexpr std::size_t kNamedMessages = 3;

// The payload tokens to append to the new-mail result, each after a blank: for the last kNamedMessages of
// named (given oldest first) "<sender>さんから" and "「<subject>」", quoted where the comma-text rule needs
// it; then "ほかにN通あります．" when new_count is more than the messages named. Empty when named is.
std::string AnnouncementTokens(const std::vector<MessageNames>& named, std::size_t new_count);

}  // namespace fennick
