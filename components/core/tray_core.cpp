#include "tray_core.h"

#include <algorithm>

#include "sjis.h"

namespace mokuna {

void* TrayIdRegistry::Find(int id) const {
  for (const auto& entry : entries_)
    if (entry.first == id) return entry.second;
  return nullptr;
}

void TrayIdRegistry::Replace(int old_id, int new_id) {
  for (auto& entry : entries_)
    if (entry.first == old_id) {
      entry.first = new_id;
      return;
    }
}

void TrayIdRegistry::Remove(int id) {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [id](const auto& e) { return e.first == id; }),
                 entries_.end());
}

TrayIdRegistry& TrayIdRegistry::Process() {
  static TrayIdRegistry registry;
  return registry;
}

TrayEvent TrayEventFor(unsigned mouse_message) {
  switch (mouse_message) {
    case 512: return {TrayCall::kMouseMove, TrayButton::kLeft};
    case 513: return {TrayCall::kMouseDown, TrayButton::kLeft};
    case 514: return {TrayCall::kMouseUp, TrayButton::kLeft};
    case 515: return {TrayCall::kDblClick, TrayButton::kLeft};
    case 516: return {TrayCall::kMouseDown, TrayButton::kRight};
    case 517: return {TrayCall::kMouseUp, TrayButton::kRight};
    case 518: return {TrayCall::kDblClick, TrayButton::kRight};
    case 519: return {TrayCall::kMouseDown, TrayButton::kMiddle};
    case 520: return {TrayCall::kMouseUp, TrayButton::kMiddle};
    default: return {};
  }
}

std::string TrayTipForRecord(std::string_view tip) {
  std::size_t end = 0;
  while (end < tip.size()) {
    const std::size_t next = end + sjis::CharLength(tip, end);
    if (next > kTrayTipBytes || tip[end] == '\0') break;
    end = next;
  }
  return std::string(tip.substr(0, end));
}

}  // namespace mokuna
