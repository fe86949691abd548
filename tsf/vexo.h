/* vexo: Uzbek text from the old Latin spelling (o' g' sh ch ') to the 2026
 * alphabet (ö ğ ş ç ʼ), back again, and to Cyrillic.
 *
 * Text is NUL-terminated UTF-8. Every string a function returns is a new
 * buffer owned by the caller, released with vexo_free() exactly once and with
 * nothing else. A null text or bytes that are not valid UTF-8 give a null
 * result. All functions may be called from any thread at once; one session
 * must not be used by two threads at the same time.
 *
 * Licensed under the Apache License, Version 2.0. */
#ifndef VEXO_H_
#define VEXO_H_

#include <stdint.h>

#if defined(_WIN32)
#  if defined(VEXO_BUILDING_LIBRARY)
#    define VEXO_API /* exported by name through vexo_tsf.def */
#  else
#    define VEXO_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define VEXO_API __attribute__((visibility("default")))
#else
#  define VEXO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Flags of vexo_convert() and vexo_session_complete_word(); other bits are
 * ignored. 0 converts as the vexo program does without switches. */
#define VEXO_NO_GUARD 1u        /* convert English words and foreign names too */
#define VEXO_NO_CYRILLIC 2u     /* leave Cyrillic words as they are */
#define VEXO_ASCII_TUTUQ 4u     /* write the tutuq as ' (U+0027), not ʼ (U+02BC) */
#define VEXO_NO_RESTORE 8u      /* do not restore apostrophes left out */

/* The text in the 2026 alphabet. An empty text gives an empty string. */
VEXO_API char* vexo_convert(const char* text, uint32_t flags);

/* The text in the old spelling; with ascii non-zero, o' g' and ' are written
 * with U+0027 instead of the turned comma and U+02BC. */
VEXO_API char* vexo_to_old(const char* text, uint32_t ascii);

/* The text (old or new Latin, or a mixture) in Uzbek Cyrillic. */
VEXO_API char* vexo_to_cyrillic(const char* text);

/* Releases a string returned by this library. Null is ignored. */
VEXO_API void vexo_free(char* text);

/* A typing session converts one finished word at a time with the context of
 * the words typed before it in the same sentence. */
typedef struct vexo_session vexo_session;

/* A new, empty session; release it with vexo_session_free(). */
VEXO_API vexo_session* vexo_session_new(void);

/* Forgets the preceding words, an open quote and the restore mode; call it at
 * a paragraph break or when the writer moves elsewhere. Null is ignored. */
VEXO_API void vexo_session_reset(vexo_session* session);

/* Releases a session. Null is ignored. */
VEXO_API void vexo_session_free(vexo_session* session);

/* Converts one finished word as typed (with any punctuation typed with it).
 * Gives the replacement and stores through typed_count (when not null) how
 * many characters (Unicode scalar values) of the typed word it replaces. Gives
 * null, and leaves typed_count alone, when the word stays as typed or when the
 * session or word is null or the word is not valid UTF-8. */
VEXO_API char* vexo_session_complete_word(vexo_session* session, const char* word,
                                          uint32_t flags, uint32_t* typed_count);

/* Builds the brand and foreign-name lists now rather than on first use.
 * Optional; calling it again does nothing. */
VEXO_API void vexo_warm_up(void);

#ifdef __cplusplus
}  /* extern "C" */
#endif

#endif  /* VEXO_H_ */
