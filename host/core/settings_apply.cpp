#include "settings_apply.h"

#include <string>

#include "config_file.h"
#include "host_error.h"

namespace mokuna {
namespace {

int WholeNumber(const std::string& text) {
  if (auto value = config::ParseInt(text)) return *value;
  throw HostError("'" + text + "' は整数ではありません");
}

}  // namespace

SettingsForm FormFromValues(const SettingsValues& v) {
  SettingsForm f;
  f.eself = std::to_string(v.local_polling);
  f.eserifu = std::to_string(v.serifu_interval);
  f.efukidasi = std::to_string(v.fukidasi_interval);
  f.eevent = std::to_string(v.event_polling);
  f.edit1 = v.mokuna_image;
  f.edit3 = std::to_string(v.max_speaking);
  f.list_box1 = v.dll_list;
  f.check_box1 = v.show_calender;
  f.check_box2 = v.show_time;
  return f;
}

void ApplySettings(const SettingsForm& f, SettingsTarget& target) {
  target.SetLocalPolling(WholeNumber(f.eself));
  target.SetSerifuInterval(WholeNumber(f.eserifu));
  target.SetFukidasiInterval(WholeNumber(f.efukidasi));
  target.SetEventPolling(WholeNumber(f.eevent));
  target.SetMokunaImage(f.edit1);
  target.SetMaxSpeaking(WholeNumber(f.edit3));
  target.SetDllList(f.list_box1);
  target.SetShowCalender(f.check_box1);
  target.SetShowTime(f.check_box2);
}

}  // namespace mokuna
