/* Break.dll: reminds the user to take a break. The smallest useful plug-in, in plain C.
 *
 *   Remind        called by the timetable; the character says two lines.
 *   PropertyPage  its settings page: asks for the interval and returns the timetable entry for Remind.
 *
 * Put Break.dll beside Kavrel.dll and add "Break" in the settings dialog's DLL page; its settings page
 * opens from the character's menu under 拡張DLL. */
#include <windows.h>

#include "mokuna_plugin.h"

/* Each export's result stays here until the plug-in's next call. */
static char g_result[256];

MOKUNA_PLUGIN_EXPORT const char* MOKUNA_CALL Remind(mokuna_int32 arg) {
  mokuna_result r;
  (void)arg;
  mokuna_result_begin(&r, g_result, sizeof g_result, "Break", "Remind", MOKUNA_RESULT_SPEECH);
  mokuna_result_add_token(&r, "ひと休みしましょう．");
  mokuna_result_add_token(&r, "目を閉じて，肩を回して．");
  return g_result;
}

/* A settings page runs modally on the calling thread and returns when the user has decided. */
MOKUNA_PLUGIN_EXPORT const char* MOKUNA_CALL PropertyPage(mokuna_int32 arg) {
  mokuna_result r;
  int answer;
  (void)arg;
  answer = MessageBoxW(NULL, L"1時間ごとに休憩を知らせますか？", L"Break", MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL) {
    /* Nothing changes: a speech result without lines says nothing. */
    mokuna_result_begin(&r, g_result, sizeof g_result, "Break", "PropertyPage", MOKUNA_RESULT_SPEECH);
    return g_result;
  }
  /* One entry: every 60 minutes, or "/0" to take it off the timetable. */
  mokuna_result_begin(&r, g_result, sizeof g_result, "Break", "PropertyPage", MOKUNA_RESULT_SCHEDULE);
  mokuna_result_add_raw(&r, answer == IDYES ? "* * * * /60 Break 0 Remind" : "* * * * /0 Break 0 Remind");
  return g_result;
}
