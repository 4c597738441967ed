// The two exports' work around the conversations: CheckMail loads epop.ini, runs the POP3 or the IMAP
// conversation and writes the file back; PropertyPage's result and file once the window has closed. The
// Win32 layer only supplies the connection, the sound player, the message box for load errors and the
// settings window's modal result.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "epop_settings.h"
#include "mail_connection.h"
#include "mail_results.h"
#include "mail_transport.h"
#include "pop3_check.h"

namespace mokuna {
class Clock;
}

namespace fennick {

class SecretProtector;
class SoundPlayer;

// Everything around one CheckMail call.
struct CheckMailEnv {
  MailTransport* transport = nullptr;  // required
  SoundPlayer* player = nullptr;       // may be null: no sound
  // Opens and protects the password; null: a protected one cannot be opened and none is kept.
  const SecretProtector* protector = nullptr;
  std::string ini_path = kEpopFileName;
  MailWaits waits;
  TextToUtf8 to_utf8;  // for IMAP's user name and password; POP3 sends the bytes as they stand
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

// After the window has closed: the result string, and on OK epop.ini written at ini_path (keeping what
// loaded, the load the window made, could not take). When the write fails, save_error (if given) receives
// the reason and the result is returned all the same.
std::string FinishPropertyPage(int modal_result, const EpopSettings& settings, const ModuleState& state,
                               const std::string& ini_path = kEpopFileName,
                               std::string* save_error = nullptr, const EpopFile* loaded = nullptr);

}  // namespace fennick
