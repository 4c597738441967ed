// The mail check: one POP3 conversation per CheckMail call (USER/PASS or APOP), the new-mail decision,
// and every result string the plug-in's two exports return. The Win32 layer only supplies the connection,
// the sound player, the message box for load errors and the settings window's modal result.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "epop_settings.h"
#include "pop_transport.h"

namespace mokuna {
class Clock;
}

namespace fennick {

class SecretProtector;
class SoundPlayer;

// The result strings (Shift-JIS in the binaries).
namespace results {
constexpr const char kNoNewMail[] = "Fennick CheckMail 000";
constexpr const char kNewMailHead[] = "Fennick CheckMail 000 メールが";
constexpr const char kNewMailTail[] = "通きています． はやく受信しましょう．";
constexpr const char kBadUser[] = "Fennick CheckMail 000 ユーザ名が誤っています．";
constexpr const char kBadPassword[] = "Fennick CheckMail 000 パスワードが正しくありません．";
constexpr const char kCannotConnect[] = "Fennick CheckMail 101 Cannot Connect to Server";
constexpr const char kSendingFailure[] = "Fennick CheckMail 101 Sending Failure.";
constexpr const char kReceiveFailed[] = "Fennick CheckMail 102 Receive Failed";
constexpr const char kQuitReceiveFailed[] = "Fennick CheckMail 102 receive Failed";
constexpr const char kUnexpectedReply[] = "Fennick CheckMail 103 Unexpected Server Reply";
constexpr const char kCannotReadSettings[] = "Fennick CheckMail 105 Cannot Read Settings";
// The password was protected for another Windows user or on another PC: nothing to log in with.
constexpr const char kPasswordUnreadable[] =
    "Fennick CheckMail 000 パスワードを読み出せません．設定画面で入れ直してください．";
constexpr const char kPropertyPageHead[] = "Fennick PropertyPage ";
// A secured connection that could not be had; the password has not left the machine.
constexpr const char kTlsNameMismatch[] = "Fennick CheckMail 000 サーバ名が証明書と一致しません．";
constexpr const char kTlsUntrusted[] = "Fennick CheckMail 000 サーバの証明書を信頼できません．";
constexpr const char kStlsRefused[] = "Fennick CheckMail 000 サーバが暗号化に対応していません．";
constexpr const char kSecureConnectionFailed[] = "Fennick CheckMail 104 Secure Connection Failed";
}  // namespace results

// Every wait for the server and every read gives up after these; tests shorten them.
struct PopTimeouts {
  int wait_ms = 10000;
  int read_ms = 10000;
  // Longest time spent reading the retrieved message for its identifier, so that a server that drips
  // bytes cannot hold the caller for ever. Measured with the injectable clock.
  std::int64_t retrieve_total_ms = 120000;
};

struct ConversationOutcome {
  std::string result;    // the result string, kept whole however long
  bool success = false;  // the conversation ended properly: the settings file may be written
};

// The result that ends a check whose TLS start ended so; nullptr for a secured connection.
const char* TlsRefusal(PopTransport::TlsResult result);

// Steps 2 to 12 of a check with settings already loaded: connect to settings.POPServer at the resolved
// port (TLS from the start, or after STLS, as settings.POPSecurity says), log in, count, read the newest
// message's identifier, decide, play the sound on new mail (when settings.isPlay and player is open), QUIT.
// Updates state only as the conversation goes. The connection is closed on every path. player may be
// null. clock null means the program's current clock.
ConversationOutcome RunConversation(const EpopSettings& settings, ModuleState& state,
                                    PopTransport& transport, SoundPlayer* player,
                                    const PopTimeouts& timeouts = {}, const mokuna::Clock* clock = nullptr);

// Everything around one CheckMail call.
struct CheckMailEnv {
  PopTransport* transport = nullptr;  // required
  SoundPlayer* player = nullptr;      // may be null: no sound
  // Opens and protects the password; null: a protected one cannot be opened and none is kept.
  const SecretProtector* protector = nullptr;
  std::string ini_path = kEpopFileName;
  PopTimeouts timeouts;
  const mokuna::Clock* clock = nullptr;
  // Shows a load error to the user (a message box); the check goes on afterwards. Not told of an unreadable
  // file, which the result string reports.
  std::function<void(const EpopLoadResult&)> on_load_error;
  // Told when epop.ini could not be written after a successful check; the result string is returned
  // all the same.
  std::function<void(const std::string& error)> on_save_error;
};

// The whole CheckMail export: loads epop.ini (settings and state), runs the conversation (IMAP or POP3, as
// MailProtocol says; none for a protocol the plug-in does not know, which ends with kCannotReadSettings
// once the load error was shown), closes the sound player, and on success writes epop.ini back — unless
// loading stopped before all settings were applied, since writing would then replace the user's remaining
// settings with initial states. An epop.ini that is there but cannot be read ends the call at once with
// kCannotReadSettings: with the account unknown there is nobody to log in as, and the host reports the code.
// A protected password that cannot be opened ends it with kPasswordUnreadable before any connection. The
// write keeps the password only protected.
std::string CheckMail(ModuleState& state, const CheckMailEnv& env);

// The settings window's modal results.
enum ModalResult { mrOk = 1, mrCancel = 2, mrRecheck = 6 };

// The PropertyPage result for the window's modal result, from the settings as the window holds them
// when it closes and the module state. The recheck repeats the count of settings.MailProtocol's state.
std::string PropertyPageResult(int modal_result, const EpopSettings& settings, const ModuleState& state);

// After the window has closed: the result string, and on OK epop.ini written at ini_path. When the write
// fails, save_error (if given) receives the reason and the result is returned all the same.
std::string FinishPropertyPage(int modal_result, const EpopSettings& settings, const ModuleState& state,
                               const std::string& ini_path = kEpopFileName,
                               std::string* save_error = nullptr);

}  // namespace fennick
