// Schedule entries and actions: the text forms that AddEntry, DirectAction and kavrel.ini carry.
//   entry:  <month> <day> <weekday> <hour> <minute> <DLL> <arg> <function>
//   action: <DLL> <arg> <function>
// Fields are separated by runs of blanks (any byte 1-32). A time field is "*" (any), a decimal number
// (that value; weekday 0 = Sunday) or "/n" (every n units); "/0" in any field switches the entry off.
// Values: month 1-12, day 1-31, weekday 0-6, hour 0-23, minute 0-59. "/n" in the minute field is an
// interval of any n from 1; elsewhere a multiple test with n from 1 to the field's top value. <arg> is a
// signed 32-bit decimal. Anything else is refused whole, with a reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel {

struct TimeField {
  enum class Kind { kAny, kValue, kEvery };
  Kind kind = Kind::kAny;
  int value = 0;  // the value for kValue, n for kEvery

  // Outside the minute field "/n" means "whenever the value is a multiple of n" (hour /6: 0, 6, 12, 18;
  // month /3: March, June, September, December). The minute field's "/n" is an interval instead and is
  // never asked here.
  bool Matches(int v) const {
    switch (kind) {
      case Kind::kAny: return true;
      case Kind::kValue: return v == value;
      case Kind::kEvery: return v % value == 0;
    }
    return false;
  }
};

// The plug-in call that an entry or action stands for.
struct Call {
  std::string dll;       // N, loaded as N.dll
  std::int32_t arg = 0;  // passed to the export
  std::string function;  // the export's name
};

struct Entry {
  TimeField month, day, weekday, hour, minute;
  Call call;
  bool off = false;  // some field was "/0": the entry only removes the one for the same DLL and function
  std::string text;  // the eight fields joined by single blanks, as kavrel.ini keeps it
};

// Outcome of reading one entry or action: error is empty on success and otherwise a short English reason
// for the user, which leaves the timetable as it was.
struct ParsedEntry {
  Entry entry;
  std::string error;
  bool ok() const { return error.empty(); }
};
struct ParsedAction {
  Call call;
  std::string error;
  bool ok() const { return error.empty(); }
};

ParsedEntry ParseEntry(std::string_view text);
ParsedAction ParseAction(std::string_view text);

// Empty when name can safely become "<name>.dll" for the loader: not empty, no folder or drive part, no
// character a file name cannot hold, no device name, and not this library itself. Otherwise the reason.
std::string CheckDllName(std::string_view name);

// True when name means this library (its own settings page), in any letter case.
bool IsOwnName(std::string_view name);

// DLL names compare like Windows file names (ASCII case folded); export names exactly.
bool SameCall(const Call& a, const Call& b);

}  // namespace kavrel
