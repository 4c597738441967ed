#include "result_dispatch.h"

#include <cstdio>
#include <deque>

#include "config_file.h"
#include "host_error.h"
#include "presence.h"
#include "sjis.h"
#include "tokenizer.h"

namespace mokuna {
namespace {

const std::string& TokenAt(const std::deque<std::string>& tokens, std::size_t index) {
  if (index >= tokens.size()) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "リストのインデックスが範囲を超えています (%d)", static_cast<int>(index));
    throw HostError(buf);
  }
  return tokens[index];
}

bool IsBlank(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 1 && b <= 32;
}

// Blanks off both ends; a byte after a lead byte is part of its character and never trimmed.
std::string TrimBlanks(const std::string& text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  std::size_t end = begin;
  for (std::size_t pos = begin; pos < text.size();) {
    const std::size_t len = sjis::CharLength(text, pos);
    pos += len;
    if (len == 2 || !IsBlank(text[pos - 1])) end = pos;
  }
  return text.substr(begin, end - begin);
}

void AddEntries(std::deque<std::string>& tokens, ResultSource& library) {
  while (!tokens.empty()) {
    std::string entry;
    while (!tokens.empty() && tokens.front() != "+") {
      entry += ' ';
      entry += tokens.front();
      tokens.pop_front();
    }
    if (!tokens.empty()) tokens.pop_front();  // the "+"
    entry = TrimBlanks(entry);
    // A "+" first or two in a row would make an empty entry, which the library can only reject.
    if (!entry.empty()) library.AddEntry(entry);
  }
}

}  // namespace

std::string FunctionResultSource::GetResults() {
  // A library that claims a result and then has none gives an empty string, which fails as too short.
  const char* text = get_results_();
  return text ? std::string(text) : std::string();
}

void DispatchResult(const std::string& result, ResultSource& library, SpeechSink& speech) {
  const auto split = SplitCommaText(result);
  std::deque<std::string> tokens(split.begin(), split.end());

  const std::string& code_text = TokenAt(tokens, 2);
  const auto code = config::ParseInt(code_text);
  if (!code) throw HostError("'" + code_text + "' は整数ではありません");

  switch (*code) {
    case 0:
      tokens.erase(tokens.begin(), tokens.begin() + 3);
      for (; !tokens.empty(); tokens.pop_front()) speech.AddSerifu(tokens.front());
      break;
    case 501:
      speech.AddSerifu(tokens[0] + "というDLLがないにゅ．");
      break;
    case 502:
      speech.AddSerifu(tokens[0] + "というDLLのなかに，" + tokens[1] + "という関数ががないにゅ．");
      break;
    case 900:
      tokens.erase(tokens.begin(), tokens.begin() + 3);
      AddEntries(tokens, library);
      break;
    default:
      speech.AddSerifu(tokens[0] + "というDLLの" + tokens[1] + "という関数で，エラー番号" + tokens[2] +
                       "のエラーが出たにゅ． だめだめにゅ．");
      break;
  }
}

void DispatchResultString(ResultSource& library, SpeechSink& speech) {
  while (library.IsResult()) DispatchResult(library.GetResults(), library, speech);
}

void DispatchResultString(ResultSource& library, SpeechSink& speech, const SpeechNotify& notify) {
  if (!notify) return DispatchResultString(library, speech);
  // Passes every text on at once and keeps what the balloon will show of it.
  struct Collector : SpeechSink {
    explicit Collector(SpeechSink& to) : to(to) {}
    void AddSerifu(const std::string& text) override {
      to.AddSerifu(text);
      const std::string shown = NotificationText(text);
      if (shown.empty()) return;
      if (!said.empty()) said += "\r\n";
      said += shown;
    }
    SpeechSink& to;
    std::string said;
  };
  while (library.IsResult()) {
    Collector collector(speech);
    DispatchResult(library.GetResults(), library, collector);
    if (!collector.said.empty()) notify(collector.said);
  }
}

}  // namespace mokuna
