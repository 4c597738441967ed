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

SettingsForm FormFromValues(const HostSettings& v) {
  SettingsForm f;
  f.eself = std::to_string(v.LocalPolling);
  f.eserifu = std::to_string(v.SerifuInterval);
  f.efukidasi = std::to_string(v.FukidasiInterval);
  f.eevent = std::to_string(v.EventPolling);
  f.edit1 = v.MokunaImage;
  f.edit3 = std::to_string(v.MaxSpeaking);
  f.list_box1 = v.DllList;
  f.check_box1 = v.ShowCalender;
  f.check_box2 = v.ShowTime;
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
