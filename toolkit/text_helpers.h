/*
 * Text and path helpers beside the toolkit wrappers. The path helpers take the greatest number
 * of characters the caller's buffer holds, terminator not counted (255 for a 256-byte buffer),
 * and end the setup through the wrappers' overflow report when the result does not fit.
 * Positions and steps follow the characters of the ANSI code page (CharNextA), so a double-byte
 * character counts once and its second byte is never taken for a character of its own.
 */
#ifndef TOOLKIT_TEXT_HELPERS_H
#define TOOLKIT_TEXT_HELPERS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The Windows (system) directory with its drive and a final backslash. A directory that
 * Windows reports without a drive takes the drive of the source directory. */
LPSTR WindowsDirPath(LPSTR szBuf, int cchMax);
LPSTR SystemDirPath(LPSTR szBuf, int cchMax);
/* 1 when the system directory does not lie inside the Windows directory, else 0. */
int AskSystemDirElsewhere(void);

/* Field n (from 1) of a comma-separated text, without its leading blanks and tabs; the empty
 * text for a field beyond the last. */
LPSTR NthListField(LPCSTR szList, int nField, LPSTR szBuf, int cchMax);

/* The texts joined in one static buffer of 768 (JoinThree) or 1024 (JoinFour) bytes, which the
 * next call of the same helper overwrites. A result longer than the buffer is cut at its end. */
LPSTR JoinThree(LPCSTR sz1, LPCSTR sz2, LPCSTR sz3);
LPSTR JoinFour(LPCSTR sz1, LPCSTR sz2, LPCSTR sz3, LPCSTR sz4);

/* The position (from 1, in characters) of the first match of the pattern at or after iStart,
 * or 0. A start of 0 answers 0; a negative one counts as 1. */
int FindTextPosition(int iStart, LPCSTR szText, LPCSTR szPattern);
/* The first place of the character in the text, or NULL. */
LPSTR FindCharInText(LPCSTR szText, int ch);

#ifdef __cplusplus
}
#endif

#endif
