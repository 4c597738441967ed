#include "entry.h"

#include <vector>

#include "config_file.h"
#include "device_name.h"
#include "sjis.h"

namespace kavrel {

namespace {

constexpr std::size_t kMaxDllName = 200;       // leaves room for ".dll" and a folder within MAX_PATH
constexpr std::size_t kMaxFunctionName = 255;  // longer export names do not occur in practice

bool IsBlank(unsigned char c) { return c >= 1 && c <= 32; }

// Splits at runs of blanks. A double-byte character is taken whole, like the host's tokenizer does, so
// the entries it builds from a 900 result read the same here.
std::vector<std::string_view> SplitFields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsBlank(static_cast<unsigned char>(text[pos]))) ++pos;
    if (pos == text.size()) break;
    const std::size_t start = pos;
    while (pos < text.size() && !IsBlank(static_cast<unsigned char>(text[pos]))) pos += sjis::CharLength(text, pos);
    fields.push_back(text.substr(start, pos - start));
  }
  return fields;
}

// Up to nine decimal digits, nothing else.
bool ReadNumber(std::string_view digits, int& value) {
  if (digits.empty() || digits.size() > 9) return false;
  value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

struct FieldRule {
  const char* name;
  int low, high;
  bool interval;  // "/n" is an interval of n units rather than a multiple test
};

constexpr FieldRule kRules[5] = {
    {"month", 1, 12, false}, {"day", 1, 31, false}, {"weekday", 0, 6, false},
    {"hour", 0, 23, false},  {"minute", 0, 59, true},
};

std::string Range(const FieldRule& rule, int low) {
  return " out of range (" + std::to_string(low) + "-" + std::to_string(rule.high) + ")";
}

std::string ParseTimeField(std::string_view text, const FieldRule& rule, TimeField& field, bool& off) {
  if (text == "*") {
    field.kind = TimeField::Kind::kAny;
    return {};
  }
  int n = 0;
  if (text[0] == '/') {
    if (!ReadNumber(text.substr(1), n)) return std::string(rule.name) + " /n needs a number";
    field.kind = TimeField::Kind::kEvery;
    field.value = n;
    if (n == 0) {
      off = true;
      return {};
    }
    // A multiple test with n above the field's top value could never (or only at 0) match.
    if (!rule.interval && n > rule.high) return std::string(rule.name) + " /n" + Range(rule, 1);
    return {};
  }
  if (!ReadNumber(text, n)) return std::string(rule.name) + " must be *, a number or /n";
  if (n < rule.low || n > rule.high) return std::string(rule.name) + Range(rule, rule.low);
  field.kind = TimeField::Kind::kValue;
  field.value = n;
  return {};
}

std::string CheckFunctionName(std::string_view name) {
  if (name.size() > kMaxFunctionName) return "function name too long";
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return "bad function name";
  return {};
}

// The DLL, arg and function fields, shared by entries and actions.
std::string ParseCall(std::string_view dll, std::string_view arg, std::string_view function, Call& call) {
  std::string error = CheckDllName(dll);
  if (!error.empty()) return error;
  const auto value = config::ParseInt(arg);
  if (!value) return "arg is not a 32-bit integer";
  error = CheckFunctionName(function);
  if (!error.empty()) return error;
  call.dll.assign(dll);
  call.arg = *value;
  call.function.assign(function);
  return {};
}

std::string Join(const std::vector<std::string_view>& fields) {
  std::string text;
  for (std::string_view f : fields) {
    if (!text.empty()) text += ' ';
    text.append(f);
  }
  return text;
}

std::string CountError(std::size_t expected, std::size_t found) {
  if (found == 0) return "empty";
  return "expected " + std::to_string(expected) + " fields, found " + std::to_string(found);
}

}  // namespace

std::string CheckDllName(std::string_view name) {
  if (name.empty()) return "empty DLL name";
  if (name.size() > kMaxDllName) return "DLL name too long";
  for (std::size_t pos = 0; pos < name.size();) {
    const unsigned char c = static_cast<unsigned char>(name[pos]);
    if (sjis::IsLeadByte(c)) {
      // A broken double-byte character would turn into some other name on its way to the wide API.
      if (pos + 1 >= name.size()) return "bad DLL name";
      const unsigned char t = static_cast<unsigned char>(name[pos + 1]);
      if (t < 0x40 || t == 0x7F || t > 0xFC) return "bad DLL name";
      pos += 2;  // a trail byte 0x5C is part of the character, not a folder separator
      continue;
    }
    if (c == '\\' || c == '/' || c == ':') return "DLL name must not name a folder";
    if (c < 0x20 || c == 0x7F || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
      return "bad DLL name";
    ++pos;
  }
  if (mokuna::IsDeviceName(name)) return "DLL name must not name a device";
  if (IsOwnName(name)) return "Kavrel cannot call itself";
  return {};
}

bool IsOwnName(std::string_view name) { return sjis::EqualsIgnoreCase(name, "Kavrel"); }

bool SameCall(const Call& a, const Call& b) {
  return a.function == b.function && sjis::EqualsIgnoreCase(a.dll, b.dll);
}

ParsedEntry ParseEntry(std::string_view text) {
  ParsedEntry out;
  const std::vector<std::string_view> fields = SplitFields(text);
  if (fields.size() != 8) {
    out.error = CountError(8, fields.size());
    return out;
  }
  Entry& e = out.entry;
  TimeField* time_fields[5] = {&e.month, &e.day, &e.weekday, &e.hour, &e.minute};
  for (int i = 0; i < 5; ++i) {
    out.error = ParseTimeField(fields[i], kRules[i], *time_fields[i], e.off);
    if (!out.error.empty()) return out;
  }
  out.error = ParseCall(fields[5], fields[6], fields[7], e.call);
  if (out.error.empty()) e.text = Join(fields);
  return out;
}

ParsedAction ParseAction(std::string_view text) {
  ParsedAction out;
  const std::vector<std::string_view> fields = SplitFields(text);
  if (fields.size() != 3) {
    out.error = CountError(3, fields.size());
    return out;
  }
  out.error = ParseCall(fields[0], fields[1], fields[2], out.call);
  return out;
}

}  // namespace kavrel
