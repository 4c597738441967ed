/* mokuna_plugin.h: everything a Mokuna plug-in needs, in one header for C and C++.
 *
 * A plug-in is a DLL that the scheduler library Kavrel.dll loads from its own folder by name (plug-in N is
 * N.dll) and whose exports it calls by name. Every export has the same form:
 *
 *     MOKUNA_PLUGIN_EXPORT const char* MOKUNA_CALL Name(mokuna_int32 arg);
 *
 * It returns a result string: NUL-terminated Shift-JIS text, "<DLL> <function> <code>" and a payload.
 * The string stays the plug-in's; it must stay unchanged until the plug-in's next call, when Kavrel has
 * already copied it. The helpers below build such a string in a buffer of the plug-in's own, quoting each
 * payload token the way the host splits them. See README.md beside this folder for the whole contract.
 *
 * What this header defines never changes meaning; later versions only add. */
#ifndef MOKUNA_PLUGIN_H
#define MOKUNA_PLUGIN_H

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#define MOKUNA_PLUGIN_SDK_VERSION 1

/* The argument: the <arg> field of the timetable entry or action, a signed 32-bit number. */
typedef int mokuna_int32;

#if defined(_WIN32)
#define MOKUNA_CALL __cdecl
#define MOKUNA_EXPORT_ATTRIBUTE __declspec(dllexport)
#elif defined(__GNUC__)
#define MOKUNA_CALL
#define MOKUNA_EXPORT_ATTRIBUTE __attribute__((visibility("default")))
#else
#define MOKUNA_CALL
#define MOKUNA_EXPORT_ATTRIBUTE
#endif

/* Put before each export: an undecorated C name that Kavrel finds with GetProcAddress. */
#ifdef __cplusplus
#define MOKUNA_PLUGIN_EXPORT extern "C" MOKUNA_EXPORT_ATTRIBUTE
#else
#define MOKUNA_PLUGIN_EXPORT MOKUNA_EXPORT_ATTRIBUTE
#endif

/* The form of every export, for a caller that looks one up. */
typedef const char*(MOKUNA_CALL* mokuna_plugin_function)(mokuna_int32 arg);

/* Result codes. A plug-in writes them with three digits ("000", "900"); the host reads the number. */
#define MOKUNA_RESULT_SPEECH 0        /* each payload token is one speech line */
#define MOKUNA_RESULT_SCHEDULE 900    /* the payload is timetable entries, groups separated by a "+" token */
#define MOKUNA_RESULT_NO_DLL 501      /* made by Kavrel: the DLL could not be loaded */
#define MOKUNA_RESULT_NO_FUNCTION 502 /* made by Kavrel: the DLL has no export of that name */
/* Any other code is an error the host reports by number, e.g. 101: the server did not answer. */

#if defined(__cplusplus)
#define MOKUNA_INLINE inline
#elif defined(_MSC_VER)
#define MOKUNA_INLINE static __inline
#else
#define MOKUNA_INLINE static inline
#endif

/* A result string being built in a buffer the plug-in owns. A piece that does not fit is left out whole
 * and sets overflow, so the text is always a well-formed result string. */
typedef struct mokuna_result {
  char* text;
  size_t size; /* bytes of text, the NUL included */
  size_t length;
  int overflow;
} mokuna_result;

/* Non-zero when token must be quoted to reach the host as one token: it is empty, or holds a blank, a
 * control character, a comma or a double quote. Shift-JIS trail bytes are never any of these. */
MOKUNA_INLINE int mokuna_needs_quotes(const char* token) {
  const unsigned char* p = (const unsigned char*)token;
  if (*p == 0) return 1;
  for (; *p; ++p)
    if (*p <= 32 || *p == ',' || *p == '"') return 1;
  return 0;
}

/* Appends raw bytes; all or nothing. */
MOKUNA_INLINE int mokuna_result_append_(mokuna_result* r, const char* bytes, size_t n) {
  if (r->overflow || r->length + n >= r->size) {
    r->overflow = 1;
    return 0;
  }
  memcpy(r->text + r->length, bytes, n);
  r->length += n;
  r->text[r->length] = 0;
  return 1;
}

/* Starts "<dll> <function> <code as three digits>" in text (size bytes, at least 1). */
MOKUNA_INLINE void mokuna_result_begin(mokuna_result* r, char* text, size_t size, const char* dll,
                                       const char* function, int code) {
  char digits[16];
  r->text = text;
  r->size = size;
  r->length = 0;
  r->overflow = 0;
  if (size > 0) text[0] = 0;
  sprintf(digits, "%03d", code);
  mokuna_result_append_(r, dll, strlen(dll));
  mokuna_result_append_(r, " ", 1);
  mokuna_result_append_(r, function, strlen(function));
  mokuna_result_append_(r, " ", 1);
  mokuna_result_append_(r, digits, strlen(digits));
}

/* Appends one payload token (valid Shift-JIS: a lone lead byte would take the closing quote) after a blank,
 * in double quotes (an inner quote doubled) when it needs them.
 * Returns 0 when it did not fit. */
MOKUNA_INLINE int mokuna_result_add_token(mokuna_result* r, const char* token) {
  size_t need, i, at;
  const char* p;
  if (!mokuna_needs_quotes(token)) {
    if (r->overflow || r->length + 1 + strlen(token) >= r->size) {
      r->overflow = 1;
      return 0;
    }
    mokuna_result_append_(r, " ", 1);
    return mokuna_result_append_(r, token, strlen(token));
  }
  need = 3; /* blank and two quotes */
  for (p = token; *p; ++p) need += *p == '"' ? 2 : 1;
  if (r->overflow || r->length + need >= r->size) {
    r->overflow = 1;
    return 0;
  }
  at = r->length;
  r->text[at++] = ' ';
  r->text[at++] = '"';
  for (i = 0; token[i]; ++i) {
    if (token[i] == '"') r->text[at++] = '"';
    r->text[at++] = token[i];
  }
  r->text[at++] = '"';
  r->text[at] = 0;
  r->length = at;
  return 1;
}

/* Appends text after a blank as it stands: the fields of a timetable entry, or "+" between entries. */
MOKUNA_INLINE int mokuna_result_add_raw(mokuna_result* r, const char* text) {
  if (r->overflow || r->length + 1 + strlen(text) >= r->size) {
    r->overflow = 1;
    return 0;
  }
  mokuna_result_append_(r, " ", 1);
  return mokuna_result_append_(r, text, strlen(text));
}

#endif /* MOKUNA_PLUGIN_H */
