#include "mail_header.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base64.h"
#include "sjis.h"

namespace fennick {
namespace {

// "・" in Shift-JIS, written as its bytes: the decoder's output is Shift-JIS whatever the compiler does with
// literals.
constexpr char kNoForm[] = "\x81\x45";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view s) {
  std::string out;
  for (const char c : s) out += Lower(c);
  return out;
}

// The text being decoded, kept as Shift-JIS. Control characters go (a tab, CR or LF reads as a blank, since
// that is what it separated), and runs of blanks become one.
class SjisText {
 public:
  explicit SjisText(const SjisEncoder& encoder) : encoder_(encoder) {}

  void Ascii(unsigned char c) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    if (c < 0x20 || c == 0x7F) return;
    if (c == ' ' && (text_.empty() || text_.back() == ' ')) return;
    text_ += static_cast<char>(c);
  }
  void Byte(unsigned char c) { text_ += static_cast<char>(c); }
  void Pair(unsigned char lead, unsigned char trail) {
    text_ += static_cast<char>(lead);
    text_ += static_cast<char>(trail);
  }
  void NoForm() { text_ += kNoForm; }

  // A row and cell of JIS X 0208 (each 0x21 to 0x7E) by the code page's arithmetic.
  void Jis(unsigned char j1, unsigned char j2) {
    const unsigned char s1 = static_cast<unsigned char>(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
    const unsigned char s2 = static_cast<unsigned char>(j2 + ((j1 & 1) ? (j2 >= 0x60 ? 0x20 : 0x1F) : 0x7E));
    Pair(s1, s2);
  }

  void Unicode(char32_t c) {
    if (c < 0x80) return Ascii(static_cast<unsigned char>(c));
    if (c < 0xA0 || c == 0xFEFF || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
        (c >= 0x2060 && c <= 0x206F))
      return;  // C1 controls and the invisible formatting marks
    if (c == 0x2028 || c == 0x2029) return Ascii(' ');
    // Where Unicode and the code page's table disagree on a character, the sender meant the one the page has.
    switch (c) {
      case 0x301C: c = 0xFF5E; break;  // WAVE DASH
      case 0x2016: c = 0x2225; break;  // DOUBLE VERTICAL LINE
      case 0x2212: c = 0xFF0D; break;  // MINUS SIGN
      case 0x00A2: c = 0xFFE0; break;  // CENT SIGN
      case 0x00A3: c = 0xFFE1; break;  // POUND SIGN
      case 0x00AC: c = 0xFFE2; break;  // NOT SIGN
      case 0x2014: c = 0x2015; break;  // EM DASH
      default: break;
    }
    if (c > 0xFFFF || !encoder_.Append(c, text_)) NoForm();
  }

  // Blanks gone from both ends, then cut to max characters.
  std::string Finish(std::size_t max) {
    std::size_t begin = 0, end = text_.size();
    while (begin < end && text_[begin] == ' ') ++begin;
    std::string_view t = std::string_view(text_).substr(begin, end - begin);
    t = t.substr(0, sjis::PrefixBytes(t, max));
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    return std::string(t);
  }

 private:
  const SjisEncoder& encoder_;
  std::string text_;
};

bool IsSjisTrail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

void DecodeSjis(std::string_view bytes, SjisText& out) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      out.Ascii(c);
    } else if (c >= 0xA1 && c <= 0xDF) {
      out.Byte(c);
    } else if (sjis::IsLeadByte(c) && i + 1 < bytes.size() && IsSjisTrail(static_cast<unsigned char>(bytes[i + 1]))) {
      out.Pair(c, static_cast<unsigned char>(bytes[++i]));
    } else {
      out.NoForm();
    }
  }
}

// The code point of the UTF-8 sequence at bytes[i], advancing i past it; nothing for a byte that begins no
// well-formed sequence (overlong forms and surrogates included), with i past that one byte.
std::optional<char32_t> NextUtf8(std::string_view bytes, std::size_t& i) {
  const auto c = static_cast<unsigned char>(bytes[i++]);
  if (c < 0x80) return c;
  int more;
  char32_t cp, min;
  if (c >= 0xC2 && c <= 0xDF) more = 1, cp = c & 0x1F, min = 0x80;
  else if (c >= 0xE0 && c <= 0xEF) more = 2, cp = c & 0x0F, min = 0x800;
  else if (c >= 0xF0 && c <= 0xF4) more = 3, cp = c & 0x07, min = 0x10000;
  else return std::nullopt;
  if (i + static_cast<std::size_t>(more) > bytes.size()) return std::nullopt;
  for (int k = 0; k < more; ++k) {
    const auto t = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
    if ((t & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (t & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  i += static_cast<std::size_t>(more);
  return cp;
}

bool ValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();)
    if (!NextUtf8(bytes, i)) return false;
  return true;
}

void DecodeUtf8(std::string_view bytes, SjisText& out) {
  for (std::size_t i = 0; i < bytes.size();) {
    if (const auto cp = NextUtf8(bytes, i)) out.Unicode(*cp);
    else out.NoForm();
  }
}

// Text outside encoded words: 7-bit as it is, 8-bit as UTF-8 when it is that, else as Shift-JIS.
void DecodeRaw(std::string_view bytes, SjisText& out) {
  if (ValidUtf8(bytes)) DecodeUtf8(bytes, out);
  else DecodeSjis(bytes, out);
}

void DecodeEucJp(std::string_view bytes, SjisText& out) {
  auto high = [&](std::size_t k) {
    return k < bytes.size() && static_cast<unsigned char>(bytes[k]) >= 0xA1 &&
           static_cast<unsigned char>(bytes[k]) <= 0xFE;
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      out.Ascii(c);
    } else if (c == 0x8E && i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) >= 0xA1 &&
               static_cast<unsigned char>(bytes[i + 1]) <= 0xDF) {
      out.Byte(static_cast<unsigned char>(bytes[++i]));  // half-width katakana
    } else if (c == 0x8F && high(i + 1) && high(i + 2)) {
      out.NoForm();  // JIS X 0212: no Shift-JIS form
      i += 2;
    } else if (high(i) && high(i + 1)) {
      out.Jis(static_cast<unsigned char>(c - 0x80), static_cast<unsigned char>(bytes[i + 1] - 0x80));
      ++i;
    } else {
      out.NoForm();
    }
  }
}

void DecodeIso2022Jp(std::string_view bytes, SjisText& out) {
  // A text without a single escape and with 8-bit bytes is Shift-JIS or UTF-8 under the wrong label.
  const bool eight_bit = std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
  if (eight_bit && bytes.find('\x1B') == std::string_view::npos)
    return DecodeRaw(bytes, out);
  enum class Set { Ascii, Jis0208, Katakana, Other94x94, Other94 };
  Set set = Set::Ascii;
  bool shifted = false;  // SO: half-width katakana until SI
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == 0x1B) {
      const std::string_view rest = bytes.substr(i + 1);
      auto designates = [&](std::string_view seq) { return rest.substr(0, seq.size()) == seq; };
      if (designates("(B") || designates("(J")) set = Set::Ascii, i += 2;
      else if (designates("$B") || designates("$@")) set = Set::Jis0208, i += 2;
      // JIS X 0213 plane 1 holds JIS X 0208 at the same places.
      else if (designates("$(Q") || designates("$(O")) set = Set::Jis0208, i += 3;
      else if (designates("(I")) set = Set::Katakana, i += 2;
      else if (rest.size() >= 3 && rest[0] == '$' && (rest[1] == '(' || rest[1] == ')')) set = Set::Other94x94, i += 3;
      else if (rest.size() >= 2 && rest[0] == '$') set = Set::Other94x94, i += 2;
      else if (rest.size() >= 2 && rest[0] == '(') set = Set::Other94, i += 2;
      continue;  // any other escape is dropped with the control characters
    }
    if (c == 0x0E) { shifted = true; continue; }
    if (c == 0x0F) { shifted = false; continue; }
    const bool graphic = c >= 0x21 && c <= 0x7E;
    if (!graphic || (set == Set::Ascii && !shifted)) {
      if (c >= 0x80) out.NoForm();
      else out.Ascii(c);
    } else if (shifted || set == Set::Katakana) {
      if (c <= 0x5F) out.Byte(static_cast<unsigned char>(c + 0x80));
      else out.NoForm();
    } else if (set == Set::Other94) {
      out.NoForm();
    } else {
      const bool pair = i + 1 < bytes.size() && bytes[i + 1] >= 0x21 && bytes[i + 1] <= 0x7E;
      if (pair && set == Set::Jis0208) out.Jis(c, static_cast<unsigned char>(bytes[i + 1]));
      else out.NoForm();
      if (pair) ++i;
    }
  }
}

void DecodeLatin1(std::string_view bytes, SjisText& out) {
  for (const char c : bytes) out.Unicode(static_cast<unsigned char>(c));
}

void DecodeAscii(std::string_view bytes, SjisText& out) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) < 0x80) out.Ascii(static_cast<unsigned char>(c));
    else out.NoForm();
  }
}

using Decoder = void (*)(std::string_view, SjisText&);

// The decoder of a charset name (any case, an RFC 2231 language after "*" ignored); null for one not known.
Decoder DecoderOf(std::string_view charset) {
  const std::string name = LowerAscii(charset.substr(0, charset.find('*')));
  if (name == "iso-2022-jp" || name == "csiso2022jp") return DecodeIso2022Jp;
  if (name == "utf-8" || name == "utf8") return DecodeUtf8;
  if (name == "shift_jis" || name == "shift-jis" || name == "sjis" || name == "x-sjis" || name == "windows-31j" ||
      name == "cp932" || name == "ms932" || name == "ms_kanji" || name == "csshiftjis")
    return DecodeSjis;
  if (name == "euc-jp" || name == "x-euc-jp" || name == "eucjp" || name == "cseucpkdfmtjapanese") return DecodeEucJp;
  if (name == "us-ascii" || name == "ascii") return DecodeAscii;
  if (name == "iso-8859-1" || name == "latin1" || name == "iso_8859-1" || name == "l1") return DecodeLatin1;
  return nullptr;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string DecodeQ(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_') {
      out += ' ';
    } else if (text[i] == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Lenient: letters outside the alphabet are passed over, and padding ends the word.
std::string DecodeB(std::string_view text) {
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    if (c == '=') break;
    const int v = Base64DigitValue(c);
    if (v < 0) continue;
    bits = (bits << 6) | static_cast<std::uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

// One piece of a field's value: an encoded word, or the text between encoded words.
struct Piece {
  bool encoded = false;
  std::string charset;  // lower case, of an encoded word
  std::string bytes;    // decoded bytes of an encoded word, or the raw text
};

// The encoded word "=?charset?B|Q?text?=" at value[i]; advances i past it.
std::optional<Piece> EncodedWordAt(std::string_view value, std::size_t& i) {
  if (value.substr(i, 2) != "=?") return std::nullopt;
  const std::size_t cs = i + 2;
  const std::size_t q1 = value.find('?', cs);
  if (q1 == std::string_view::npos || q1 == cs || q1 + 2 >= value.size() || value[q1 + 2] != '?') return std::nullopt;
  const char encoding = Lower(value[q1 + 1]);
  if (encoding != 'b' && encoding != 'q') return std::nullopt;
  const std::size_t text = q1 + 3;
  const std::size_t end = value.find("?=", text);
  if (end == std::string_view::npos) return std::nullopt;
  for (std::size_t k = cs; k < end; ++k)
    if (IsBlank(value[k])) return std::nullopt;
  Piece piece;
  piece.encoded = true;
  piece.charset = LowerAscii(value.substr(cs, q1 - cs));
  const std::string_view encoded = value.substr(text, end - text);
  piece.bytes = encoding == 'b' ? DecodeB(encoded) : DecodeQ(encoded);
  if (!DecoderOf(piece.charset)) {  // shown as it came
    piece.encoded = false;
    piece.bytes = std::string(value.substr(i, end + 2 - i));
  }
  i = end + 2;
  return piece;
}

std::vector<Piece> Pieces(std::string_view value) {
  std::vector<Piece> pieces;
  std::string plain;
  auto flush_plain = [&] {
    if (plain.empty()) return;
    pieces.push_back({false, "", plain});
    plain.clear();
  };
  for (std::size_t i = 0; i < value.size();) {
    std::size_t next = i;
    if (std::optional<Piece> word = EncodedWordAt(value, next)) {
      // Blanks between two encoded words separate nothing.
      const bool only_blanks = plain.find_first_not_of(" \t\r\n") == std::string::npos;
      if (!pieces.empty() && pieces.back().encoded && only_blanks) plain.clear();
      flush_plain();
      // Words of one charset are joined before decoding: senders split a character across two of them.
      if (word->encoded && !pieces.empty() && pieces.back().encoded && pieces.back().charset == word->charset)
        pieces.back().bytes += word->bytes;
      else
        pieces.push_back(std::move(*word));
      i = next;
    } else {
      plain += value[i++];
    }
  }
  flush_plain();
  return pieces;
}

void Decode(std::string_view value, SjisText& out) {
  for (const Piece& piece : Pieces(value)) {
    if (piece.encoded) DecoderOf(piece.charset)(piece.bytes, out);
    else DecodeRaw(piece.bytes, out);
  }
}

// The first mailbox of an address list: its display name (quotes taken off) and its address.
void SplitMailbox(std::string_view from, std::string& name, std::string& address) {
  bool quoted = false;
  int comment = 0;
  std::string comment_text;
  std::size_t angle = std::string_view::npos;
  for (std::size_t i = 0; i < from.size(); ++i) {
    const char c = from[i];
    if (quoted) {
      if (c == '\\' && i + 1 < from.size()) name += from[++i];
      else if (c == '"') quoted = false;
      else name += c;
      continue;
    }
    if (comment > 0) {
      if (c == '\\' && i + 1 < from.size()) comment_text += from[++i];
      else if (c == '(') ++comment, comment_text += c;
      else if (c == ')' && --comment > 0) comment_text += c;
      else if (c != ')') comment_text += c;
      continue;
    }
    if (c == '"') {
      quoted = true;
    } else if (c == '(') {
      comment = 1;
      if (!comment_text.empty()) comment_text += ' ';
    } else if (c == '<') {
      angle = i;
      break;
    } else if (c == ',') {
      break;
    } else {
      name += c;
    }
  }
  if (angle != std::string_view::npos) {
    const std::size_t close = from.find('>', angle);
    address = std::string(from.substr(angle + 1, (close == std::string_view::npos ? from.size() : close) - angle - 1));
    return;
  }
  // No angle brackets: the text is the address, and a comment beside it, the old way, the name.
  address = name;
  name = comment_text;
}

}  // namespace

std::optional<std::string> FindHeaderField(std::string_view block, std::string_view name) {
  std::optional<std::string> value;
  std::size_t pos = 0;
  while (pos < block.size()) {
    std::size_t eol = block.find('\n', pos);
    if (eol == std::string_view::npos) eol = block.size();
    std::string_view line = block.substr(pos, eol - pos);
    pos = eol + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;  // the end of the header
    if (line[0] == ' ' || line[0] == '\t') {
      if (value) *value += line;  // a folded line: only the line break goes
      continue;
    }
    if (value) break;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view field = line.substr(0, colon);
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
    if (field.size() == name.size() && LowerAscii(field) == LowerAscii(name)) value = std::string(line.substr(colon + 1));
  }
  return value;
}

std::string DecodeHeaderText(std::string_view value, const SjisEncoder& encoder) {
  SjisText out(encoder);
  Decode(value, out);
  return out.Finish(kHeaderTextChars);
}

std::string SenderOf(std::string_view from, const SjisEncoder& encoder) {
  std::string name, address;
  SplitMailbox(from, name, address);
  std::string sender = DecodeHeaderText(name, encoder);
  if (sender.empty()) sender = DecodeHeaderText(address, encoder);
  return sender.empty() ? kUnknownSender : sender;
}

MessageNames NamesFromHeader(std::string_view block, const SjisEncoder& encoder) {
  MessageNames names;
  if (const auto from = FindHeaderField(block, "From")) names.sender = SenderOf(*from, encoder);
  if (const auto subject = FindHeaderField(block, "Subject")) {
    std::string text = DecodeHeaderText(*subject, encoder);
    if (!text.empty()) names.subject = std::move(text);
  }
  return names;
}

}  // namespace fennick
