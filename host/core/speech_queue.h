// The speech queue: texts cut into lines of at most 20 characters, moved into the balloon one per
// SerifuInterval seconds by the refresh tick, and cleared FukidasiInterval seconds after the last line.
// Portable: the balloon window and the tray icon are reached through SpeechView.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "clock.h"
#include "host_settings.h"

namespace mokuna {

inline constexpr std::size_t kSerifuLineChars = 20;

// Whole seconds of a local time: days since 30 December 1899 times 86400, plus 0.5, rounded to the
// nearest (halves to even). Only differences and order matter.
std::int64_t SecondsCount(const LocalTime& t);

// The tray icon's tip text, "yyyy/m/d hh:nn", with the user's date separator in place of "/" and time
// separator in place of ":".
std::string TrayTipText(const LocalTime& t, const std::string& date_separator = "/",
                        const std::string& time_separator = ":");

// Cuts text into speech lines of at most 20 characters; a double-byte character is never split and an
// empty text gives one empty line. CR and LF are ordinary characters.
std::vector<std::string> CutSerifu(const std::string& text);

// Where the balloon goes beside the character: bottom edges of the two pictures level, the balloon to the
// left of the character, or to its right when it would start left of screen x 0. Picture sizes, not
// window sizes (windows are one pixel larger).
struct FukidasiSpot {
  int left, top;
};
FukidasiSpot PlaceBeside(int character_left, int character_top, int character_width, int character_height,
                         int balloon_width, int balloon_height);

// What the refresh drives. Implemented by the character window (balloon) and the tray connection.
class SpeechView {
 public:
  virtual ~SpeechView() = default;
  virtual void PlaceFukidasi() = 0;                       // beside the character; visible if speaking
  virtual void SetBalloonText(const std::string& text) = 0;
  virtual void HideBalloon() = 0;
  virtual void SetTipText(const std::string& text) = 0;   // tray icon tip; may do nothing
};

class SpeechQueue {
 public:
  // settings is read at every tick, so changes made while running take effect at once.
  SpeechQueue(const HostSettings& settings, SpeechView& view) : settings_(settings), view_(view) {}

  void AddSerifu(const std::string& text);
  // The date and time separators of the tray tip (Shift-JIS), from the next tick on.
  void SetTipSeparators(std::string date, std::string time) {
    date_separator_ = std::move(date);
    time_separator_ = std::move(time);
  }
  // One tick of Timer1, at local time now.
  void RefreshSerifu(const LocalTime& now);

  bool IsSpeaking() const { return is_speaking_; }
  const std::deque<std::string>& SerifuQueue() const { return serifu_queue_; }
  const std::deque<std::string>& FukidasiLines() const { return fukidasi_lines_; }
  // The balloon's text as the refresh last set it: CR LF before every line, oldest on top.
  const std::string& BalloonText() const { return balloon_text_; }
  std::int64_t NextSerifuTime() const { return next_serifu_time_; }
  std::int64_t FukidasiEndTime() const { return fukidasi_end_time_; }

 private:
  const HostSettings& settings_;
  SpeechView& view_;
  std::deque<std::string> serifu_queue_;
  std::deque<std::string> fukidasi_lines_;
  std::string balloon_text_;
  std::string date_separator_ = "/", time_separator_ = ":";
  bool is_speaking_ = false;
  std::int64_t next_serifu_time_ = 0;
  std::int64_t fukidasi_end_time_ = 0;
};

}  // namespace mokuna
