#include "mail_announcement.h"

#include "tokenizer.h"

namespace fennick {

std::string AnnouncementTokens(const std::vector<MessageNames>& named, std::size_t new_count) {
  const std::size_t first = named.size() > kNamedMessages ? named.size() - kNamedMessages : 0;
  std::string tokens;
  for (std::size_t i = first; i < named.size(); ++i) {
    tokens += " " + QuoteCommaText(named[i].sender + "さんから");
    tokens += " " + QuoteCommaText("「" + named[i].subject + "」");
  }
  const std::size_t told = named.size() - first;
  if (told > 0 && new_count > told) tokens += " ほかに" + std::to_string(new_count - told) + "通あります．";
  return tokens;
}

}  // namespace fennick
