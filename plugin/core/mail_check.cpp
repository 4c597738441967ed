#include "mail_check.h"

#include "imap_check.h"
#include "sound_player.h"

namespace fennick {

std::string CheckMail(ModuleState& state, const CheckMailEnv& env) {
  EpopSettings settings;
  EpopFile file;
  const EpopLoadResult load = file.LoadFile(env.ini_path, settings, state, env.player);
  if (load.error == EpopLoadResult::Error::Unreadable) return results::kCannotReadSettings;
  if (!load.ok() && env.on_load_error) env.on_load_error(load);
  ConversationOutcome outcome;
  if (!load.MayConnect()) {
    outcome.result = results::kCannotReadSettings;
  } else if (env.transport && settings.MailProtocol == kProtocolImap) {
    outcome = RunImapConversation(settings, state, *env.transport, env.player, env.waits, env.clock,
                                  env.to_utf8);
  } else if (env.transport) {
    outcome = RunPop3Conversation(settings, state, *env.transport, env.player, env.waits, env.clock);
  } else {
    outcome.result = results::kCannotConnect;
  }
  if (env.player) env.player->Close();
  if (outcome.success && load.SettingsComplete()) {
    std::string error;
    if (!WriteEpopFile(env.ini_path, settings, state, &error, &file) && env.on_save_error)
      env.on_save_error(error);
  }
  return outcome.result;
}

std::string PropertyPageResult(int modal_result, const EpopSettings& settings, const ModuleState& state) {
  std::string result = results::kPropertyPageHead;
  if (modal_result == mrOk)
    return result + results::kScheduleHead + (settings.isCheckMail ? settings.CheckInterval : "0") +
           results::kScheduleTail;
  result += results::kNothingToSay;
  if (modal_result == mrRecheck) {
    // IMAP remembers the unseen count of the last check, POP3 the count of messages.
    const std::int32_t count = settings.MailProtocol == kProtocolImap ? state.imap.Unseen : state.LastMailNum;
    if (count != 0)
      result += std::to_string(count) + results::kRecheckTail;
    else
      result += results::kRecheckNone;
  }
  return result;
}

std::string FinishPropertyPage(int modal_result, const EpopSettings& settings, const ModuleState& state,
                               const std::string& ini_path, std::string* save_error, const EpopFile* loaded) {
  if (modal_result == mrOk) WriteEpopFile(ini_path, settings, state, save_error, loaded);
  return PropertyPageResult(modal_result, settings, state);
}

}  // namespace fennick
