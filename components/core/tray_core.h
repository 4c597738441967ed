// The platform-free part of the tray icon component: the process-wide registry of icon identifiers,
// the table that turns the notification area's mouse messages into component calls, and the shaping of
// the tip text for the notify record.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mokuna {

// Misuse of a component; the text (Shift-JIS) is shown by the program's general error handler.
class TrayInvalidOperation : public std::runtime_error {
 public:
  explicit TrayInvalidOperation(const std::string& sjis_text) : std::runtime_error(sjis_text) {}
};

inline constexpr const char* kTrayIdNotPositive = "0以下は指定できません";
inline constexpr const char* kTrayIdInUse = "同じアイコン識別子が有ります";
inline constexpr const char* kTrayNoIcon = "アイコンが指定されていません";
inline constexpr const char* kTrayCannotAdd = "タスクトレイに登録できません";

// The callback message the notification area sends to the notify window: the user-message base + 102.
inline constexpr unsigned kTrayCallbackMessage = 1024 + 102;
// Notify record flags: message | icon, plus tip when there is a tip.
inline constexpr unsigned kTrayFlagsNoTip = 3;
inline constexpr unsigned kTrayFlagsWithTip = 7;
// The tip field holds 64 bytes with the terminating zero.
inline constexpr std::size_t kTrayTipBytes = 63;

// Identifiers of the live tray components of the process, in the order they were added.
class TrayIdRegistry {
 public:
  // The identifier a new component takes: 1 when empty, else the last entry's + 1.
  int NextId() const { return entries_.empty() ? 1 : entries_.back().first + 1; }
  void Add(int id, void* component) { entries_.emplace_back(id, component); }
  bool Contains(int id) const { return Find(id) != nullptr; }
  void* Find(int id) const;
  // A changed identifier keeps its place in the order.
  void Replace(int old_id, int new_id);
  void Remove(int id);
  const std::vector<std::pair<int, void*>>& entries() const { return entries_; }

  static TrayIdRegistry& Process();

 private:
  std::vector<std::pair<int, void*>> entries_;
};

enum class TrayButton { kLeft, kRight, kMiddle };
enum class TrayCall { kNone, kMouseMove, kMouseDown, kMouseUp, kDblClick };

struct TrayEvent {
  TrayCall call = TrayCall::kNone;
  TrayButton button = TrayButton::kLeft;
};

// The component call for a mouse message number (512 move ... 520 middle up); kNone for the rest.
TrayEvent TrayEventFor(unsigned mouse_message);

// The tip as it fits the record: at most 63 bytes, never ending in half a double-byte character.
std::string TrayTipForRecord(std::string_view tip);

}  // namespace mokuna
