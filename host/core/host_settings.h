// The host settings and their file, edll.ini: key lines at the top, then "[DLLlist]" and one plug-in name
// per line. Portable: the character window applies the values that live in its own objects (position,
// timer intervals) through the observer it passes to ReadHostIni.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mokuna {

inline constexpr const char* kHostIniName = "edll.ini";
// What a release brings for its first start: read in place of a missing edll.ini (its plug-in list), never
// written, so that an update may replace it while the user's edll.ini stays.
inline constexpr const char* kHostIniSeedName = "edll-default.ini";
inline constexpr const char* kDllListSection = "[DLLlist]";
inline constexpr const char* kDefaultDllName = "Kavrel";

struct HostSettings {
  std::string MokunaImage = "climon.bmp";
  int SerifuInterval = 3;     // seconds
  int FukidasiInterval = 5;   // seconds
  int MaxSpeaking = 7;        // lines
  bool ShowCalender = false;
  bool ShowTime = false;
  int CalX = 100;
  int CalY = 100;
  std::vector<std::string> DllList{kDefaultDllName};
  // Step aside while a full-screen program, a presentation or the system's quiet time is in front.
  bool HideOnFullScreen = true;
  // While the character is hidden, what plug-ins say also goes to the tray icon as a notification.
  bool NotifyWhileHidden = true;
  // The character blinks and moves its mouth when it has the frames for it.
  bool Animate = true;

  // Stored in the file, but owned by window objects while the program runs: Timer1 (LocalPolling),
  // Timer2 (EventPolling) and the character window's top-left corner.
  int LocalPolling = 500;  // ms
  int EventPolling = 500;  // ms
  int Top = 393;
  int Left = 894;
};

// The keys of edll.ini, in the order in which a read applies them.
enum class HostKey {
  MokunaImage,
  SerifuInterval,
  FukidasiInterval,
  EventPolling,
  LocalPolling,
  MaxSpeaking,
  Top,
  Left,
  ShowCalender,
  ShowTime,
  CalX,
  CalY,
  HideOnFullScreen,
  NotifyWhileHidden,
  Animate,
  DllList,
};

const char* HostKeyName(HostKey key);

// Called right after each key has been applied to the settings (only for keys the file holds, and for
// DllList only when the file has the section line).
using HostKeyApplied = std::function<void(HostKey)>;

// Applies the contents of edll.ini to settings, key by key in the fixed order. A value of an integer or
// boolean key that is not a decimal integer throws HostError "'<value>' は整数ではありません"; the keys
// before it stay applied, the ones after it are not.
void ReadHostIni(std::string_view text, HostSettings& settings, const HostKeyApplied& applied = {});

// The whole file as written at exit: thirteen key and section lines and one line per DllList entry,
// each ended by CR LF. HideOnFullScreen, NotifyWhileHidden and Animate, in that order, stand before the
// section line only when they are off, so a file that never had them is written as it always was.
std::string WriteHostIni(const HostSettings& settings);

// edll.ini as met at start-up, and what the write at exit may do with it. The user's file must never be
// lost to a run that could not see all of it:
// - a file that is there but could not be read is not written at all;
// - after a bad value, the keys the read never reached (the "[DLLlist]" section among them) keep the
//   lines the file has for them, unless the program has changed their value since.
// A file read to its end, and a missing one, are written exactly as WriteHostIni writes.
class HostIniFile {
 public:
  // ReadHostIni, remembering the file and where a bad value stopped the read; the HostError still ends it.
  void Read(std::string_view text, HostSettings& settings, const HostKeyApplied& applied = {});
  // The file exists but could not be read.
  void SetUnreadable() { unreadable_ = true; }
  bool MayWrite() const { return !unreadable_; }
  // The file's new contents for the settings as they are now.
  std::string Write(const HostSettings& now) const;

 private:
  // The lines the file has for key: its first key line, or for DllList the section line and all after it.
  std::vector<std::string> FileLines(HostKey key) const;

  bool unreadable_ = false;
  std::vector<std::string> lines_;
  // Set when a bad value stopped the read: the keys after it, and the values in force at that moment.
  std::vector<HostKey> unreached_;
  HostSettings at_stop_;
};

}  // namespace mokuna
