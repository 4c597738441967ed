// Result strings come from any plug-in: splitting and dispatching them must never crash, and anything
// wrong with them must surface as a HostError only.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host_error.h"
#include "result_dispatch.h"
#include "sjis.h"
#include "tokenizer.h"

namespace {

struct Library : mokuna::ResultSource {
  explicit Library(std::string s) : text(std::move(s)) {}
  bool IsResult() override { return !taken; }
  std::string GetResults() override {
    taken = true;
    return text;
  }
  void AddEntry(const std::string& entry) override {
    if (entry.empty() || entry.front() == ' ') std::abort();
  }
  std::string text;
  bool taken = false;
};

struct Speech : mokuna::SpeechSink {
  void AddSerifu(const std::string&) override {}
};

// A token whose last byte is a lone lead byte cannot be quoted back: the closing quote would join it.
bool EndsInLeadByte(const std::string& s) {
  std::size_t pos = 0;
  while (pos < s.size()) {
    if (pos + 1 == s.size() && sjis::IsLeadByte(static_cast<unsigned char>(s[pos]))) return true;
    pos += sjis::CharLength(s, pos);
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto tokens = SplitCommaText(text);

  // Quoting every token and joining them with commas must give the same tokens back.
  bool quotable = true;
  std::string joined;
  for (const auto& t : tokens) {
    if (t.find('\0') != std::string::npos || EndsInLeadByte(t)) quotable = false;
    if (&t != &tokens.front()) joined += ',';
    joined += '"';
    for (std::size_t pos = 0; pos < t.size();) {
      const std::size_t len = sjis::CharLength(t, pos);
      if (len == 1 && t[pos] == '"') joined += '"';  // doubled; a trail byte 0x22 stays single
      joined.append(t, pos, len);
      pos += len;
    }
    joined += '"';
  }
  if (quotable && SplitCommaText(joined) != tokens) std::abort();

  Library library(text);
  Speech speech;
  try {
    mokuna::DispatchResultString(library, speech);
  } catch (const mokuna::HostError&) {
  }
  return 0;
}
