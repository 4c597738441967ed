#include "speech_queue.h"

#include <cmath>
#include <cstdio>

#include "sjis.h"

namespace mokuna {

std::int64_t SecondsCount(const LocalTime& t) {
  // nearbyint rounds halves to even in the default rounding mode.
  return static_cast<std::int64_t>(std::nearbyint(ToDateTime(t) * 86400.0 + 0.5));
}

std::string TrayTipText(const LocalTime& t, const std::string& date_separator, const std::string& time_separator) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%04d%s%d%s%d %02d%s%02d", t.year, date_separator.c_str(), t.month,
                date_separator.c_str(), t.day, t.hour, time_separator.c_str(), t.minute);
  return buf;
}

std::vector<std::string> CutSerifu(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  do {
    const std::size_t n = sjis::PrefixBytes(std::string_view(text).substr(pos), kSerifuLineChars);
    lines.push_back(text.substr(pos, n));
    pos += n;
  } while (pos < text.size());
  return lines;
}

FukidasiSpot PlaceBeside(int character_left, int character_top, int character_width, int character_height,
                         int balloon_width, int balloon_height) {
  FukidasiSpot spot{character_left - balloon_width, character_top + character_height - balloon_height};
  if (spot.left < 0) spot.left = character_left + character_width;
  return spot;
}

void SpeechQueue::AddSerifu(const std::string& text) {
  is_speaking_ = true;
  for (auto& line : CutSerifu(text)) serifu_queue_.push_back(std::move(line));
}

void SpeechQueue::RefreshSerifu(const LocalTime& now_time) {
  view_.SetTipText(TrayTipText(now_time, date_separator_, time_separator_));
  const std::int64_t now = SecondsCount(now_time);

  if (serifu_queue_.empty()) {
    if (is_speaking_ && now > fukidasi_end_time_) {
      is_speaking_ = false;
      fukidasi_lines_.clear();
      balloon_text_.clear();
      view_.SetBalloonText(balloon_text_);
      view_.HideBalloon();
    }
    return;
  }
  if (now <= next_serifu_time_) return;

  const std::size_t queued = serifu_queue_.size();
  view_.PlaceFukidasi();
  is_speaking_ = true;
  fukidasi_lines_.push_back(std::move(serifu_queue_.front()));
  serifu_queue_.pop_front();
  // One line out per tick at most: a lowered MaxSpeaking lets the balloon shrink no faster than it grows.
  if (static_cast<std::int64_t>(fukidasi_lines_.size()) > settings_.MaxSpeaking) fukidasi_lines_.pop_front();

  balloon_text_.clear();
  for (const auto& line : fukidasi_lines_) {
    balloon_text_ += "\r\n";
    balloon_text_ += line;
  }
  view_.SetBalloonText(balloon_text_);

  if (queued == 1) fukidasi_end_time_ = now + settings_.FukidasiInterval;
  next_serifu_time_ = now + settings_.SerifuInterval;
}

}  // namespace mokuna
