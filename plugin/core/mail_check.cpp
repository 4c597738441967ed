#include "mail_check.h"

#include "imap_check.h"
#include "secret_protector.h"
#include "sound_player.h"

namespace fennick {
namespace {

// Without a protector nothing protected opens and nothing is protected: the password is then not kept.
class NoProtector : public SecretProtector {
 public:
  std::optional<std::string> Protect(std::string_view) const override { return std::nullopt; }
  std::optional<std::string> Unprotect(std::string_view) const override { return std::nullopt; }
};

}  // namespace

std::string CheckMail(ModuleState& state, const CheckMailEnv& env) {
  EpopSettings settings;
  EpopFile file;
  const EpopLoadResult load = file.LoadFile(env.ini_path, settings, state, env.player);
  if (load.error == EpopLoadResult::Error::Unreadable) return results::kCannotReadSettings;
  if (!load.ok() && env.on_load_error) env.on_load_error(load);
  static const NoProtector no_protector;
  const SecretProtector& protector = env.protector ? *env.protector : no_protector;
  if (load.MayConnect() && !OpenPassword(settings, protector)) {
    if (env.player) env.player->Close();
    return results::kPasswordUnreadable;
  }
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
    const bool kept = ProtectPassword(settings, protector);
    if (!WriteEpopFile(env.ini_path, settings, state, &error, &file) && env.on_save_error)
      env.on_save_error(error);
    if (!kept && env.on_save_error) env.on_save_error("パスワードを暗号化できなかったため，保存しませんでした．");
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
