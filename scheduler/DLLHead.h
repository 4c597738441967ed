// The functions of the scheduler library Kavrel.dll that the host imports. All text is NUL-terminated
// Shift-JIS. A string passed in is read only during the call; the string GetResults returns belongs to
// the library and stays valid until the next call into it.
#pragma once

#ifdef _WIN32
#define KAVREL_CALL __cdecl
#ifdef KAVREL_BUILD
#define KAVREL_IMPORT
#else
#define KAVREL_IMPORT __declspec(dllimport)
#endif
#else
#define KAVREL_CALL
#define KAVREL_IMPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

KAVREL_IMPORT void KAVREL_CALL initForm(void);
KAVREL_IMPORT void KAVREL_CALL freeForm(void);
KAVREL_IMPORT int KAVREL_CALL isResult(void);
KAVREL_IMPORT const char* KAVREL_CALL GetResults(void);
KAVREL_IMPORT void KAVREL_CALL AddEntry(const char* entry);
KAVREL_IMPORT void KAVREL_CALL DirectAction(const char* action);
KAVREL_IMPORT void KAVREL_CALL PropertyPage(const char* name);

#ifdef __cplusplus
}
#endif
