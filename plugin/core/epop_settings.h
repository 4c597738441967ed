// epop.ini, the mail checker's settings file: ten key=value lines, read into the settings model and the
// module state, written back in a fixed order; two more for a secured connection, written only when set.
// The settings window shows and edits an EpopSettings; the mail check only reads one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fennick {

class SecretProtector;
class SoundPlayer;

constexpr const char kEpopFileName[] = "epop.ini";

// How the connection to the server is secured: 0 not at all, 1 TLS from the first byte, 2 TLS after STLS.
// Any other number (a typo in the file) is no choice at all: nothing connects with it, and the settings
// window shows SSL/TLS in its place.
enum PopSecurity : int { kSecurityNone = 0, kSecuritySslTls = 1, kSecurityStartTls = 2, kSecurityUnknown = -1 };
bool IsKnownSecurity(int security);
// The choice the settings window marks, and SaveEpop writes, for a security: unknown ones become SSL/TLS.
int ShownSecurity(int security);
constexpr int kPopPort = 110;
constexpr int kPop3sPort = 995;

// How the mailbox is read: 0 POP3 (USER/PASS or APOP as isUseAPOP says), 1 IMAP.
enum MailProtocolChoice : int { kProtocolPop3 = 0, kProtocolImap = 1 };

// What the last successful check of an IMAP mailbox saw. UidValidity 0: no check yet, so the next one is a
// first check.
struct ImapState {
  std::uint32_t UidValidity = 0;
  std::uint32_t UidNext = 0;   // the UID the next message added to INBOX gets
  std::int32_t Unseen = 0;     // unseen messages then, repeated by the settings window's recheck
};

// The plug-in's state that outlives a call: what the last successful check saw.
struct ModuleState {
  std::string LastMessageID;    // identifier of the newest message, lower case, brackets included
  std::int32_t LastMailNum = 0;  // messages in the mailbox
  ImapState imap;                // used when the mailbox is read over IMAP
};

// The settings of the window's controls, in their initial states until a file is loaded.
struct EpopSettings {
  bool isCheckMail = true;            // CheckBox1
  bool isPlay = false;                // CheckBox2
  std::string CheckInterval = "0";    // Edit5, minutes, as typed (not validated)
  std::string Account;                // Edit1
  std::string Password;               // Edit2, in plain text only in memory
  std::string PasswordProtected;      // the password's protected form as base64, as epop.ini keeps it
  std::string POPServer = "127.0.0.1";  // Edit3
  int isUseAPOP = 0;                  // RadioGroup1 index: 1 APOP, 0 USER/PASS, -1 nothing marked
  std::string FilePlaying;            // Edit6
  int POPSecurity = kSecurityNone;    // ComboBox1 index; as read from the file, known or not
  std::string POPPort;                // Edit4, as typed; empty for the security's default port
  int MailProtocol = kProtocolPop3;   // ComboBox2 index
  bool AnnounceSender = false;        // CheckBox3: name sender and subject of the newest new mail

  bool UsesApop() const { return isUseAPOP == 1; }
};

// The port of a port field's text: a decimal number 1 to 65535, digits only.
std::optional<int> ParsePort(std::string_view text);
// The security's default port.
int DefaultPort(int security);
// The port to connect to: the default when POPPort is empty, nothing when its text is no port or the
// security is unknown.
std::optional<int> ResolvePort(const EpopSettings& settings);

// How loading ended. Loading stops at the first bad number or sound device error; the keys after it keep
// their initial states and the module state keeps its values.
struct EpopLoadResult {
  // Unreadable: the file is there but could not be read; nothing was applied, and nothing may replace it.
  // UnknownProtocol: MailProtocol names no protocol this plug-in speaks; nothing after it was applied and
  // no server may be contacted.
  // UnknownChoice: a whole number that names no choice (POPSecurity); reported, and loading goes on; the
  // port then resolves to none, so no check connects with it.
  enum class Error { None, BadNumber, SoundDevice, Unreadable, UnknownProtocol, UnknownChoice };
  Error error = Error::None;
  std::string key;      // the key whose value stopped loading (FilePlaying for a sound device error)
  std::string message;  // what to show the user, Shift-JIS: the system's own words for the failure

  bool ok() const { return error == Error::None; }
  // True when every setting of the window was applied, so writing the settings back loses nothing.
  // Only a bad number before the module state's keys leaves settings unapplied.
  bool SettingsComplete() const {
    return error != Error::Unreadable && error != Error::UnknownProtocol &&
           (error != Error::BadNumber || IsStateKey(key));
  }
  // False when the settings must not be used to contact a server at all.
  bool MayConnect() const { return error != Error::Unreadable && error != Error::UnknownProtocol; }
  static bool IsStateKey(const std::string& k) {
    return k == "LastMailNum" || k == "IMAPUIDValidity" || k == "IMAPUIDNext" || k == "IMAPUnseen";
  }
};

// Applies the bytes of epop.ini to settings and state in the loading order: MailProtocol, POPSecurity,
// POPPort, isCheckMail, CheckInterval, Account, Password, POPServer, isUseAPOP, isPlay, FilePlaying; then,
// when the sound is on and the file exists, opens player on it (player may be null: no sound is opened);
// then LastMessageID, LastMailNum, IMAPUIDValidity, IMAPUIDNext, IMAPUnseen.
// An absent setting takes its initial value; an absent state key leaves the state as it is.
EpopLoadResult LoadEpop(std::string_view bytes, EpopSettings& settings, ModuleState& state,
                        SoundPlayer* player);

// Loads the file at path when it can be read; a missing file is not an error and changes nothing. A file
// that is there but cannot be read changes nothing either and gives Unreadable, message = the system's reason.
EpopLoadResult LoadEpopFile(const std::string& path, EpopSettings& settings, ModuleState& state,
                            SoundPlayer* player);

// The ten lines, each ending in CR LF: isCheckMail, isPlay, CheckInterval, Account, Password, POPServer,
// isUseAPOP (1 above 1, -1 below 0), FilePlaying, LastMessageID, LastMailNum; then POPSecurity (1 or 2, 1
// for an unknown one) unless it is none and POPPort unless it is empty, so a file that never had them keeps
// its ten lines; then, for IMAP only, MailProtocol=1 and the IMAP state (IMAPUIDValidity, IMAPUIDNext,
// IMAPUnseen); then AnnounceSender=1 when it is on and PasswordProtected when there is one. The Password
// line is always empty: the password is kept only in its protected form.
std::string SaveEpop(const EpopSettings& settings, const ModuleState& state);

// One key's line as SaveEpop writes it; none for a key written only when set.
struct EpopLine {
  const char* key;
  std::optional<std::string> line;
};
// Every key in the order SaveEpop writes them, with its line for these settings and state.
std::vector<EpopLine> EpopLines(const EpopSettings& settings, const ModuleState& state);

// epop.ini as a load met it, and the file a write after that load makes. A load error must not cost the
// user what the load could not take: the lines of the keys it never reached keep their bytes unless their
// value has been changed since, and lines with keys the plug-in does not know are kept after the known
// ones. A file loaded without error (or none at all) is written exactly as SaveEpop writes.
class EpopFile {
 public:
  EpopLoadResult Load(std::string_view bytes, EpopSettings& settings, ModuleState& state, SoundPlayer* player);
  // As LoadEpopFile.
  EpopLoadResult LoadFile(const std::string& path, EpopSettings& settings, ModuleState& state,
                          SoundPlayer* player);
  std::string Save(const EpopSettings& settings, const ModuleState& state) const;
  // Before a save after a load error that never reached Password: the file's plain password goes into an
  // empty Password, so the save keeps it (protected) instead of dropping it.
  void KeepUnreadPassword(EpopSettings& settings) const;

 private:
  std::optional<std::string> FileLine(std::string_view key) const;

  std::vector<std::string> lines_;
  bool keep_ = false;                   // the load ended with an error
  std::vector<std::string> unreached_;  // the keys it never applied
  std::vector<EpopLine> at_stop_;       // the lines of the settings in force when it stopped
};

// After the settings window's OK: a protocol other than the one the last check used makes the next check
// a first one, so nothing remembered of the other mailbox's view counts.
void ForgetStateOnProtocolChange(int loaded_protocol, const EpopSettings& settings, ModuleState& state);

// Fills Password from PasswordProtected when the file held no plain one (a plain one was typed there by
// hand, and wins). False when there is a protected one that cannot be opened here: Password stays empty.
bool OpenPassword(EpopSettings& settings, const SecretProtector& protector);
// Sets PasswordProtected from Password (nothing for an empty one) before a save. False when the platform
// could not protect it; PasswordProtected is then empty, so the password is not kept at all.
bool ProtectPassword(EpopSettings& settings, const SecretProtector& protector);

// Replaces the file at path with SaveEpop's bytes (or loaded's Save, after the load it made), atomically.
// False when it cannot be written; error then receives the system's reason (Shift-JIS) and the old file is
// untouched.
bool WriteEpopFile(const std::string& path, const EpopSettings& settings, const ModuleState& state,
                   std::string* error = nullptr, const EpopFile* loaded = nullptr);

}  // namespace fennick
