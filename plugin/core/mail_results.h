// Every result string the plug-in's two exports return, and the pieces the longer ones are built from
// (Shift-JIS in the binaries).
#pragma once

namespace fennick::results {

constexpr const char kNoNewMail[] = "Fennick CheckMail 000";
constexpr const char kNewMailHead[] = "Fennick CheckMail 000 メールが";
constexpr const char kNewMailTail[] = "通きています． はやく受信しましょう．";
constexpr const char kBadUser[] = "Fennick CheckMail 000 ユーザ名が誤っています．";
constexpr const char kBadPassword[] = "Fennick CheckMail 000 パスワードが正しくありません．";
// IMAP does not say whether the user name or the password was refused.
constexpr const char kLoginRefused[] = "Fennick CheckMail 000 ユーザ名かパスワードが正しくありません．";
constexpr const char kCannotConnect[] = "Fennick CheckMail 101 Cannot Connect to Server";
constexpr const char kSendingFailure[] = "Fennick CheckMail 101 Sending Failure.";
constexpr const char kReceiveFailed[] = "Fennick CheckMail 102 Receive Failed";
constexpr const char kQuitReceiveFailed[] = "Fennick CheckMail 102 receive Failed";
constexpr const char kUnexpectedReply[] = "Fennick CheckMail 103 Unexpected Server Reply";
constexpr const char kCannotReadSettings[] = "Fennick CheckMail 105 Cannot Read Settings";
// The password was protected for another Windows user or on another PC: nothing to log in with.
constexpr const char kPasswordUnreadable[] =
    "Fennick CheckMail 000 パスワードを読み出せません．設定画面で入れ直してください．";
// A secured connection that could not be had; the password has not left the machine.
constexpr const char kTlsNameMismatch[] = "Fennick CheckMail 000 サーバ名が証明書と一致しません．";
constexpr const char kTlsUntrusted[] = "Fennick CheckMail 000 サーバの証明書を信頼できません．";
constexpr const char kStlsRefused[] = "Fennick CheckMail 000 サーバが暗号化に対応していません．";
constexpr const char kSecureConnectionFailed[] = "Fennick CheckMail 104 Secure Connection Failed";

constexpr const char kPropertyPageHead[] = "Fennick PropertyPage ";
// After kPropertyPageHead: the schedule entry of OK (the interval goes between the two pieces), and what
// the other ways of closing the window say.
constexpr const char kScheduleHead[] = "900 * * * * /";
constexpr const char kScheduleTail[] = " Fennick 0 CheckMail";
constexpr const char kNothingToSay[] = "000 ";
constexpr const char kRecheckTail[] = "通のメールがきています． はやく受信しましょう．";
constexpr const char kRecheckNone[] = "メールは届いていません．";
// The page's result when it could not run at all: as after キャンセル.
constexpr const char kPropertyPageNothingDone[] = "Fennick PropertyPage 000 ";

}  // namespace fennick::results
